#pragma once

#include <QLocale>

namespace quillon {

class SettingsStore;

/// The four print margins in twips (1440 to the inch), kept in section "Margins" of the
/// settings. Each defaults to 720, half an inch.
struct PageMargins {
    static constexpr int kDefault = 720;

    int top = kDefault;
    int bottom = kDefault;
    int left = kDefault;
    int right = kDefault;

    friend bool operator==(const PageMargins&, const PageMargins&) = default;
};

/// Reads "Top", "Bottom", "Left" and "Right" of section "Margins". A missing value, one that
/// is not a whole number or one below zero reads as 720.
PageMargins LoadPageMargins(const SettingsStore& store);

/// Writes the four margins as decimal text in the order Top, Bottom, Left, Right.
void StorePageMargins(SettingsStore& store, const PageMargins& margins);

/// Twips as the page-setup dialog shows them: hundredths of a millimetre on a metric system,
/// thousandths of an inch on a U.S. one; rounded to the nearest whole, halves to even.
int TwipsToPageUnits(int twips, QLocale::MeasurementSystem system);
/// The same with the measurement system of the user's locale, read at each call.
int TwipsToPageUnits(int twips);

/// The reverse of TwipsToPageUnits: page-setup units back to twips, rounded the same way.
int PageUnitsToTwips(int units, QLocale::MeasurementSystem system);
/// The same with the measurement system of the user's locale, read at each call.
int PageUnitsToTwips(int units);

/// True when page-setup units are hundredths of a millimetre under system. Only the U.S.
/// system measures paper in inches; the British one counts as metric, as its paper does.
bool IsMetricPageUnits(QLocale::MeasurementSystem system);

} // namespace quillon
