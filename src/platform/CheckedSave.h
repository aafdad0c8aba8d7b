#pragma once

#include <QSaveFile>
#include <QString>
#include <functional>

namespace quillon {

/// Why path cannot be replaced by a new file, or empty when it can: it is absent or a regular
/// file, through any symbolic links. A device node, FIFO, socket or folder in its place (or at
/// the end of a link) would be replaced by a regular file, or written to, so it is refused.
QString UnreplaceableReason(const QString& path);

/// Opens file for writing once UnreplaceableReason allows its target; false with *reason
/// (when given) otherwise. Every write that replaces a user's file starts here.
bool OpenForReplace(QSaveFile& file, QString* reason = nullptr);

/// Ends every write that replaces a user's file. QSaveFile::commit() moves the new file into
/// place even when the last buffered bytes could not be written (a full disk), so this writes
/// them first and checks, then commits. The target is checked again, as OpenForReplace does, so
/// a node that took its place meanwhile is never replaced. On any failure the new file is
/// dropped, the old one stays as it was, and *reason (when given) holds the system's reason,
/// e.g. "No space left on device". Returns true when the new file is in place.
bool CommitChecked(QSaveFile& file, QString* reason = nullptr);

/// Replaces the file at path with what write puts into the open file, ending through
/// CommitChecked. write returns false on failure, setting *reason when it knows better than
/// the file's own error. On any failure the old file stays and *reason says why.
bool SaveChecked(const QString& path, const std::function<bool(QSaveFile&, QString*)>& write,
                 QString* reason);

/// The reason a failed write gives: the file's error text, or the system's when Qt only says
/// "Unknown error" (a short write on a full disk leaves no text): what writing the bytes the
/// file still holds says, "No space left on device" when its file system is full, else err.
QString WriteFailureReason(QFileDevice& file, int err);

} // namespace quillon
