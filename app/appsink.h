#pragma once

#include "errorreport.h"

namespace app {

// The error report of the windows: the "Application Error" box through Prompts.
app::ErrorSink &errorBoxSink();

} // namespace app
