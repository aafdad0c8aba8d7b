#include "output/PageMargins.h"

#include "platform/SettingsStore.h"

#include <QString>
#include <climits>
#include <cmath>

namespace quillon {

namespace {

const QString kSection = QStringLiteral("Margins");

constexpr double kTwipsPerCentimetre = 567.0;
constexpr double kTwipsPerInch = 1440.0;

int ReadMargin(const SettingsStore& store, const QString& key)
{
    const int value = store.intValue(kSection, key, PageMargins::kDefault);
    return value < 0 ? PageMargins::kDefault : value;
}

// Nearest whole number, halves to even, kept inside int.
int RoundEven(double value)
{
    const double rounded = std::nearbyint(value); // the default rounding mode is to even
    if (rounded >= double(INT_MAX))
        return INT_MAX;
    if (rounded <= double(INT_MIN))
        return INT_MIN;
    return int(rounded);
}

// Twips in one page-setup unit times 1000: a centimetre or an inch per thousand units.
double TwipsPerThousandUnits(QLocale::MeasurementSystem system)
{
    return IsMetricPageUnits(system) ? kTwipsPerCentimetre : kTwipsPerInch;
}

} // namespace

PageMargins LoadPageMargins(const SettingsStore& store)
{
    PageMargins margins;
    margins.top = ReadMargin(store, QStringLiteral("Top"));
    margins.bottom = ReadMargin(store, QStringLiteral("Bottom"));
    margins.left = ReadMargin(store, QStringLiteral("Left"));
    margins.right = ReadMargin(store, QStringLiteral("Right"));
    return margins;
}

void StorePageMargins(SettingsStore& store, const PageMargins& margins)
{
    store.setValue(kSection, QStringLiteral("Top"), QString::number(margins.top));
    store.setValue(kSection, QStringLiteral("Bottom"), QString::number(margins.bottom));
    store.setValue(kSection, QStringLiteral("Left"), QString::number(margins.left));
    store.setValue(kSection, QStringLiteral("Right"), QString::number(margins.right));
}

bool IsMetricPageUnits(QLocale::MeasurementSystem system)
{
    return system != QLocale::ImperialUSSystem;
}

int TwipsToPageUnits(int twips, QLocale::MeasurementSystem system)
{
    return RoundEven(double(twips) / TwipsPerThousandUnits(system) * 1000.0);
}

int TwipsToPageUnits(int twips)
{
    return TwipsToPageUnits(twips, QLocale().measurementSystem());
}

int PageUnitsToTwips(int units, QLocale::MeasurementSystem system)
{
    return RoundEven(double(units) / 1000.0 * TwipsPerThousandUnits(system));
}

int PageUnitsToTwips(int units)
{
    return PageUnitsToTwips(units, QLocale().measurementSystem());
}

} // namespace quillon
