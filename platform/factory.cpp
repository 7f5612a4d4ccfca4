#include "platform/dataaccess.h"
#include "platform/foxproreader.h"

namespace platform {

namespace {
Factory *installed = nullptr;
}

Factory &factory()
{
    return installed ? *installed : platform::readerFactory();
}

void setFactory(Factory *replacement)
{
    installed = replacement;
}

} // namespace platform
