#pragma once

#include <QString>

namespace quillon {

/// The program's own folder: $XDG_DATA_HOME/Tessaly/Quillon (default ~/.local/share/...),
/// created on first use. It holds exclusion.lst, Default.qjb and tmpfile.dmp.
QString ProgramFolder();

/// Path of a file in the program's folder (one of ProgramNames.h).
QString ProgramFile(const QString& name);

/// The exclusion list every scan reads.
QString ExclusionListPath();
/// The shared staging file, which holds the last report laid out.
QString SharedStagingPath();
/// The job opened with the window and saved when it closes.
QString DefaultJobFilePath();

/// Joins a folder and a file name with exactly one "/" between them (the root keeps its one).
QString JoinPath(const QString& folder, const QString& name);

} // namespace quillon
