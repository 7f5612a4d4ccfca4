#pragma once

#include "app/core/errorreport.h"

namespace app {

// The error report of the windows: the "Application Error" box through Prompts.
app::ErrorSink &errorBoxSink();

} // namespace app
