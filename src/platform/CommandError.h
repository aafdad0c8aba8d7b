#pragma once

#include <QString>
#include <stdexcept>

namespace quillon {

/// An unexpected failure inside a command step, with the number and description the user sees.
class CommandError : public std::runtime_error {
public:
    CommandError(qint32 number, const QString& description);

    qint32 number() const { return m_number; }
    QString description() const { return m_description; }

    /// Error 13: a text that should have been a number was not.
    static CommandError typeMismatch();
    /// Error 6: a number does not fit its type (e.g. a level beyond 16 bits).
    static CommandError overflow();
    /// A system failure: errno and its strerror text, prefixed by what was being done.
    static CommandError fromErrno(int err, const QString& what = {});

private:
    qint32 m_number;
    QString m_description;
};

} // namespace quillon
