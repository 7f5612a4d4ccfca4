#pragma once

// The data access objects over the source reader.

#include "model/dataaccess.h"

namespace model {

// The data access objects over our FoxPro reader.
model::Factory &readerFactory();

} // namespace model
