#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillon {

/// The most a job file, the exclusion list or the settings file may hold; anything larger is
/// not one of them and must not fill the memory.
inline constexpr qint64 kSmallFileLimit = 64 * 1024 * 1024;

/// Why a small file could not be read.
enum class SmallFileError { None, Missing, NotRegular, TooLarge, Unreadable };

/// Reads a whole small file: a regular file (a link to one is followed) of at most limit
/// bytes. A FIFO, device or folder is refused without blocking or reading it. Nothing, with
/// *error and *reason set when given, when the file cannot be read so.
std::optional<QByteArray> ReadSmallFile(const QString& path, qint64 limit = kSmallFileLimit,
                                        SmallFileError* error = nullptr, QString* reason = nullptr);

} // namespace quillon
