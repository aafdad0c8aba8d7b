#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace quillon;

TEST(SettingsStore, LivesUnderTheConfigHomeAndKeepsStrings)
{
    SettingsStore store;
    EXPECT_TRUE(store.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
    EXPECT_TRUE(store.fileName().endsWith("Tessaly/Quillon.ini"));
    store.setValue("Settings", "ColSize", "45");
    EXPECT_TRUE(store.sync());
    SettingsStore again;
    EXPECT_EQ(again.value("Settings", "ColSize"), "45");
    EXPECT_EQ(again.value("Settings", "Missing", "dflt"), "dflt");
}

TEST(SettingsStore, NumberedValuesComeInNumericOrder)
{
    SettingsStore store;
    QStringList values;
    for (int i = 1; i <= 11; ++i)
        values << QStringLiteral(".t%1;Type %1").arg(i);
    store.setNumberedValues("File Types", values);
    store.sync();
    EXPECT_TRUE(store.hasSection("File Types"));
    EXPECT_EQ(SettingsStore().numberedValues("File Types"), values) << "10 and 11 after 9";
    store.removeSection("File Types");
    EXPECT_FALSE(store.hasSection("File Types"));
}

TEST(SettingsStore, ValuesThatAreNotNumbersFallBack)
{
    SettingsStore store;
    store.setValue("WindowSize", "Width", "wide");
    EXPECT_EQ(store.intValue("WindowSize", "Width", 9000), 9000);
    store.setValue("WindowSize", "Width", " 12000 ");
    EXPECT_EQ(store.intValue("WindowSize", "Width", 9000), 12000);
}

TEST(ProgramFolder, IsUnderTheDataHomeAndJoinsOneSeparator)
{
    const QString folder = ProgramFolder();
    EXPECT_TRUE(folder.startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
    EXPECT_TRUE(folder.endsWith("Tessaly/Quillon"));
    EXPECT_TRUE(QDir(folder).exists());
    EXPECT_EQ(ProgramFile("exclusion.lst"), folder + "/exclusion.lst");
    EXPECT_EQ(JoinPath("/", "tmpfile.dmp"), "/tmpfile.dmp");
}
