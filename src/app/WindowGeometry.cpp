#include "app/WindowGeometry.h"

#include "platform/SettingsStore.h"
#include "platform/StoredTexts.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

const QString kSection = QStringLiteral("WindowSize");

double ReadNumber(const SettingsStore& store, const QString& key, double fallback)
{
    bool ok = false;
    const double value = store.value(kSection, key).trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : fallback;
}

} // namespace

WindowGeometry LoadWindowGeometry(const SettingsStore& store)
{
    WindowGeometry geometry;
    geometry.width = ReadNumber(store, QStringLiteral("W"), geometry.width);
    geometry.height = ReadNumber(store, QStringLiteral("H"), geometry.height);
    geometry.top = ReadNumber(store, QStringLiteral("T"), geometry.top);
    geometry.left = ReadNumber(store, QStringLiteral("L"), geometry.left);
    geometry.maximised = store.value(kSection, QStringLiteral("Max")) == kYes;
    return geometry;
}

void SaveWindowGeometry(const WindowGeometry& geometry, SettingsStore& store)
{
    store.setValue(kSection, QStringLiteral("W"), QString::number(qRound64(geometry.width)));
    store.setValue(kSection, QStringLiteral("H"), QString::number(qRound64(geometry.height)));
    store.setValue(kSection, QStringLiteral("T"), QString::number(qRound64(geometry.top)));
    store.setValue(kSection, QStringLiteral("L"), QString::number(qRound64(geometry.left)));
    store.setValue(kSection, QStringLiteral("Max"), YesNo(geometry.maximised));
    store.sync();
}

QRect FitToScreens(const QRect& frame, const QList<QRect>& areas)
{
    if (areas.isEmpty())
        return frame;
    QRect area = areas.first();
    QRect wanted = frame;
    const auto overlapping = std::find_if(areas.begin(), areas.end(),
                                          [&](const QRect& a) { return a.intersects(frame); });
    if (overlapping != areas.end())
        area = *overlapping;
    else
        wanted.moveTopLeft(area.topLeft());
    wanted.setWidth(std::min(wanted.width(), area.width()));
    wanted.setHeight(std::min(wanted.height(), area.height()));
    wanted.moveLeft(std::clamp(wanted.left(), area.left(), area.right() - wanted.width() + 1));
    wanted.moveTop(std::clamp(wanted.top(), area.top(), area.bottom() - wanted.height() + 1));
    return wanted;
}

} // namespace quillon
