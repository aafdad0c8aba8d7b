#pragma once

#include <QSaveFile>
#include <QString>
#include <functional>

namespace quillon {

/// Ends every write that replaces a user's file. QSaveFile::commit() moves the new file into
/// place even when the last buffered bytes could not be written (a full disk), so this writes
/// them first and checks, then commits. On any failure the new file is dropped, the old one
/// stays as it was, and *reason (when given) holds the system's reason, e.g. "No space left
/// on device". Returns true when the new file is in place.
bool CommitChecked(QSaveFile& file, QString* reason = nullptr);

/// Replaces the file at path with what write puts into the open file, ending through
/// CommitChecked. write returns false on failure, setting *reason when it knows better than
/// the file's own error. On any failure the old file stays and *reason says why.
bool SaveChecked(const QString& path, const std::function<bool(QSaveFile&, QString*)>& write,
                 QString* reason);

} // namespace quillon
