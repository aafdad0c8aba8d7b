#include "app/BatchMode.h"
#include "app/MainFrm.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments += QString::fromLocal8Bit(argv[i]);

    // Batch mode runs where there is no display (servers, cron): no GUI application object.
    if (quillon::WantsBatchMode(arguments)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Tessaly"));
        QCoreApplication::setApplicationName(QStringLiteral("Quillon"));
        return quillon::RunBatchMode(arguments);
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    quillon::MainFrm window;
    window.show();
    return QApplication::exec();
}
