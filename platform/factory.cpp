#include "dataaccess.h"

namespace ado {

namespace {
Factory *installed = nullptr;
}

void setFactory(Factory *replacement)
{
    installed = replacement;
}

} // namespace ado
