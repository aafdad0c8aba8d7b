#pragma once

#include "platform/StoredTexts.h"

#include <QString>
#include <string>
#include <vector>

namespace quillon {

/// One row of the scan-location list: which folder to walk, how deep, which files to take.
struct ScanLocation {
    QString path;                           ///< row text: folder, no trailing "/" except the root
    QString subFolders = kYes;              ///< "Yes" or "No"
    QString filter = QStringLiteral("*.*"); ///< "*.*" or extensions joined by ";" (".mp3;.JPG")
    QString level;        ///< whole number, "All Levels", or "" when subFolders is "No"
    int icon = kScanIcon; ///< kScanIcon, or kExcludedIcon (skipped by every scan)

    static constexpr int kScanIcon = 3;
    static constexpr int kExcludedIcon = 4;

    /// Skipped by every scan; the row stays in the list.
    bool excluded() const { return icon == kExcludedIcon; }
    void setExcluded(bool on) { icon = on ? kExcludedIcon : kScanIcon; }
    /// Its sub-folders are walked too.
    bool withSubFolders() const { return subFolders == kYes; }
    void setSubFolders(bool on) { subFolders = YesNo(on); }

    bool operator==(const ScanLocation&) const = default;
};

using ScanLocationList = std::vector<ScanLocation>;

/// The locations' paths as the walker and the layouts take them: file-name bytes, in list
/// order.
std::vector<std::string> LocationPaths(const ScanLocationList& locations);

} // namespace quillon
