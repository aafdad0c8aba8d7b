#include "details/Mp3Tag.h"
#include "support/FixtureTree.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;

namespace {

std::string Field(const std::string& value, std::size_t width)
{
    std::string field = value.substr(0, width);
    field.resize(width, '\0');
    return field;
}

std::string Trailer(const std::string& title, const std::string& artist, unsigned char genre,
                    const std::string& year = "1999", const std::string& comment = "")
{
    return "TAG" + Field(title, 30) + Field(artist, 30) + Field("Album", 30) + Field(year, 4) +
           Field(comment, 30) + std::string(1, static_cast<char>(genre));
}

} // namespace

TEST(Mp3Tag, GenreTable)
{
    ASSERT_EQ(GenreNames().size(), 148u);
    EXPECT_EQ(GenreName(0), "Blues");
    EXPECT_EQ(GenreName(17), "Rock");
    EXPECT_EQ(GenreName(67), "Phychedelic");
    EXPECT_EQ(GenreName(90), "Avantegarde");
    EXPECT_EQ(GenreName(140), "Comteporary Christian");
    EXPECT_EQ(GenreName(147), "Synth Pop");
    EXPECT_EQ(GenreName(148), "");
    EXPECT_EQ(GenreName(255), "");
}

TEST(Mp3Tag, FieldsAreCutAtNulAndPaddedToWidth)
{
    const std::string full30 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
    Mp3Tag tag = ParseMp3Trailer(Trailer(full30, "Band", 17, std::string("19\0x", 4)));
    ASSERT_TRUE(tag.found);
    EXPECT_EQ(tag.title, full30);
    EXPECT_EQ(tag.artist, "Band" + std::string(26, ' '));
    EXPECT_EQ(tag.album, "Album" + std::string(25, ' '));
    EXPECT_EQ(tag.year, "19  ") << "the bytes after the NUL are blanked";
    EXPECT_EQ(tag.comment, std::string(30, ' '));
    EXPECT_EQ(tag.genre, 17);
    EXPECT_EQ(tag.genreName, "Rock");

    EXPECT_EQ(ParseMp3Trailer(Trailer("x", "y", 147)).genreName, "Synth Pop");
    EXPECT_EQ(ParseMp3Trailer(Trailer("x", "y", 255)).genreName, "");

    // ID3v1.1 track number after a NUL in the comment is cut away with it.
    std::string comment = Field("Nice", 28) + std::string("\0\x07", 2);
    EXPECT_EQ(ParseMp3Trailer(Trailer("x", "y", 1, "2001", comment)).comment,
              "Nice" + std::string(26, ' '));
}

TEST(Mp3Tag, BytesAreWindows1252)
{
    // 0xE9 e-acute, 0x80 euro sign, 0x9F Y-diaeresis, 0x81 unassigned.
    const Mp3Tag tag = ParseMp3Trailer(Trailer("Caf\xE9 \x80\x9F\x81", "", 0));
    EXPECT_EQ(tag.title, "Caf\u00e9 \u20ac\u0178\u0081" + std::string(22, ' '));
}

TEST(Mp3Tag, ReadsTheTrailerOfAnyFile)
{
    FixtureTree tree;
    const std::string trailer = Trailer("Song", "Band", 17);
    tree.file("song.dat", std::string(1000, '\xFF') + trailer);
    tree.file("exact.mp3", trailer);
    tree.file(".hidden.mp3", std::string(10, 'x') + trailer);
    tree.file("short.mp3", std::string(100, 'x'));
    tree.file("untagged.mp3", std::string(500, 'x'));
    tree.folder("folder.mp3");

    const Mp3Tag song = ReadMp3Tag(tree.path("song.dat"));
    EXPECT_TRUE(song.found);
    EXPECT_EQ(song.title, "Song" + std::string(26, ' '));
    EXPECT_EQ(song.genreName, "Rock");
    EXPECT_TRUE(ReadMp3Tag(tree.path("exact.mp3")).found);

    const Mp3Tag blank;
    EXPECT_EQ(blank.title, std::string(30, ' '));
    EXPECT_EQ(blank.year, "    ");
    for (const char* name : {".hidden.mp3", "short.mp3", "untagged.mp3", "folder.mp3", "gone.mp3"})
        EXPECT_EQ(ReadMp3Tag(tree.path(name)), blank) << name;
}
