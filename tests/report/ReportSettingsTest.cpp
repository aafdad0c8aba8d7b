#include "report/ReportSettings.h"
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

using namespace quillon;

namespace {

class ReportSettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_store.removeSection("Settings");
        m_store.removeSection("Fields");
    }
    SettingsStore m_store;
};

} // namespace

TEST_F(ReportSettingsStore, FirstRunGivesTheDefaults)
{
    const ReportSettings s = LoadReportSettings(m_store);
    EXPECT_EQ(s, ReportSettings());
    EXPECT_TRUE(s.FullPath && s.IncludeFolderTitle && s.IncludeSeparator && s.IncludeFolderSum);
    EXPECT_FALSE(s.IncludeFullSum || s.ListInUpper || s.ListInLower);
    EXPECT_EQ(s.ColSize, "40");
    EXPECT_EQ(s.ShowSizeIn, "KB");
    EXPECT_TRUE(s.Fields[DetailColumn::Filename] && s.Fields[DetailColumn::Size] &&
                s.Fields[DetailColumn::Date]);
    EXPECT_FALSE(s.Fields[DetailColumn::Time] || s.Fields[DetailColumn::Attribute] ||
                 s.Fields[DetailColumn::Version] || s.Fields[DetailColumn::Owner] ||
                 s.Fields[DetailColumn::CRC32] || s.Fields[DetailColumn::Title] ||
                 s.Fields[DetailColumn::Artist] || s.Fields[DetailColumn::Album] ||
                 s.Fields[DetailColumn::Year] || s.Fields[DetailColumn::Genre] ||
                 s.Fields[DetailColumn::Comment] || s.RemoveBlankSpaces);
}

TEST_F(ReportSettingsStore, SavedValuesComeBackAsStoredTexts)
{
    ReportSettings s;
    s.FullPath = false;
    s.ListInUpper = true;
    s.IncludeFullSum = true;
    s.ColSize = "65";
    s.ShowSizeIn = "Bytes";
    s.Fields[DetailColumn::Date] = false;
    s.Fields[DetailColumn::CRC32] = true;
    s.RemoveBlankSpaces = true;
    SaveReportSettings(s, m_store);
    ASSERT_TRUE(m_store.sync());

    SettingsStore fresh;
    EXPECT_EQ(LoadReportSettings(fresh), s);
    EXPECT_EQ(fresh.value("Settings", "FullPath"), "0");
    EXPECT_EQ(fresh.value("Settings", "ListInUpper"), "1");
    EXPECT_EQ(fresh.value("Fields", "CRC32"), "1");
    EXPECT_EQ(fresh.value("Fields", "Filename"), "1") << "all 24 values are written";
    EXPECT_EQ(fresh.value("Fields", "Comment"), "0");
}

TEST_F(ReportSettingsStore, UnusableValuesFallBackToTheirDefaults)
{
    m_store.setValue("Settings", "FullPath", "yes");
    m_store.setValue("Settings", "IncludeFullSum", "1.5");
    m_store.setValue("Settings", "ListInUpper", "7");
    m_store.setValue("Settings", "IncludeSeparator", " 0 ");
    m_store.setValue("Fields", "Date", "");
    m_store.setValue("Settings", "ColSize", "3");
    EXPECT_TRUE(LoadReportSettings(m_store).FullPath);
    EXPECT_FALSE(LoadReportSettings(m_store).IncludeFullSum);
    EXPECT_FALSE(LoadReportSettings(m_store).ListInUpper);
    EXPECT_FALSE(LoadReportSettings(m_store).IncludeSeparator) << "a padded 0 is still 0";
    EXPECT_TRUE(LoadReportSettings(m_store).Fields[DetailColumn::Date]);

    for (const char* bad : {"3", "forty", "40.5", "", "-40", "99999999999"}) {
        m_store.setValue("Settings", "ColSize", bad);
        const ReportSettings s = LoadReportSettings(m_store);
        EXPECT_EQ(s.ColSize, "40") << bad;
        EXPECT_EQ(s.columnSize(), 40) << bad;
    }
    m_store.setValue("Settings", "ColSize", "4");
    EXPECT_EQ(LoadReportSettings(m_store).columnSize(), 4);
}

TEST_F(ReportSettingsStore, WhatIsBigHereSwitchesKeepTheirStoredNamesAndStartOff)
{
    const ReportSettings defaults = LoadReportSettings(m_store);
    EXPECT_FALSE(defaults.FolderTotals || defaults.SortFoldersByTotal || defaults.IncludeHidden ||
                 defaults.OneFileSystem || defaults.CountHardLinksOnce || defaults.SizeOnDisk);

    ReportSettings s;
    s.FolderTotals = s.IncludeHidden = s.CountHardLinksOnce = true;
    SaveReportSettings(s, m_store);
    m_store.setValue("Settings", "OneFileSystem", "2"); // damage: stays off
    ASSERT_TRUE(m_store.sync());
    SettingsStore fresh;
    const ReportSettings back = LoadReportSettings(fresh);
    EXPECT_EQ(back, s);
    for (const char* key : {"FolderTotals", "IncludeHidden", "CountHardLinksOnce"})
        EXPECT_EQ(fresh.value("Settings", key), "1") << key;
    for (const char* key : {"SortFoldersByTotal", "SizeOnDisk"})
        EXPECT_EQ(fresh.value("Settings", key), "0") << key;
    const ScanOptions options = ScanOptionsOf(back);
    EXPECT_TRUE(options.includeHidden);
    EXPECT_FALSE(options.oneFileSystem);
}
