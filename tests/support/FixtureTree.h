#pragma once

#include <QTemporaryDir>
#include <cstdint>
#include <string>

namespace quillon::test {

/// A folder tree made in a temporary folder at test time and removed afterwards (unreadable
/// folders are made readable again first). Paths given to the helpers are relative to root().
class FixtureTree {
public:
    FixtureTree();
    ~FixtureTree();

    /// Root folder, without a trailing "/".
    const std::string& root() const { return m_root; }
    /// root() + "/" + relative.
    std::string path(const std::string& relative) const;

    /// Creates a folder (and its parents).
    void folder(const std::string& relative);
    /// Creates a file (and its folders) holding content.
    void file(const std::string& relative, const std::string& content = {});
    /// Creates a file of the given apparent size without writing its bytes.
    void sparseFile(const std::string& relative, std::int64_t size);
    /// Creates a symbolic link at relative pointing to target (taken as written).
    void symlink(const std::string& relative, const std::string& target);
    /// Sets the permission bits (e.g. 0 for an unreadable folder).
    void chmod(const std::string& relative, unsigned mode);
    /// Sets the modification time, "YYYY-MM-DD hh:mm:ss" in local time.
    void setModified(const std::string& relative, const std::string& localTime);

private:
    QTemporaryDir m_dir;
    std::string m_root;
};

} // namespace quillon::test
