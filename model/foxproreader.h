#pragma once

#include "model/dataaccess.h"

namespace model {

// The data access objects over our FoxPro reader.
model::Factory &readerFactory();

} // namespace model
