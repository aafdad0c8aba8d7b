#pragma once

#include "details/FileAt.h"

#include <string>
#include <string_view>

namespace quillon {

/// True when the last four characters of path, lower-cased, occur in ".exe .dll .ocx"
/// (only such files are examined for a version).
bool HasVersionExtension(std::string_view path);

/// The Version column of a file: the file version of its PE version resource as four
/// decimal numbers joined by dots (e.g. 5.1.2600.0), or the empty text when the path does not
/// end in .exe/.dll/.ocx, the file cannot be read, or it holds no well-formed version record.
/// Reads only the headers and the resource pieces it needs.
std::string FileVersionText(const FileAt& file);
/// The version text of an open regular file of size bytes, read as FileVersionText does; a read
/// that fails leaves the text empty and its errno in error (0 otherwise).
std::string FileVersionOf(int fd, std::uint64_t size, int& error);

inline std::string FileVersionText(const std::string& path)
{
    return FileVersionText(FileAt::Path(path));
}

} // namespace quillon
