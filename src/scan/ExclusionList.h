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

/// Reads "exclusion.lst" (UTF-8, CR LF or LF). A missing file gives empty lists; an unreadable
/// one gives what could be read. Markers switch the section in any order; empty lines and lines
/// holding a NUL or a lone carriage return (which could not be saved back) are skipped.
ExclusionList LoadExclusionList(const QString& path);

/// Writes the lists in the file's format (markers always, every line CR LF) through a temporary
/// file, so a failed write keeps the old file. Returns false with *error set on failure.
bool SaveExclusionList(const ExclusionList& list, const QString& path, QString* error = nullptr);

} // namespace quillon
