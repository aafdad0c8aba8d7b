#include "report/FolderLevel.h"

#include "platform/PathRules.h"
#include "scan/ScanRecord.h"

#include <algorithm>

namespace quillon {

namespace {

bool LiesIn(std::string_view folderPath, std::string_view location)
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
        if (LiesIn(folderPath, path)) {
            location = path;
            break;
        }
    }
    const int locationCount = location.empty() ? 0 : CountSeparators(location);
    return CountSeparators(folderPath) - locationCount + 1;
}

FolderLevels::FolderLevels(const std::vector<std::string>& locations) : m_locations(locations)
{
    for (const std::string& location : locations)
        m_longestLocation = std::max(m_longestLocation, WithoutTrailingSlash(location).size());
}

int FolderLevels::of(const FolderNode* node)
{
    if (const auto known = m_levels.find(node); known != m_levels.end())
        return known->second;
    int level = 0;
    const FolderNode* parent = node->parent;
    const auto up = parent ? m_levels.find(parent) : m_levels.end();
    // The parent's path without its "/". Under a location whose path ends in "/" even then
    // (the root, or one typed with "//"), the count does not simply grow by one: measure.
    std::size_t parentLength = 0;
    bool parentEndsInSlash = false;
    if (parent) {
        if (parent->parent) {
            parentLength = parent->pathLength - 1;
        } else {
            const std::string_view path = WithoutTrailingSlash(parent->name);
            parentLength = path.size();
            parentEndsInSlash = path.ends_with('/');
        }
    }
    if (up != m_levels.end() && !parentEndsInSlash && parentLength >= m_longestLocation) {
        level = up->second + 1;
    } else {
        m_path.clear();
        node->appendPath(m_path);
        level = FolderLevel(WithoutTrailingSlash(m_path), m_locations);
    }
    m_levels.emplace(node, level);
    return level;
}

} // namespace quillon
