#pragma once

#include <QSaveFile>
#include <QString>

namespace quillon {

/// Ends every write that replaces a user's file. QSaveFile::commit() moves the new file into
/// place even when the last buffered bytes could not be written (a full disk), so this writes
/// them first and checks, then commits. On any failure the new file is dropped, the old one
/// stays as it was, and *reason (when given) holds the system's reason, e.g. "No space left
/// on device". Returns true when the new file is in place.
bool CommitChecked(QSaveFile& file, QString* reason = nullptr);

} // namespace quillon
