#pragma once

#include "scan/ExclusionList.h"

#include <string>
#include <string_view>
#include <unordered_set>

namespace quillon {

/// The exclusion list prepared for one walk: each list case-folded once into a hash set, so
/// a test costs one lookup, and nothing at all while its list is empty.
class ExclusionMatcher {
public:
    explicit ExclusionMatcher(const ExclusionList& list = {});

    /// True when the folder path (no trailing "/"; the root is "/") is listed, whatever its case.
    bool IsExcludedFolder(std::string_view folderPath) const;
    /// True when the file name is listed, whatever its case.
    bool IsExcludedFileName(std::string_view name) const;
    /// True when "*" + the name's extension is listed, whatever its case. A name without "."
    /// has no extension and is never excluded by this list.
    bool IsExcludedExtension(std::string_view name) const;

    /// Whether an excluded folder hides its sub-folders too (otherwise only its own files).
    bool includeSubFolders() const { return m_includeSubFolders; }
    /// False when no folder is listed: no folder's files or sub-folders are left out.
    bool excludesFolders() const { return !m_folders.empty(); }

private:
    std::unordered_set<std::string> m_fileNames;
    std::unordered_set<std::string> m_folders;
    std::unordered_set<std::string> m_extensions;
    std::size_t m_longestFolder = 0; ///< bytes of the longest case-folded folder entry
    bool m_includeSubFolders = false;
};

} // namespace quillon
