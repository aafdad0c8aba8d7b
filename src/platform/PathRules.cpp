#include "platform/PathRules.h"

namespace quillon {

bool IsRootPath(std::string_view path)
{
    return path == "/";
}

std::string WithTrailingSlash(std::string_view path)
{
    std::string result(path);
    if (result.empty() || result.back() != '/')
        result.push_back('/');
    return result;
}

std::string_view WithoutTrailingSlash(std::string_view folderPath)
{
    if (folderPath.size() > 1 && folderPath.back() == '/')
        folderPath.remove_suffix(1);
    return folderPath;
}

std::string_view LastComponent(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

int CountSeparators(std::string_view text)
{
    // The tree layouts' levels are this count, and a report must come out the same from one
    // version to the next: so the search resumes two characters past each separator found and
    // stops once fewer than two characters follow the one just found. Once a search finds
    // nothing, no later one can, so the scan ends there: one pass over the text.
    int count = 0;
    std::size_t from = 0;
    for (;;) {
        const auto p = text.find('/', from);
        if (p == std::string_view::npos)
            break;
        ++count;
        if (p + 3 >= text.size())
            break;
        from = p + 2;
    }
    return count;
}

int CountSeparatorsToEnd(std::string_view text)
{
    int count = 0;
    for (std::size_t p = text.find('/'); p != std::string_view::npos; p = text.find('/', p + 2))
        ++count;
    return count;
}

std::string AsciiLower(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return result;
}

int PathDepth(std::string_view folderPath, const std::vector<std::string>& locations)
{
    const std::string lowerPath = AsciiLower(folderPath);
    std::string_view location;
    for (const std::string& candidate : locations) {
        if (candidate.size() <= lowerPath.size() &&
            AsciiLower(candidate) == std::string_view(lowerPath).substr(0, candidate.size())) {
            location = candidate;
            break;
        }
    }
    const int locationCount = IsRootPath(location) ? 0 : CountSeparatorsToEnd(location);
    return CountSeparatorsToEnd(folderPath) - locationCount;
}

std::string_view TrimAtNul(std::string_view text)
{
    return text.substr(0, text.find('\0'));
}

} // namespace quillon
