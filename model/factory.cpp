#include "model/dataaccess.h"
#include "model/foxproreader.h"

namespace model {

namespace {
Factory *installed = nullptr;
}

Factory &factory()
{
    return installed ? *installed : model::readerFactory();
}

void setFactory(Factory *replacement)
{
    installed = replacement;
}

} // namespace model
