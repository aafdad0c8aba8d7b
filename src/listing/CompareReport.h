#pragma once

#include "listing/ListingCompare.h"
#include "report/ReportFont.h"

#include <QIODevice>
#include <QString>
#include <string>
#include <vector>

namespace quillon {

/// One line of the comparison report as the report pane shows it (UTF-8).
struct CompareLine {
    std::string text;
    bool bold = false;
};

/// The report: the two sides, then the sections "Added", "Removed", "Changed" and "Moved or
/// renamed", each with its count and one line per entry (a changed entry shows each
/// difference as old → new), and a summary line at the end.
std::vector<CompareLine> CompareReportLines(const CompareResult& result);

/// The report as rich text in the report's font: every character kept (\u escapes), so the
/// staging file stays plain ASCII. Throws CommandError when the file cannot be written.
void WriteCompareRtf(const std::vector<CompareLine>& lines, const ReportFont& font,
                     const QString& path);

/// Writes the comparison to path in the format its name asks for: ".csv" and ".json" give one
/// row or object per difference, ".txt" the report as text, ".rtf" as rich text, ".htm" as a
/// UTF-8 web page. The old file is replaced only once the new one is complete. False with
/// *error set when the name asks for no format or the file cannot be written.
bool SaveCompareResult(const CompareResult& result, const ReportFont& font, const QString& path,
                       QString* error);

/// The report as plain text, lines ended by "\n".
bool WriteCompareText(const std::vector<CompareLine>& lines, QIODevice& out);

} // namespace quillon
