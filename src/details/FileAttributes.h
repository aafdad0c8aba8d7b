#pragma once

#include "details/FileAt.h"

#include <cstdint>
#include <string>

namespace quillon {

// Attribute bits as the report columns know them.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
inline constexpr std::uint32_t kAttrDevice = 0x40;
inline constexpr std::uint32_t kAttrReparsePoint = 0x400;

/// The four-character letter text of an attribute value ("RA  ", "AHS " ...), looked up by
/// exact value; values with bits that have no letter (directory, not indexed ...) give four
/// blanks.
std::string AttributeLettersOf(std::uint32_t attributes);

/// The attribute value of a file: the real DOS attributes where the file system keeps them
/// (FAT, exFAT, NTFS), otherwise derived: read-only when the owner may not write, hidden when
/// the name begins with ".", archive for a regular file, directory for a folder. Returns false
/// when the file cannot be examined.
bool ReadFileAttributes(const FileAt& file, std::uint32_t& attributes);
/// The same for a file whose status st was read without following a link.
bool ReadFileAttributes(const FileAt& file, struct stat st, std::uint32_t& attributes);
inline bool ReadFileAttributes(const std::string& path, std::uint32_t& attributes)
{
    return ReadFileAttributes(FileAt::Path(path), attributes);
}

/// The Attribute column of a file: AttributeLettersOf its value, or the empty text when the
/// file cannot be examined (it is gone).
std::string AttributeLetters(const FileAt& file);
inline std::string AttributeLetters(const std::string& path)
{
    return AttributeLetters(FileAt::Path(path));
}

} // namespace quillon
