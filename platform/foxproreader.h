#pragma once

#include "dataaccess.h"

namespace foxpro {

// The data access objects over our FoxPro reader.
ado::Factory &readerFactory();

} // namespace foxpro
