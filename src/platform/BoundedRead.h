#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>

namespace quillon {

/// The most a job file may hold: five lines and one line per location (a path of at most
/// 4,096 bytes), so thousands of locations. Anything larger is no job file.
inline constexpr qint64 kJobFileLimit = 1024 * 1024;
/// The most the exclusion list may hold: thousands of names, folders and extensions typed or
/// picked in its dialog. Anything larger is refused, and the file is left as it is.
inline constexpr qint64 kExclusionListLimit = 4 * 1024 * 1024;
/// The most the settings file may hold: a few dozen report options, the window's place, the
/// margins and the file types of the location dialog. Anything larger is left as it is.
inline constexpr qint64 kSettingsFileLimit = 1024 * 1024;
/// The largest of the limits above.
inline constexpr qint64 kSmallFileLimit = kExclusionListLimit;

/// Why a small file could not be read.
enum class SmallFileError { None, Missing, NotRegular, TooLarge, Unreadable };

/// Opens path for reading only when it is a regular file: opened without blocking and without
/// becoming a controlling terminal, then checked on the opened descriptor (so nothing can be
/// swapped in between). A FIFO, device, socket or folder is refused without being read, and so
/// is a file of the kernel's own file systems (/proc, /sys), whose "regular files" are
/// interfaces: reading /proc/kmsg takes a kernel message away from the system log. A link to a
/// regular file is followed. Sets *error and *reason (when given) on refusal.
bool OpenRegularFile(const QString& path, QFile& file, SmallFileError* error = nullptr,
                     QString* reason = nullptr);
/// The same for a path given as bytes (a name a QString cannot hold); *kind (when given) says
/// what a refused node is, as FileKindText does ("a FIFO"), or "a kernel interface".
bool OpenRegularFile(const QByteArray& path, QFile& file, SmallFileError* error, QString* reason,
                     QString* kind);

/// What a node that is not a regular file is, for messages: "a FIFO", "a character device",
/// "a block device", "a socket", "a folder".
QString FileKindText(unsigned mode);

/// True when fd is open on a regular file that is no kernel interface (see OpenRegularFile).
bool IsRegularFileDescriptor(int fd);

/// Reads a whole small file: a regular file as OpenRegularFile takes it, of at most limit
/// bytes. Nothing, with *error and *reason set when given, when the file cannot be read so.
std::optional<QByteArray> ReadSmallFile(const QString& path, qint64 limit = kSmallFileLimit,
                                        SmallFileError* error = nullptr, QString* reason = nullptr);

} // namespace quillon
