#pragma once

#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace quillon {

/// A file named relative to an open folder. The details of a report line are read through
/// the folder's descriptor, so they work at any depth: a full path may be longer than
/// PATH_MAX, a name never is.
struct FileAt {
    int folder = AT_FDCWD; ///< descriptor of the folder; AT_FDCWD when name is a whole path
    const char* name = ""; ///< the name in that folder (or the whole path)

    static FileAt Path(const std::string& path) { return FileAt{AT_FDCWD, path.c_str()}; }
};

/// The folder whose files' details are being read, held as a descriptor (O_PATH). Moving to
/// another folder opens it in one call when its path is shorter than PATH_MAX, else component
/// by component, each relative to the one before, so a path of any length works; moving into a
/// sub-folder of the current one opens only the rest, so a walk down a deep tree costs one open
/// per level.
class FolderCursor {
public:
    FolderCursor() = default;
    ~FolderCursor();
    FolderCursor(const FolderCursor&) = delete;
    FolderCursor& operator=(const FolderCursor&) = delete;

    /// Makes the folder at path current. False when it cannot be opened: at() then falls back
    /// to whole paths, which fail as the file would.
    bool moveTo(std::string_view path);

    /// The file name in the current folder; fullPath when the folder could not be opened.
    FileAt at(const std::string& name, const std::string& fullPath) const
    {
        return m_fd >= 0 ? FileAt{m_fd, name.c_str()} : FileAt::Path(fullPath);
    }

    /// The current folder's descriptor (O_PATH), -1 when it could not be opened.
    int descriptor() const { return m_fd; }

private:
    std::string m_path; ///< the current folder, ending in "/"
    int m_fd = -1;
};

/// The status of a file without following a link (fstatat with AT_SYMLINK_NOFOLLOW).
bool StatNoFollow(const FileAt& file, struct stat& st);

/// Opens a file for reading only when it is a regular file reached without following a link;
/// -1 otherwise (errno set; ELOOP for a link, EINVAL for anything but a regular file).
int OpenRegularNoFollow(const FileAt& file);

/// The same for a file the walk already saw as a regular file, in one call fewer: opened
/// without the look first (O_NONBLOCK, so a pipe put in its place meanwhile cannot block), then
/// refused unless regular. st is the open file's status.
int OpenListedRegular(const FileAt& file, struct stat& st);

} // namespace quillon
