#pragma once

#include <QString>
#include <QStringList>

namespace quillon {

/// What every scan leaves out, whatever the locations say. Lists keep their order.
struct ExclusionList {
    QStringList fileNames;          ///< exact names, compared without regard to case
    QStringList folders;            ///< full paths without trailing "/" (the root keeps it)
    QStringList extensions;         ///< "*.ext" entries
    bool includeSubFolders = false; ///< never stored: an excluded folder hides its whole tree

    bool operator==(const ExclusionList&) const = default;
};

/// Reads "exclusion.lst" (UTF-8, CR LF or LF) in time linear in its size. A missing file gives
/// empty lists. A file that is not a regular file, is larger than kExclusionListLimit or cannot
/// be read gives empty lists and *error (when given) names it and says why; the file must then
/// be left as it is. Markers switch the section in any order; empty lines and lines holding a
/// NUL or a lone carriage return (which could not be saved back) are skipped.
ExclusionList LoadExclusionList(const QString& path, QString* error = nullptr);

/// Writes the lists in the file's format (markers always, every line CR LF) through a temporary
/// file, so a failed write keeps the old file. Returns false with *error set on failure.
bool SaveExclusionList(const ExclusionList& list, const QString& path, QString* error = nullptr);

} // namespace quillon
