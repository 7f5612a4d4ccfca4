#pragma once

// A report step that needs what an earlier, failed step should have made.

#include "model/dataaccess.h"
#include "platform/failure.h"

namespace report {

// A step that needs an object an earlier failed step did not produce fails in
// turn, as every step after a failure is still run and reported.
template <class T> T *require(T *object)
{
    if (!object)
        throw Failure(QStringLiteral("Object variable not set."), platform::ObjectNotSet);
    return object;
}

} // namespace report
