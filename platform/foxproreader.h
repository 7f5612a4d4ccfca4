#pragma once

#include "platform/dataaccess.h"

namespace platform {

// The data access objects over our FoxPro reader.
platform::Factory &readerFactory();

} // namespace platform
