#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace quillon::test {

/// Runs act on the first visible Form below parent once it shows (inside its modal loop), so a
/// test can drive a dialog that a command opens with exec(). A dialog that was never answered
/// is closed after a few seconds, so a broken test fails instead of hanging.
template <class Form> void WhenShown(QWidget* parent, std::function<void(Form*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto ticks = std::make_shared<int>(0);
    const QPointer<QWidget> owner(parent);
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (!owner) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        for (Form* form : owner->findChildren<Form*>()) {
            if (form->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(form);
                return;
            }
        }
        if (++*ticks > 500) {
            timer->stop();
            timer->deleteLater();
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        }
    });
    timer->start();
}

} // namespace quillon::test
