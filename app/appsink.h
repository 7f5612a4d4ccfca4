#pragma once

// The error report of the windows, shown as the application's error box.

#include "app/core/errorreport.h"

namespace app {

// The error report of the windows: the "Application Error" box through Prompts.
app::ErrorSink &errorBoxSink();

} // namespace app
