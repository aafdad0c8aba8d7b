#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

/// The tree layouts' depth of a folder (a working folder path: no trailing "/" except the
/// root "/"): its separator count less that of the first scan location it lies in, plus one.
/// A scan location's own folder is level 1, its sub-folders level 2, and so on; with the
/// location "/" both "/" and "/Sub" are level 1. A location matches only where the folder path
/// continues with "/" or ends, so "/a/b" is not the location of "/a/bc". No matching location
/// measures from nothing (the separator count plus one).
int FolderLevel(std::string_view folderPath, const std::vector<std::string>& locations);

} // namespace quillon
