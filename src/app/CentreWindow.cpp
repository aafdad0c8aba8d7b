#include "app/CentreWindow.h"

#include "app/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quillon {

void CentreWindow(QWidget* window)
{
    if (!window)
        return;
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    if (!area.isValid())
        return;
    const QSize size = window->frameGeometry().size();
    const int lift = TwipsToPixels(1000, screen->logicalDotsPerInchY());
    const int left = area.left() + (area.width() - size.width()) / 2;
    const int top = std::max(area.top(), area.top() + (area.height() - size.height()) / 2 - lift);
    window->move(left, top);
}

} // namespace quillon
