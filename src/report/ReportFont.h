#pragma once

#include <QString>

namespace quillon {

/// The report's font as the main window's boxes hold it.
struct ReportFont {
    QString name = QStringLiteral("Courier New");
    QString sizeText =
        QStringLiteral("10"); ///< points; fractions allowed; not a number is error 13
    quint32 colour = 0;       ///< 0x00BBGGRR; black by default
};

} // namespace quillon
