#include "app/MainFrm.h"

namespace quillon {

MainFrm::MainFrm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("Quillon"));
}

} // namespace quillon
