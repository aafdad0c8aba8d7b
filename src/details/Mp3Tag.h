#pragma once

#include "details/FileAt.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

/// The ID3 version 1 tag of a file: the fixed 128-byte trailer ("TAG", title, artist, album,
/// year, comment, genre number). Text fields are UTF-8, decoded from Windows-1252, and always
/// hold exactly their width in characters (30, or 4 for the year), padded with blanks.
struct Mp3Tag {
    static constexpr std::size_t kTextWidth = 30;
    static constexpr std::size_t kYearWidth = 4;

    bool found = false; ///< a "TAG" trailer was read
    std::string title = std::string(kTextWidth, ' ');
    std::string artist = std::string(kTextWidth, ' ');
    std::string album = std::string(kTextWidth, ' ');
    std::string year = std::string(kYearWidth, ' ');
    std::string comment = std::string(kTextWidth, ' ');
    std::uint8_t genre = 0;
    std::string genreName; ///< name of the genre number; empty for numbers beyond the table

    bool operator==(const Mp3Tag&) const = default;
};

/// The 148 genre names of ID3v1, by genre number 0 to 147, spelled as the tag tables have them.
const std::array<std::string_view, 148>& GenreNames();

/// The name of a genre number, or the empty text for 148 and above.
std::string_view GenreName(unsigned genre);

/// Decodes an ID3v1 trailer (exactly 128 bytes). A trailer not starting with "TAG" gives a
/// blank tag with found false. Each text field is cut at its first NUL (the rest blanks).
Mp3Tag ParseMp3Trailer(std::string_view trailer);

/// Reads the ID3v1 trailer of a file, whatever its extension. Hidden files (name beginning
/// with "."), anything but a regular file, files shorter than 128 bytes and unreadable files
/// give a blank tag with found false.
Mp3Tag ReadMp3Tag(const FileAt& file);
/// The ID3v1 trailer of an open regular file of size bytes (whatever its name); a read that
/// fails gives a blank tag and its errno in error (0 otherwise, also for a file too short).
Mp3Tag ReadMp3TagOf(int fd, std::int64_t size, int& error);

inline Mp3Tag ReadMp3Tag(const std::string& path)
{
    return ReadMp3Tag(FileAt::Path(path));
}

} // namespace quillon
