#pragma once

#include "details/FileAt.h"

#include <string>
#include <sys/types.h>

namespace quillon {

/// The Owner column of a file: the account name of the file's owner (the link itself for a
/// symbolic link), or the empty text when the file cannot be examined or no account has its uid.
std::string FileOwnerName(const FileAt& file);
inline std::string FileOwnerName(const std::string& path)
{
    return FileOwnerName(FileAt::Path(path));
}

/// The account name of a uid, or the empty text when no account has it. Names are looked up
/// once per uid for the life of the process (a report asks for the same few owners over and over).
std::string AccountName(uid_t uid);

} // namespace quillon
