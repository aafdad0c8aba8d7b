#include "platform/ProgramFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace quillon {

QString ProgramFolder()
{
    // GenericDataLocation + our own names, so the folder does not depend on whether the
    // application object has its organisation and name set (batch mode, tests).
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString folder = JoinPath(JoinPath(base, QStringLiteral("Tessaly")), QStringLiteral("Quillon"));
    QDir().mkpath(folder);
    return folder;
}

QString ProgramFile(const QString& name)
{
    return JoinPath(ProgramFolder(), name);
}

QString JoinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

} // namespace quillon
