#include "platform/CommandSteps.h"

#include "platform/CommandError.h"

#include <new>
#include <system_error>

namespace quillon {

CommandSteps::CommandSteps(QString procedure, ErrorDecider decide, std::function<void()> onAbort)
    : m_procedure(std::move(procedure)), m_decide(std::move(decide)), m_onAbort(std::move(onAbort))
{}

ErrorReport CommandSteps::describe(std::exception_ptr error, const QString& procedure, qint32 line)
{
    ErrorReport report;
    report.procedure = procedure;
    report.line = line;
    try {
        std::rethrow_exception(error);
    } catch (const CommandError& e) {
        report.number = e.number();
        report.description = e.description();
    } catch (const std::bad_alloc&) {
        report.number = 7;
        report.description = QStringLiteral("Out of memory");
    } catch (const std::system_error& e) {
        report.number = e.code().value();
        report.description = QString::fromLocal8Bit(e.what());
    } catch (const std::exception& e) {
        report.number = 51;
        report.description = QString::fromLocal8Bit(e.what());
    } catch (...) {
        report.number = 51;
        report.description = QStringLiteral("Internal error");
    }
    return report;
}

void CommandSteps::decideAfterFailure(std::exception_ptr error)
{
    const ErrorReport report = describe(error, m_procedure, m_line);
    if (m_decide && m_decide(report) == ErrorChoice::Retry)
        return;
    m_aborted = true;
    if (m_onAbort)
        m_onAbort();
    throw CommandAborted{};
}

bool RunCommand(CommandSteps& steps, const std::function<void()>& body)
{
    try {
        body();
    } catch (const CommandAborted&) {
        return false;
    }
    return !steps.aborted();
}

} // namespace quillon
