#pragma once

#include "errorreport.h"

namespace Main {

// The error report of the windows: the "Application Error" box through Prompts.
errorreport::Sink &ErrorBox();

} // namespace Main
