#include "platform/CommandError.h"

#include <cstring>

namespace quillon {

CommandError::CommandError(qint32 number, const QString& description)
    : std::runtime_error(description.toStdString()), m_number(number), m_description(description)
{}

CommandError CommandError::typeMismatch()
{
    return CommandError(13, QStringLiteral("Type mismatch"));
}

CommandError CommandError::overflow()
{
    return CommandError(6, QStringLiteral("Overflow"));
}

CommandError CommandError::fromErrno(int err, const QString& what)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(err));
    return CommandError(err, what.isEmpty() ? reason : what + QStringLiteral(": ") + reason);
}

} // namespace quillon
