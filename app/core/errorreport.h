#pragma once

// The error report: a guarded routine runs its steps through a Guard, which
// reports a failing step with the routine's location text and the step's line
// label and lets the routine carry on with its next step.

#include "platform/failure.h"

#include <QString>
#include <utility>

namespace app {

// "in Orvallix2021/08/31.<routine> ", e.g. routine "Form1.Form_Load".
QString errorLocation(const char *routine);

// The whole text of the box: description, CR LF, location, "at line ", label,
// CR CR and the request to e-mail a screenshot.
QString errorMessage(const QString &description, const QString &location, int label);

// Where reports go: the "Application Error" box in the program, a line on
// standard error in the command-line tool, a recorder in tests.
class ErrorSink {
public:
    virtual ~ErrorSink() = default;
    virtual void report(const QString &location, int label, const QString &description) = 0;
};

class ErrorGuard {
public:
    ErrorGuard(const char *routine, ErrorSink &sink) : m_location(errorLocation(routine)), m_sink(sink) {}

    // Runs one step; a failure is reported under `label` and the routine goes on.
    // Returns whether the step succeeded.
    template <class Step> bool step(int label, Step &&action)
    {
        try {
            std::forward<Step>(action)();
            return true;
        } catch (const Failure &failure) {
            m_sink.report(m_location, label, failure.description());
        } catch (const std::exception &failure) {
            m_sink.report(m_location, label, QString::fromLocal8Bit(failure.what()));
        }
        return false;
    }

    // Tests a condition; a failing test counts as passed, so the steps it
    // governs run.
    template <class Condition> bool test(int label, Condition &&condition)
    {
        bool result = true;
        step(label, [&] { result = std::forward<Condition>(condition)(); });
        return result;
    }


private:
    QString m_location;
    ErrorSink &m_sink;
};

} // namespace app
