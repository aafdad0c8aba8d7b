#pragma once

#include <QString>

namespace quillon {

/// The format Save As writes, decided by the marks ".txt", ".rtf", ".htm" (first found, in
/// that order, case ignored) in the file's name only, never in its folders.
enum class SaveFormat { None, PlainText, RichText, Html };

SaveFormat SaveFormatForPath(const QString& path);

} // namespace quillon
