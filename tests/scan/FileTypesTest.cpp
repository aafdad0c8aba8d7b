#include "scan/FileTypes.h"
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

using namespace quillon;

namespace {

class FileTypesStore : public ::testing::Test {
protected:
    void SetUp() override { SettingsStore().removeSection("File Types"); }
    void TearDown() override { SettingsStore().removeSection("File Types"); }
};

} // namespace

TEST_F(FileTypesStore, FreshSystemOffersTheTenDefaultsWithoutStoringThem)
{
    SettingsStore store;
    FileTypeList types;
    EXPECT_FALSE(LoadFileTypes(store, types));
    const FileTypeList defaults = LoadDefaultFileTypes();
    QStringList extensions;
    for (const FileType& type : defaults)
        extensions << type.extension;
    EXPECT_EQ(extensions.join(" "), ".mp3 .wma .jpg .gif .exe .zip .mpg .wav .ra .avi");
    for (const FileType& type : defaults)
        EXPECT_FALSE(type.description.isEmpty()) << type.extension.toStdString();
    EXPECT_FALSE(store.hasSection("File Types"));
}

TEST_F(FileTypesStore, DeletingOneLeavesNineNumberedValues)
{
    SettingsStore store;
    FileTypeList types = LoadDefaultFileTypes();
    types.removeAt(2);
    ASSERT_TRUE(SaveFileTypes(store, types));
    const QStringList values = SettingsStore().numberedValues("File Types");
    ASSERT_EQ(values.size(), 9);
    EXPECT_TRUE(values[0].startsWith(".mp3;"));
    EXPECT_TRUE(values[2].startsWith(".gif;"));
    EXPECT_EQ(SettingsStore().value("File Types", "9").section(';', 0, 0), ".avi");

    FileTypeList back;
    EXPECT_TRUE(LoadFileTypes(SettingsStore(), back));
    EXPECT_EQ(back, types);
}

TEST_F(FileTypesStore, DescriptionIsCutAtSemicolonAndMissingOneIsEmpty)
{
    SettingsStore store;
    store.setValue("File Types", "1", ".MP3;Music; really");
    store.setValue("File Types", "2", ".raw");
    store.setValue("File Types", "10", ".ten;after nine");
    store.setValue("File Types", "3", ";no extension");
    FileTypeList types;
    ASSERT_TRUE(LoadFileTypes(store, types));
    EXPECT_EQ(types, (FileTypeList{{".MP3", "Music"}, {".raw", ""}, {".ten", "after nine"}}));
}

TEST_F(FileTypesStore, DeletingEveryTypeDoesNotBringTheDefaultsBack)
{
    SettingsStore store;
    ASSERT_TRUE(SaveFileTypes(store, {}));
    FileTypeList types{{".x", ""}};
    EXPECT_TRUE(LoadFileTypes(SettingsStore(), types));
    EXPECT_TRUE(types.isEmpty());
}

TEST(FileTypeName, KnownAndUnknownExtensions)
{
    EXPECT_FALSE(FileTypeName(".mp3").isEmpty());
    EXPECT_EQ(FileTypeName(".qqzz"), "QQZZ File");
    EXPECT_EQ(FileTypeName(""), "");
    EXPECT_LE(FileTypeName(".jpg").size(), 80);
}
