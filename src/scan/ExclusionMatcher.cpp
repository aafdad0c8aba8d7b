#include "scan/ExclusionMatcher.h"

#include "platform/PathRules.h"
#include "scan/NameMatch.h"

#include <QFile>

namespace quillon {

ExclusionMatcher::ExclusionMatcher(const ExclusionList& list)
    : m_includeSubFolders(list.includeSubFolders)
{
    for (const QString& name : list.fileNames)
        m_fileNames.insert(FoldCase(QFile::encodeName(name).toStdString()));
    // A hand-edited entry may end in "/"; the walker compares paths without it.
    for (const QString& folder : list.folders) {
        const std::string path = QFile::encodeName(folder).toStdString();
        m_folders.insert(FoldCase(WithoutTrailingSlash(path)));
    }
    for (const QString& extension : list.extensions)
        m_extensions.insert(FoldCase(QFile::encodeName(extension).toStdString()));
}

bool ExclusionMatcher::IsExcludedFolder(std::string_view folderPath) const
{
    return !m_folders.empty() && m_folders.count(FoldCase(folderPath)) != 0;
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
