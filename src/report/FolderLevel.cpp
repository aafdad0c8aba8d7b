#include "report/FolderLevel.h"

#include "platform/PathRules.h"

namespace quillon {

namespace {

bool liesIn(std::string_view folderPath, std::string_view location)
{
    if (location.empty() || !folderPath.starts_with(location))
        return false;
    return folderPath.size() == location.size() || location.back() == '/' ||
           folderPath[location.size()] == '/';
}

} // namespace

int FolderLevel(std::string_view folderPath, const std::vector<std::string>& locations)
{
    std::string_view location;
    for (const std::string& candidate : locations) {
        // A location typed with a trailing "/" means the same folder as without it.
        const std::string_view path = WithoutTrailingSlash(candidate);
        if (liesIn(folderPath, path)) {
            location = path;
            break;
        }
    }
    const int locationCount = location.empty() ? 0 : CountSeparators(location);
    return CountSeparators(folderPath) - locationCount + 1;
}

} // namespace quillon
