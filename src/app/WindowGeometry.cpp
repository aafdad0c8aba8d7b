#include "app/WindowGeometry.h"

#include "platform/SettingsStore.h"

#include <cmath>

namespace quillon {

namespace {

const QString kSection = QStringLiteral("WindowSize");

double readNumber(const SettingsStore& store, const QString& key, double fallback)
{
    bool ok = false;
    const double value = store.value(kSection, key).trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : fallback;
}

} // namespace

WindowGeometry LoadWindowGeometry(const SettingsStore& store)
{
    WindowGeometry geometry;
    geometry.width = readNumber(store, QStringLiteral("W"), geometry.width);
    geometry.height = readNumber(store, QStringLiteral("H"), geometry.height);
    geometry.top = readNumber(store, QStringLiteral("T"), geometry.top);
    geometry.left = readNumber(store, QStringLiteral("L"), geometry.left);
    return geometry;
}

void SaveWindowGeometry(const WindowGeometry& geometry, SettingsStore& store)
{
    store.setValue(kSection, QStringLiteral("W"), QString::number(qRound64(geometry.width)));
    store.setValue(kSection, QStringLiteral("H"), QString::number(qRound64(geometry.height)));
    store.setValue(kSection, QStringLiteral("T"), QString::number(qRound64(geometry.top)));
    store.setValue(kSection, QStringLiteral("L"), QString::number(qRound64(geometry.left)));
    store.sync();
}

} // namespace quillon
