#pragma once

#include <QIODevice>
#include <QString>
#include <functional>

class QTextDocument;

namespace quillon {

/// Loads a rich-text file into the document, replacing its content; the undo history stays
/// empty. Broken rich text loads as far as it can be read. False (with error set, when given)
/// only when the file cannot be opened or read.
bool LoadRtfFile(const QString& path, QTextDocument* document, QString* error);

/// Saves the document as rich text. The old file is replaced only once the new one is
/// complete. False (with error set, when given) when the file cannot be written. yield, when
/// given, runs before each piece of 64 KiB is written (the document must not change there).
bool SaveRtfFile(const QTextDocument& document, const QString& path, QString* error,
                 const std::function<void()>& yield = {});

/// Saves the document's plain text as UTF-8, lines separated by "\n". The old file is replaced
/// only once the new one is complete. False (with error set) when the file cannot be written.
/// yield as for SaveRtfFile.
bool SavePlainTextFile(const QTextDocument& document, const QString& path, QString* error,
                       const std::function<void()>& yield = {});

/// Converts rich text to the plain text SavePlainTextFile would write for the loaded document,
/// without building a document: memory stays bounded for any size of input. False when
/// reading or writing failed.
bool ConvertRtfToPlainText(QIODevice& in, QIODevice& out);

/// Rewrites rich text as SaveRtfFile would write the loaded document (the font and colour
/// tables are those of the input), without building a document. False when reading or
/// writing failed.
bool ConvertRtf(QIODevice& in, QIODevice& out);

} // namespace quillon
