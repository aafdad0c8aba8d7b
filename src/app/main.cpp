#include "app/BatchListing.h"
#include "app/BatchMode.h"
#include "app/BuildAside.h"
#include "app/CommandLine.h"
#include "app/MainFrm.h"
#include "app/QtDialogs.h"
#include "platform/ProgramNames.h"
#include "platform/RuntimeTuning.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>
#include <QTimer>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// The settings and data folders are named after these.
void NameTheProgram()
{
    QCoreApplication::setOrganizationName(quillon::kMakerName);
    QCoreApplication::setApplicationName(quillon::kProgramName);
}

void Tell(const QString& line)
{
    QTextStream(stderr) << "quillon: " << line << '\n';
}

// While the GUI application starts, Qt's messages are held back: when its platform cannot
// start (an X server that is not there, a refused connection) Qt ends with qFatal, an abort,
// after several lines of its own. One line and the exit status of a missing display instead.
struct HeldMessage {
    QtMsgType type;
    const char* category; // Qt's categories are static
    QString text;
};
std::vector<HeldMessage> g_held;

void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        Tell(quillon::UnreachableDisplayText());
        std::_Exit(quillon::kBatchWrongUsage);
    }
    g_held.push_back({type, context.category, text});
}

// The window started: what Qt said meanwhile goes out as it would have.
void ReleaseStartMessages(QtMessageHandler previous)
{
    qInstallMessageHandler(previous);
    for (const HeldMessage& message : g_held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category);
        qt_message_output(message.type, context, message.text);
    }
    g_held.clear();
}

} // namespace

int main(int argc, char* argv[])
{
    quillon::KeepRawArguments(argc, argv);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments += QString::fromLocal8Bit(argv[i]);

    switch (quillon::StartModeOf(arguments)) {
    case quillon::StartMode::Version:
        QTextStream(stdout) << quillon::VersionText();
        return quillon::kBatchDone;
    case quillon::StartMode::Batch: {
        // Batch mode runs where there is no display (servers, cron): no GUI application, but
        // for a PDF, which is laid out with real fonts on the offscreen platform.
        const bool pdf = quillon::BatchWritesPdf(arguments);
        if (pdf && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        const std::unique_ptr<QCoreApplication> app =
            pdf ? std::make_unique<QGuiApplication>(argc, argv)
                : std::make_unique<QCoreApplication>(argc, argv);
        NameTheProgram();
        return quillon::RunBatchMode(arguments);
    }
    case quillon::StartMode::Window:
        break;
    }

    if (!quillon::CanOpenWindow(arguments)) {
        Tell(quillon::NoDisplayText());
        return quillon::kBatchWrongUsage;
    }
    quillon::MapLargeBuffersApart();
    const QtMessageHandler previous = qInstallMessageHandler(HoldStartMessage);
    QApplication app(argc, argv);
    ReleaseStartMessages(previous);
    NameTheProgram();
    QString error;
    const QString jobPath = quillon::WindowJobOf(QApplication::arguments(), &error);
    if (!error.isEmpty()) {
        Tell(error + QStringLiteral(" (see quillon --help)"));
        return quillon::kBatchWrongUsage;
    }
    quillon::MainFrm window;
    window.show();
    if (QFileInfo(jobPath).isDir()) {
        // Once the window is up, as if its Scan button were pressed.
        QTimer::singleShot(0, &window,
                           [&window, jobPath] { quillon::ScanStartFolder(window, jobPath); });
    } else if (!jobPath.isEmpty()) {
        quillon::QtDialogs dialogs(&window);
        quillon::OpenStartJob(window, jobPath, dialogs);
    }
    return QApplication::exec();
}
