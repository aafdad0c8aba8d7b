#pragma once

#include <QString>
#include <functional>

namespace quillon {

/// What a failed command hands to the error report dialog.
struct ErrorReport {
    qint32 number = 0;
    QString description;
    QString procedure; ///< fixed label of the command, e.g. "Scanning"
    qint32 line = 0;   ///< last numbered step reached; 0 when the command has none
};

/// The user's answer to an error report.
enum class ErrorChoice { Retry, Abort };

/// Asks the user (or a test, or batch mode) what to do about a failed step.
using ErrorDecider = std::function<ErrorChoice(const ErrorReport&)>;

} // namespace quillon
