#pragma once

#include "platform/ErrorReport.h"

#include <exception>
#include <functional>

namespace quillon {

/// Thrown out of a step when the user gives up the command; RunCommand catches it.
struct CommandAborted {};

/// The error convention of the main commands: a command runs as numbered steps; when a step
/// fails, the decider is asked; Retry runs the same step again, Abort ends the command.
///
///     CommandSteps steps("Scanning", decide, [&] { cancel = true; });
///     bool done = RunCommand(steps, [&] {
///         steps.step(1, [&] { ... });
///         int n = steps.step(2, [&] { return parse(); });
///     });
class CommandSteps {
public:
    /// onAbort runs once when the user gives up (Scan and the layouts set the cancel flag there).
    CommandSteps(QString procedure, ErrorDecider decide, std::function<void()> onAbort = {});

    /// Runs one numbered step and returns what it returns. On failure asks the decider: Retry
    /// runs the step again; Abort (or no decider) calls onAbort and throws CommandAborted.
    template <class F> decltype(auto) step(qint32 line, F&& body)
    {
        m_line = line;
        for (;;) {
            try {
                return body();
            } catch (const CommandAborted&) {
                throw;
            } catch (...) {
                decideAfterFailure(std::current_exception());
            }
        }
    }

    const QString& procedure() const { return m_procedure; }
    qint32 line() const { return m_line; }
    bool aborted() const { return m_aborted; }

    /// Turns any exception into the number and description shown to the user.
    static ErrorReport describe(std::exception_ptr error, const QString& procedure, qint32 line);

private:
    void decideAfterFailure(std::exception_ptr error);

    QString m_procedure;
    ErrorDecider m_decide;
    std::function<void()> m_onAbort;
    qint32 m_line = 0;
    bool m_aborted = false;
};

/// Runs a command body built from steps; returns false when the user aborted it.
bool RunCommand(CommandSteps& steps, const std::function<void()>& body);

} // namespace quillon
