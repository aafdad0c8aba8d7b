#pragma once

#include "listing/ListingComparison.h"
#include "report/ReportFont.h"

#include <QIODevice>
#include <QString>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

/// One line of the comparison report as the report pane shows it (UTF-8).
struct CompareLine {
    std::string text;
    bool bold = false;
};

/// Writes a comparison to a sink: ListingComparison::write, or WriteCompareResult.
using CompareFeed = std::function<bool(CompareSink& sink, QString* error)>;

/// A name or path as the report shows it (UTF-8): what cannot be seen or would act on a
/// terminal is written as an escape, so two different names never look the same and no name
/// can start a line of its own. A backslash is "\\"; a control character "\n", "\r", "\t" or
/// "\xNN"; a byte that is not UTF-8 "\xNN"; a format character (bidirectional and zero-width
/// controls) or, in a name not in Unicode composed form, a combining mark "\uNNNN" (or
/// "\UNNNNNNNN" past U+FFFF). A right-to-left run is closed by U+200E, as in the reports.
std::string VisibleText(std::string_view bytes);

/// The report: the two sides, what could not be read (then the comparison is incomplete),
/// then the sections "Added", "Removed", "Changed" and "Moved or renamed", each with its count
/// and one line per entry (a changed entry shows each difference as old → new), and a summary
/// line at the end.
std::vector<CompareLine> CompareReportLines(const CompareResult& result);

/// The report as rich text in the report's font: every character kept (\u escapes), so the
/// staging file stays plain ASCII. Throws CommandError when the file cannot be written.
void WriteCompareRtf(const std::vector<CompareLine>& lines, const ReportFont& font,
                     const QString& path);
/// The same, written as the comparison is read back; false with *error set when that fails.
bool WriteCompareRtf(const CompareFeed& feed, const ReportFont& font, const QString& path,
                     QString* error);

/// Writes the comparison to path in the format its name asks for: ".csv" and ".json" give one
/// row or object per difference, ".txt" the report as text, ".rtf" as rich text, ".htm" as a
/// UTF-8 web page. Each is written as the comparison is read back, never held whole. The old
/// file is replaced only once the new one is complete. False with *error set when the name
/// asks for no format or the file cannot be written.
bool SaveComparison(const CompareFeed& feed, const ReportFont& font, const QString& path,
                    QString* error);
bool SaveCompareResult(const CompareResult& result, const ReportFont& font, const QString& path,
                       QString* error);

/// The report as plain text, lines ended by "\n".
bool WriteCompareText(const std::vector<CompareLine>& lines, QIODevice& out);
bool WriteCompareText(const CompareFeed& feed, QIODevice& out, QString* error);

} // namespace quillon
