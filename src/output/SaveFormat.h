#pragma once

#include <QString>

#include <span>

namespace quillon {

/// The format Save As writes, decided by the marks ".txt", ".rtf", ".htm" (first found, in
/// that order, case ignored) in the file's name only, never in its folders.
enum class SaveFormat { None, PlainText, RichText, Html };

SaveFormat SaveFormatForPath(const QString& path);

/// What an output file's name asks to be written. WebPage is the page to browse: a name
/// ending in ".html" asks for it where the command writes it (a report); elsewhere such a name
/// holds ".htm" and is the report's page.
enum class OutputKind { None, PlainText, RichText, Html, Pdf, Csv, Json, WebPage };

/// What each command writes.
inline constexpr OutputKind kSaveAsOutputs[] = {OutputKind::PlainText, OutputKind::RichText,
                                                OutputKind::Html};
inline constexpr OutputKind kListingOutputs[] = {OutputKind::Csv, OutputKind::Json};
inline constexpr OutputKind kReportOutputs[] = {
    OutputKind::PlainText, OutputKind::RichText, OutputKind::Html,   OutputKind::Pdf,
    OutputKind::Csv,       OutputKind::Json,     OutputKind::WebPage};
inline constexpr OutputKind kCompareOutputs[] = {OutputKind::PlainText, OutputKind::RichText,
                                                 OutputKind::Html, OutputKind::Csv,
                                                 OutputKind::Json};

/// The one rule every command follows. Only the file's name decides, never its folders, and
/// case is ignored: a name ending in ".pdf", ".csv", ".json" or ".html" asks for that; any
/// other asks for the first of ".txt", ".rtf", ".htm" found anywhere in it, in that order (so
/// "page.htm" is the report's web page and "notes.rtf.txt" text). Kinds the command does not write
/// are passed over as if the name did not hold them; None when nothing is left.
OutputKind OutputKindForPath(const QString& path, std::span<const OutputKind> written);

/// The one-line answer to a name that asks for none of written, naming what would do:
/// "PATH: the output name must end in ".csv" or ".json", or hold ".txt", ".rtf" or ".htm"".
QString OutputNameRefusal(const QString& path, std::span<const OutputKind> written);

} // namespace quillon
