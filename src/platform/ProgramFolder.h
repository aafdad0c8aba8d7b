#pragma once

#include <QString>

namespace quillon {

/// The program's own folder: $XDG_DATA_HOME/Tessaly/Quillon (default ~/.local/share/...),
/// created on first use. It holds exclusion.lst, Default.qjb and tmpfile.dmp.
QString ProgramFolder();

/// Path of a file in the program's folder ("exclusion.lst", "tmpfile.dmp", "Default.qjb").
QString ProgramFile(const QString& name);

/// Joins a folder and a file name with exactly one "/" between them (the root keeps its one).
QString JoinPath(const QString& folder, const QString& name);

} // namespace quillon
