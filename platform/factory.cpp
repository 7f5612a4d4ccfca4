#include "dataaccess.h"
#include "foxproreader.h"

namespace ado {

namespace {
Factory *installed = nullptr;
}

Factory &factory()
{
    return installed ? *installed : foxpro::readerFactory();
}

void setFactory(Factory *replacement)
{
    installed = replacement;
}

} // namespace ado
