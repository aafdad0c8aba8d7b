#include "app/BatchListing.h"
#include "app/BatchMode.h"
#include "app/MainFrm.h"
#include "app/ScreenshotRun.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <memory>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments += QString::fromLocal8Bit(argv[i]);

    // Batch mode runs where there is no display (servers, cron): no GUI application object.
    if (quillon::WantsBatchMode(arguments)) {
        // A PDF is laid out with real fonts, which takes a GUI application, but no display.
        const bool pdf = std::any_of(arguments.begin(), arguments.end(), quillon::IsPdfOutput);
        if (pdf && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        const std::unique_ptr<QCoreApplication> app =
            pdf ? std::make_unique<QGuiApplication>(argc, argv)
                : std::make_unique<QCoreApplication>(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Tessaly"));
        QCoreApplication::setApplicationName(QStringLiteral("Quillon"));
        return quillon::RunBatchMode(arguments);
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    quillon::MainFrm window;
    window.show();
    quillon::ArmScreenshotRun(window);
    return QApplication::exec();
}
