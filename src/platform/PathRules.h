#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Path rules of the scan and the reports. Paths are byte strings with "/" as separator; the
// root "/" plays the part that a drive root plays elsewhere (it keeps its separator).

/// True for the root folder "/".
bool IsRootPath(std::string_view path);

/// The path with one "/" at its end (unchanged when it already ends in "/").
std::string WithTrailingSlash(std::string_view path);

/// A folder path without its trailing "/", except the root, which stays "/".
std::string_view WithoutTrailingSlash(std::string_view folderPath);

/// The text after the last "/" (empty for the root or a path ending in "/").
std::string_view LastComponent(std::string_view path);

/// Counts separators the way the tree layouts measure levels: the search resumes two characters
/// past each one found (so "//" counts once) and ends when fewer than two characters remain.
int CountSeparators(std::string_view text);

/// Counts separators the way PathDepth does: each "/" found, the search resuming two
/// characters past it (so "//" counts once), to the end of the text.
int CountSeparatorsToEnd(std::string_view text);

/// How many folder levels folderPath (no trailing "/") lies below the first location in
/// `locations` whose path equals its leading characters, compared without regard to ASCII
/// case. The root location counts zero separators; no match measures against "".
int PathDepth(std::string_view folderPath, const std::vector<std::string>& locations);

/// A name that begins with "." is hidden: the walk leaves such files out unless told to take
/// them, and a hidden file shows no tag and no checksum unless hidden files are listed.
inline bool IsHiddenName(std::string_view name)
{
    return !name.empty() && name.front() == '.';
}

/// Lower-cases ASCII letters only; other bytes (UTF-8 included) stay as they are.
std::string AsciiLower(std::string_view text);

/// Text up to its first NUL byte.
std::string_view TrimAtNul(std::string_view text);

} // namespace quillon
