#pragma once

#include "output/PageMargins.h"

#include <QPageSize>
#include <QString>

class QTextDocument;

namespace quillon {

/// A4 where the user's locale measures in metric, Letter under the U.S. system.
QPageSize::PageSizeId LocalePaperSize();

/// Prints document to a PDF file as the Print command lays it out (the paged renderer and the
/// margins), on the locale's paper. The old file is replaced only once the new one is
/// complete. Needs a QGuiApplication (an offscreen platform will do). False with *error set
/// when the margins leave no room or the file cannot be written.
bool WritePdfReport(const QTextDocument& document, const PageMargins& margins, const QString& path,
                    QString* error);

/// The same for a report held as a rich-text file (the staging file).
bool WritePdfReportFromRtf(const QString& rtfPath, const PageMargins& margins, const QString& path,
                           QString* error);

} // namespace quillon
