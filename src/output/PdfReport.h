#pragma once

#include "output/PageMargins.h"

#include <QPageSize>
#include <QString>
#include <functional>

class QTextDocument;

namespace quillon {

/// A4 where the user's locale measures in metric, Letter under the U.S. system.
QPageSize::PageSizeId LocalePaperSize();

/// Prints document to a PDF file as the Print command lays it out (the paged renderer and the
/// margins), on the locale's paper. The old file is replaced only once the new one is
/// complete. Needs a QGuiApplication (an offscreen platform will do). False with *error set
/// when the margins leave no room, the file cannot be written, or keepGoing (asked between
/// pieces of the work) returned false; the old file then stays as it was.
bool WritePdfReport(const QTextDocument& document, const PageMargins& margins, const QString& path,
                    QString* error, const std::function<bool()>& keepGoing = {});

/// The same for a report held as a rich-text file (the staging file); keepGoing is also asked
/// while the file is read.
bool WritePdfReportFromRtf(const QString& rtfPath, const PageMargins& margins, const QString& path,
                           QString* error, const std::function<bool()>& keepGoing = {});

} // namespace quillon
