#include "platform/SettingsStore.h"
#include "platform/PlainIniFormat.h"
#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <sys/stat.h>

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

namespace {

void WriteSettingsFile(const QByteArray& text)
{
    const QString path = SettingsStore().fileName();
    QDir().mkpath(QFileInfo(path).path());
    QFile::remove(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

TEST(SettingsStore, EveryValueIsPlainTextAndNamesIgnoreCase)
{
    // QSettings' own reader built an image from this value and aborted without a GUI.
    WriteSettingsFile("[settings]\ncolsize=@Variant(\\0\\0\\0I)\nCrc32=1\nList=\"a, b\"\n"
                      "[Fields]\nSize=@@at\nQuoted=\"  x\\\\y\\\"z  \"\nHex=\\x41\\101\n");
    const SettingsStore store;
    EXPECT_TRUE(store.value("Settings", "ColSize").startsWith("@Variant(")) << "only text";
    EXPECT_EQ(store.intValue("Settings", "ColSize", 40), 40) << "falls back to its default";
    EXPECT_EQ(store.value("Settings", "CRC32"), "1") << "Crc32 and CRC32 are one switch";
    EXPECT_TRUE(store.hasSection("SETTINGS"));
    EXPECT_EQ(store.value("Settings", "List"), "a, b");
    EXPECT_EQ(store.value("fields", "size"), "@at");
    EXPECT_EQ(store.value("Fields", "Quoted"), "  x\\y\"z  ");
    EXPECT_EQ(store.value("Fields", "Hex"), "AA");
}

TEST(SettingsStore, ValuesComeBackAsWrittenAndOldFilesStillRead)
{
    const QStringList samples = {"", "plain", "@Variant(x)", "a, b; c = d", "  blanks  ",
                                 "back\\slash \"quote\"", "line\nbreak\ttab", "caf\u00e9 \u20ac",
                                 "\u0001"
                                 "abc",
                                 "#hash", "[section]",
                                 // found by fuzz_settings: an "@" inside quotes was doubled
                                 QString("@&at\u0001") + QChar(0) + "101\""};
    {
        SettingsStore store;
        for (int i = 0; i < samples.size(); ++i)
            store.setValue("File Types", QString::number(i + 1), samples[i]);
        ASSERT_TRUE(store.sync());
    }
    EXPECT_EQ(SettingsStore().numberedValues("File Types"), samples);
    // A file that Qt's own INI writer made (as earlier versions did) reads the same.
    const QString path = SettingsStore().fileName();
    QFile::remove(path);
    {
        QSettings qt(path, QSettings::IniFormat);
        for (int i = 0; i < samples.size(); ++i)
            qt.setValue(QStringLiteral("File Types/%1").arg(i + 1), samples[i]);
    }
    EXPECT_EQ(SettingsStore().numberedValues("File Types"), samples);
    SettingsStore().removeSection("File Types");

    // Found by fuzz_settings: a key named "\\" (a lone group separator) was written as "[]",
    // and a group named "General" merged with the keys outside any group.
    QSettings::SettingsMap map;
    ParsePlainIni("x\\=1\n\\=2\n[%General]\nk=3\n[General]\nk=4\n[a]\n\\b\\=5\n", map);
    const QSettings::SettingsMap expected = {
        {"x", "1"}, {"General/k", "3"}, {"k", "4"}, {"a/b", "5"}};
    EXPECT_EQ(map, expected);
    // ... and a character beyond the first plane was written as two "?"; a lone half of one has
    // no UTF-8 form at all.
    map.insert("pair", QString::fromUtf8("\xF3\x95\x95\x95 \xF0\x9F\x98\x80"));
    map.insert("half", QString(QChar(0xD800)) + "a" + QChar(0xDC00));
    QSettings::SettingsMap again;
    ParsePlainIni(PlainIniText(map), again);
    EXPECT_EQ(again, map);
}

TEST(SettingsStore, AFifoInTheFilesPlaceIsNeitherReadNorReplaced)
{
    const QString path = SettingsStore().fileName();
    QFile::remove(path);
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    {
        SettingsStore store; // would wait for a writer for ever if it opened the FIFO
        EXPECT_EQ(store.value("Settings", "ColSize", "dflt"), "dflt");
        store.setValue("Settings", "ColSize", "45");
        EXPECT_FALSE(store.sync());
        EXPECT_TRUE(store.errorString().contains("not a regular file"));
    }
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    QFile::remove(path);
}
