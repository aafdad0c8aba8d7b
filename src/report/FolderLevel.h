#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillon {

/// The tree layouts' depth of a folder (a working folder path: no trailing "/" except the
/// root "/"): its separator count less that of the first scan location it lies in, plus one.
/// A scan location's own folder is level 1, its sub-folders level 2, and so on; with the
/// location "/" both "/" and "/Sub" are level 1. A location matches only where the folder path
/// continues with "/" or ends, so "/a/b" is not the location of "/a/bc". No matching location
/// measures from nothing (the separator count plus one).
int FolderLevel(std::string_view folderPath, const std::vector<std::string>& locations);

struct FolderNode;

/// FolderLevel of the folders of one report, by node: a sub-folder whose parent was measured
/// is one level below it as long as no location is longer than the parent's path (only such
/// a location could begin the sub-folder's path and not the parent's), so a deep tree costs
/// one step per folder instead of a pass over every folder's whole path.
class FolderLevels {
public:
    explicit FolderLevels(const std::vector<std::string>& locations);

    /// FolderLevel of the node's path without its trailing "/".
    int of(const FolderNode* node);

private:
    const std::vector<std::string>& m_locations;
    std::size_t m_longestLocation = 0;
    std::unordered_map<const FolderNode*, int> m_levels;
    std::string m_path;
};

} // namespace quillon
