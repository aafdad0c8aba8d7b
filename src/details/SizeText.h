#pragma once

#include <QLocale>
#include <QString>

#include <string>

namespace quillon {

// Size texts of the reports. Units are binary (1 KB = 1024 bytes); the decimal point and the
// group separator come from the locale passed in, by default the user's own (QLocale()).

/// A total with its unit chosen by magnitude: "1023 bytes", "1.50 KB", "1.00 MB", "5120.00 GB".
/// A size that is not a number (NaN, infinite) gives "0 Bytes".
QString FormatSize(double size, const QLocale& locale = QLocale());

/// A file's size in the unit the user chose (ShowSizeIn): "Bytes" gives the grouped whole
/// number without a unit ("1,234,567"), "KB" whole kilobytes ("2 KB"), "MB" and "GB" two
/// decimals ("0.50 MB"). Any other unit text gives the empty text, so the column stays blank.
/// A size that is not a number gives "0 Bytes".
QString FormatSizeFixed(double size, const QString& showSizeIn, const QLocale& locale = QLocale());

/// Where FormatSizeFixed's text is a whole number of kilobytes in ASCII digits (the unit "KB" in
/// a locale of ASCII digits, the size of most report lines), appends that same text to out
/// without making a QString and returns true; else appends nothing and returns false.
bool AppendWholeKilobytes(std::string& out, double size, const QString& showSizeIn,
                          const QLocale& locale = QLocale());

} // namespace quillon
