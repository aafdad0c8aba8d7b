#include "details/SizeText.h"

#include <cmath>

namespace quillon {

namespace {

constexpr double kKilo = 1024.0;
constexpr double kMega = 1024.0 * 1024.0;
constexpr double kGiga = 1024.0 * 1024.0 * 1024.0;

QString notANumber()
{
    return QStringLiteral("0 Bytes");
}

/// "#0.00" and "#0": no grouping, whatever the locale's default options say.
QString plain(const QLocale& locale, double value, int decimals)
{
    QLocale ungrouped = locale;
    ungrouped.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return ungrouped.toString(value, 'f', decimals);
}

/// "#,0": grouped even where the locale leaves grouping off by default (the C locale does).
QString grouped(const QLocale& locale, double value)
{
    QLocale withGroups = locale;
    withGroups.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return withGroups.toString(value, 'f', 0);
}

} // namespace

QString FormatSize(double size, const QLocale& locale)
{
    if (!std::isfinite(size))
        return notANumber();
    if (size >= kGiga)
        return plain(locale, size / kGiga, 2) + QStringLiteral(" GB");
    if (size >= kMega)
        return plain(locale, size / kMega, 2) + QStringLiteral(" MB");
    if (size >= kKilo)
        return plain(locale, size / kKilo, 2) + QStringLiteral(" KB");
    return QString::number(static_cast<qint64>(std::trunc(size))) + QStringLiteral(" bytes");
}

QString FormatSizeFixed(double size, const QString& showSizeIn, const QLocale& locale)
{
    if (!std::isfinite(size))
        return notANumber();
    if (showSizeIn == QLatin1String("Bytes"))
        return grouped(locale, std::trunc(size));
    if (showSizeIn == QLatin1String("KB"))
        return plain(locale, size / kKilo, 0) + QStringLiteral(" KB");
    if (showSizeIn == QLatin1String("MB"))
        return plain(locale, size / kMega, 2) + QStringLiteral(" MB");
    if (showSizeIn == QLatin1String("GB"))
        return plain(locale, size / kGiga, 2) + QStringLiteral(" GB");
    return {};
}

} // namespace quillon
