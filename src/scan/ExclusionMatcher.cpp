#include "scan/ExclusionMatcher.h"

#include "platform/PathRules.h"
#include "scan/NameMatch.h"

#include <QFile>
#include <algorithm>

namespace quillon {

ExclusionMatcher::ExclusionMatcher(const ExclusionList& list)
    : m_includeSubFolders(list.includeSubFolders)
{
    for (const QString& name : list.fileNames)
        m_fileNames.insert(FoldCase(QFile::encodeName(name).toStdString()));
    // A hand-edited entry may end in "/"; the walker compares paths without it.
    for (const QString& folder : list.folders) {
        const std::string path = QFile::encodeName(folder).toStdString();
        std::string folded = FoldCase(WithoutTrailingSlash(path));
        m_longestFolder = std::max(m_longestFolder, folded.size());
        m_folders.insert(std::move(folded));
    }
    for (const QString& extension : list.extensions)
        m_extensions.insert(FoldCase(QFile::encodeName(extension).toStdString()));
}

bool ExclusionMatcher::IsExcludedFolder(std::string_view folderPath) const
{
    // Folding turns each character (at most four bytes) into at least one byte, so a path over
    // four times the longest entry cannot match: deep paths are not folded for every folder.
    if (m_folders.empty() || folderPath.size() > 4 * m_longestFolder)
        return false;
    return m_folders.count(FoldCase(folderPath)) != 0;
}

bool ExclusionMatcher::IsExcludedFileName(std::string_view name) const
{
    return !m_fileNames.empty() && m_fileNames.count(FoldCase(name)) != 0;
}

bool ExclusionMatcher::IsExcludedExtension(std::string_view name) const
{
    if (m_extensions.empty())
        return false;
    const std::string_view extension = FileExtension(name);
    if (extension.empty())
        return false;
    // Not "*" + FoldCase(...): GCC 12 at -O3 warns of an impossible overlapping copy inside that
    // operator+ (GCC bug 105329).
    std::string key = FoldCase(extension);
    key.insert(key.begin(), '*');
    return m_extensions.count(key) != 0;
}

} // namespace quillon
