#pragma once

#include "report/DetailColumns.h"
#include "report/ScanSummary.h"
#include "scan/ScanOptions.h"

#include <QString>

namespace quillon {

class SettingsStore;

/// The report options: section "Settings" (list options) and section "Fields" (the columns of
/// List In Details). Switches are 0/1 in the store; the two choices are stored as their text.
struct ReportSettings {
    // "Settings"
    bool FullPath = true;
    bool ListInUpper = false;
    bool ListInLower = false;
    bool IncludeFolderTitle = true;
    bool IncludeSeparator = true;
    bool IncludeFolderSum = true;
    bool IncludeFullSum = false;
    QString ColSize = QStringLiteral("40");
    QString ShowSizeIn = QStringLiteral("KB");
    bool KeepAllCharacters = false; ///< names keep what the report's safe set lacks
    // "Settings", what is big here; all off by default
    bool FolderTotals = false;       ///< each folder line shows its total size and file count
    bool SortFoldersByTotal = false; ///< each level's folders in order of their totals
    bool IncludeHidden = false;      ///< files whose names begin with "." are taken
    bool OneFileSystem = false;      ///< folders on another device than the location's stay unread
    bool CountHardLinksOnce = false; ///< a multiply-linked file adds its size once
    bool SizeOnDisk = false;         ///< sizes are allocated blocks, not apparent bytes
    /// Threads reading folders in a scan; 0 (the default) picks by the disk. Stored only when
    /// set, as "WalkThreads" in "Settings"; the report is the same whatever its value.
    int WalkThreads = 0;
    // "Fields": the detail columns' switches, keyed as their rows in kDetailColumns, then one
    ColumnSwitches Fields = DefaultColumns();
    bool RemoveBlankSpaces = false;
    // "Summaries", stored in a section of their own
    SummarySettings Summary;

    bool operator==(const ReportSettings&) const = default;

    /// ColSize as a number; the default 40 when the stored text is not a whole number >= 4.
    int columnSize() const;
};

/// The walk switches of the settings, for ScanRun::setOptions; ascending is the sort
/// direction, which orders folders by total too.
/// The most threads a scan may read folders with ("WalkThreads", --threads).
constexpr int kMaxWalkThreads = 64;

ScanOptions ScanOptionsOf(const ReportSettings& settings, bool ascending = true);

/// Reads both sections; a missing or unusable value (not a whole number, ColSize below 4)
/// takes its default, so a damaged settings file never stops the program.
ReportSettings LoadReportSettings(const SettingsStore& store);

/// Writes all 31 values, the sixteen of "Settings" (KeepAllCharacters after the two choices,
/// then the six switches of what is big here) then the fifteen of "Fields"; the store
/// writes its file on sync() or when it goes.
void SaveReportSettings(const ReportSettings& settings, SettingsStore& store);

} // namespace quillon
