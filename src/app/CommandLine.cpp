#include "app/CommandLine.h"

#include "app/BatchMode.h"
#include "app/Dialogs.h"
#include "app/JobFile.h"
#include "app/MainFrm.h"
#include "platform/StoredTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <vector>

namespace quillon {

namespace {

std::vector<QByteArray>& KeptArguments()
{
    static std::vector<QByteArray> kept;
    return kept;
}

} // namespace

void KeepRawArguments(int argc, const char* const* argv)
{
    KeptArguments().assign(argv, argv + argc);
}

QByteArray RawArgument(const QString& argument)
{
    for (const QByteArray& raw : KeptArguments())
        if (QString::fromLocal8Bit(raw) == argument)
            return raw;
    return QFile::encodeName(argument);
}

StartMode StartModeOf(const QStringList& arguments)
{
    if (arguments.mid(1).contains(QLatin1String("--version")))
        return StartMode::Version;
    return WantsBatchMode(arguments) ? StartMode::Batch : StartMode::Window;
}

bool CanOpenWindow(const QStringList& arguments)
{
    if (arguments.mid(1).contains(QLatin1String("-platform")) ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString WindowJobOf(const QStringList& arguments, QString* error)
{
    QString job;
    for (const QString& argument : arguments.mid(1)) {
        if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            *error = QStringLiteral("unknown option \"%1\"").arg(argument);
            return {};
        }
        if (!job.isEmpty()) {
            *error =
                QStringLiteral("one job file at a time (\"%1\" and \"%2\")").arg(job, argument);
            return {};
        }
        job = argument;
    }
    return job;
}

bool OpenStartJob(MainFrm& window, const QString& path, Dialogs& dialogs)
{
    // Read once first: LoadJob starts with New Job, which would drop the job the window has.
    Job job;
    QString error;
    if (ReadJobFile(path, job, &error) && window.LoadJob(path))
        return true;
    dialogs.ShowMessage(
        QStringLiteral("The job could not be read from ") + path + QStringLiteral(".\r\n") + error,
        QStringLiteral("Open Job"), MessageIcon::Critical, MessageButtons::Ok, MessageResult::Ok);
    return false;
}

void ScanStartFolder(MainFrm& window, const QString& folder)
{
    Job job = window.CurrentJob();
    ScanLocation location;
    location.path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    location.level = kAllLevels;
    job.locations = {location};
    window.ApplyJob(job);
    window.Scan();
}

QString VersionText()
{
    return QStringLiteral("quillon " QUILLON_VERSION "\n");
}

QString NoDisplayText()
{
    return QStringLiteral(
        "no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
        "quillon --report JOB runs a job without it (see quillon --help)");
}

QString UnreachableDisplayText()
{
    QString named;
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            named += QStringLiteral("%1%2=\"%3\"")
                         .arg(named.isEmpty() ? QString() : QStringLiteral(", "),
                              QLatin1String(name), qEnvironmentVariable(name));
    }
    return QStringLiteral("cannot open the window: the display cannot be reached (%1); "
                          "quillon --report JOB runs a job without it (see quillon --help)")
        .arg(named.isEmpty() ? QStringLiteral("no display set") : named);
}

} // namespace quillon
