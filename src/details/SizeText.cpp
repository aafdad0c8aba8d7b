#include "details/SizeText.h"

#include <charconv>
#include <cmath>

namespace quillon {

namespace {

constexpr double kKilo = 1024.0;
constexpr double kMega = 1024.0 * 1024.0;
constexpr double kGiga = 1024.0 * 1024.0 * 1024.0;

QString NotANumber()
{
    return QStringLiteral("0 Bytes");
}

/// The locale with grouping off ("#0.00", "#0") and forced on ("#,0"; the C locale leaves it
/// off by default). Kept per thread, because a report asks for a size text on every line.
struct NumberFormats {
    QLocale source;
    QLocale plain;
    QLocale grouped;
    bool asciiDigits = true;
};

const NumberFormats& FormatsFor(const QLocale& locale)
{
    thread_local NumberFormats formats;
    thread_local bool made = false;
    if (!made || !(formats.source == locale) ||
        formats.source.numberOptions() != locale.numberOptions()) {
        formats.source = locale;
        formats.plain = locale;
        formats.plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
        formats.grouped = locale;
        formats.grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
        formats.asciiDigits = locale.zeroDigit() == QLatin1String("0");
        made = true;
    }
    return formats;
}

QString PlainNumber(const QLocale& locale, double value, int decimals)
{
    const NumberFormats& formats = FormatsFor(locale);
    // A whole number without grouping is the same in every locale that writes ASCII digits;
    // it is the size text of every "KB" line, so it skips the general double formatting.
    // Halves round away from zero, as the locale's own formatting does.
    if (decimals == 0 && formats.asciiDigits && value >= 0 && value < 1e15)
        return QString::number(static_cast<qint64>(std::round(value)));
    return formats.plain.toString(value, 'f', decimals);
}

QString GroupedNumber(const QLocale& locale, double value)
{
    return FormatsFor(locale).grouped.toString(value, 'f', 0);
}

} // namespace

QString FormatSize(double size, const QLocale& locale)
{
    if (!std::isfinite(size))
        return NotANumber();
    if (size >= kGiga)
        return PlainNumber(locale, size / kGiga, 2) + QStringLiteral(" GB");
    if (size >= kMega)
        return PlainNumber(locale, size / kMega, 2) + QStringLiteral(" MB");
    if (size >= kKilo)
        return PlainNumber(locale, size / kKilo, 2) + QStringLiteral(" KB");
    return QString::number(static_cast<qint64>(std::trunc(size))) + QStringLiteral(" bytes");
}

QString FormatSizeFixed(double size, const QString& showSizeIn, const QLocale& locale)
{
    if (!std::isfinite(size))
        return NotANumber();
    if (showSizeIn == QLatin1String("Bytes"))
        return GroupedNumber(locale, std::trunc(size));
    if (showSizeIn == QLatin1String("KB"))
        return PlainNumber(locale, size / kKilo, 0) + QStringLiteral(" KB");
    if (showSizeIn == QLatin1String("MB"))
        return PlainNumber(locale, size / kMega, 2) + QStringLiteral(" MB");
    if (showSizeIn == QLatin1String("GB"))
        return PlainNumber(locale, size / kGiga, 2) + QStringLiteral(" GB");
    return {};
}

bool AppendWholeKilobytes(std::string& out, double size, const QString& showSizeIn,
                          const QLocale& locale)
{
    if (!std::isfinite(size) || showSizeIn != QLatin1String("KB"))
        return false;
    // The whole number PlainNumber() makes for decimals 0.
    const double value = size / kKilo;
    if (!(FormatsFor(locale).asciiDigits && value >= 0 && value < 1e15))
        return false;
    char digits[24];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, static_cast<qint64>(std::round(value))).ptr;
    out.append(digits, end);
    out.append(" KB");
    return true;
}

} // namespace quillon
