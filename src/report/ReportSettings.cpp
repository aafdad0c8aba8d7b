#include "report/ReportSettings.h"

#include "platform/SettingsStore.h"
#include "report/DetailColumns.h"

#include <array>

namespace quillon {

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kFields = QStringLiteral("Fields");

// The choice lists offer 30 to 80; typed values are allowed within these bounds. Below 4 the
// shortening ("..." after ColSize + 11 characters) has no room; far above, every padded line
// would grow without use.
constexpr int kMinColumnSize = 4;
constexpr int kMaxColumnSize = 1000;
constexpr int kDefaultColumnSize = 40;

struct SwitchKey {
    const char* key;
    bool ReportSettings::*member;
};

// Store order: the nine of "Settings" (the two choices come after the seven switches), then
// the fifteen of "Fields".
constexpr std::array<SwitchKey, 7> kListSwitches{{
    {"FullPath", &ReportSettings::FullPath},
    {"ListInUpper", &ReportSettings::ListInUpper},
    {"ListInLower", &ReportSettings::ListInLower},
    {"IncludeFolderTitle", &ReportSettings::IncludeFolderTitle},
    {"IncludeSeparator", &ReportSettings::IncludeSeparator},
    {"IncludeFolderSum", &ReportSettings::IncludeFolderSum},
    {"IncludeFullSum", &ReportSettings::IncludeFullSum},
}};

// Added later, stored after KeepAllCharacters; a file without them reads as before (all off).
constexpr std::array<SwitchKey, 6> kSizeSwitches{{
    {"FolderTotals", &ReportSettings::FolderTotals},
    {"SortFoldersByTotal", &ReportSettings::SortFoldersByTotal},
    {"IncludeHidden", &ReportSettings::IncludeHidden},
    {"OneFileSystem", &ReportSettings::OneFileSystem},
    {"CountHardLinksOnce", &ReportSettings::CountHardLinksOnce},
    {"SizeOnDisk", &ReportSettings::SizeOnDisk},
}};

// The switch of "Fields" after the detail columns' (report/DetailColumns.h).
constexpr const char* kRemoveBlankSpaces = "RemoveBlankSpaces";

/// A check box holds 0 or 1; anything else in the store is damage and leaves the default.
bool ReadSwitch(const SettingsStore& store, const QString& section, const char* key, bool fallback)
{
    const int sentinel = -1;
    const int value = store.intValue(section, QLatin1String(key), sentinel);
    if (value == 0 || value == 1)
        return value == 1;
    return fallback;
}

void WriteSwitch(SettingsStore& store, const QString& section, const char* key, bool on)
{
    store.setValue(section, QLatin1String(key), on ? QStringLiteral("1") : QStringLiteral("0"));
}

/// The column size the text stands for, or 0 when it is not a usable whole number.
int ParseColumnSize(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= kMinColumnSize && value <= kMaxColumnSize ? value : 0;
}

} // namespace

int ReportSettings::columnSize() const
{
    const int value = ParseColumnSize(ColSize);
    return value ? value : kDefaultColumnSize;
}

ScanOptions ScanOptionsOf(const ReportSettings& settings, bool ascending)
{
    ScanOptions options;
    options.includeHidden = settings.IncludeHidden;
    options.oneFileSystem = settings.OneFileSystem;
    options.folderTotals = settings.FolderTotals;
    options.sortFoldersByTotal = settings.SortFoldersByTotal;
    options.totalsDescending = !ascending;
    options.countHardLinksOnce = settings.CountHardLinksOnce;
    options.sizeOnDisk = settings.SizeOnDisk;
    options.threads = settings.WalkThreads;
    return options;
}

ReportSettings LoadReportSettings(const SettingsStore& store)
{
    ReportSettings settings;
    for (const SwitchKey& entry : kListSwitches)
        settings.*entry.member = ReadSwitch(store, kSettings, entry.key, settings.*entry.member);
    for (const DetailColumnRow& row : kDetailColumns)
        settings.Fields[row.column] =
            ReadSwitch(store, kFields, row.key, settings.Fields[row.column]);
    settings.RemoveBlankSpaces =
        ReadSwitch(store, kFields, kRemoveBlankSpaces, settings.RemoveBlankSpaces);

    const QString colSize = store.value(kSettings, QStringLiteral("ColSize"), settings.ColSize);
    if (ParseColumnSize(colSize))
        settings.ColSize = colSize.trimmed();
    // Any unit text is kept: an unknown one leaves the size column blank, as the dialog shows it.
    settings.ShowSizeIn = store.value(kSettings, QStringLiteral("ShowSizeIn"), settings.ShowSizeIn);
    settings.KeepAllCharacters =
        ReadSwitch(store, kSettings, "KeepAllCharacters", settings.KeepAllCharacters);
    for (const SwitchKey& entry : kSizeSwitches)
        settings.*entry.member = ReadSwitch(store, kSettings, entry.key, settings.*entry.member);
    const int threads = store.intValue(kSettings, QStringLiteral("WalkThreads"), 0);
    if (threads >= 0 && threads <= kMaxWalkThreads)
        settings.WalkThreads = threads;
    settings.Summary = LoadSummarySettings(store);
    return settings;
}

void SaveReportSettings(const ReportSettings& settings, SettingsStore& store)
{
    for (const SwitchKey& entry : kListSwitches)
        WriteSwitch(store, kSettings, entry.key, settings.*entry.member);
    store.setValue(kSettings, QStringLiteral("ColSize"), settings.ColSize);
    store.setValue(kSettings, QStringLiteral("ShowSizeIn"), settings.ShowSizeIn);
    WriteSwitch(store, kSettings, "KeepAllCharacters", settings.KeepAllCharacters);
    for (const SwitchKey& entry : kSizeSwitches)
        WriteSwitch(store, kSettings, entry.key, settings.*entry.member);
    for (const DetailColumnRow& row : kDetailColumns)
        WriteSwitch(store, kFields, row.key, settings.Fields[row.column]);
    WriteSwitch(store, kFields, kRemoveBlankSpaces, settings.RemoveBlankSpaces);
    // Only a chosen count is written, so a settings file of the default stays as it was.
    if (settings.WalkThreads != 0)
        store.setValue(kSettings, QStringLiteral("WalkThreads"),
                       QString::number(settings.WalkThreads));
    SaveSummarySettings(settings.Summary, store);
}

} // namespace quillon
