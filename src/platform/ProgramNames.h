#pragma once

#include <QString>

namespace quillon {

/// The maker's name: the folder above the program's settings and files, and the organisation
/// Qt files the application under.
inline constexpr QLatin1StringView kMakerName("Tessaly");

/// The program's name: its settings file and folder, the application name, message titles and
/// the PDF creator.
inline constexpr QLatin1StringView kProgramName("Quillon");

/// The files kept in the program's own folder (ProgramFolder.h).
inline constexpr QLatin1StringView kExclusionListFile("exclusion.lst");
inline constexpr QLatin1StringView kStagingFile("tmpfile.dmp"); ///< the last report
inline constexpr QLatin1StringView kDefaultJobFile("Default.qjb");

} // namespace quillon
