#include "app/MainFrm.h"
#include "app/ScreenshotRun.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    quillon::MainFrm window;
    window.show();
    quillon::ArmScreenshotRun(window);
    return QApplication::exec();
}
