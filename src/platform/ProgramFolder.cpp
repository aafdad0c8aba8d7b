#include "platform/ProgramFolder.h"

#include "platform/ProgramNames.h"
#include <QDir>
#include <QStandardPaths>

namespace quillon {

QString ProgramFolder()
{
    // GenericDataLocation + our own names, so the folder does not depend on whether the
    // application object has its organisation and name set (batch mode, tests).
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString folder = JoinPath(JoinPath(base, kMakerName), kProgramName);
    QDir().mkpath(folder);
    return folder;
}

QString ProgramFile(const QString& name)
{
    return JoinPath(ProgramFolder(), name);
}

QString ExclusionListPath()
{
    return ProgramFile(kExclusionListFile);
}

QString SharedStagingPath()
{
    return ProgramFile(kStagingFile);
}

QString DefaultJobFilePath()
{
    return ProgramFile(kDefaultJobFile);
}

QString JoinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

} // namespace quillon
