#include "platform/PathRules.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(PathRules, DepthBelowTheMatchingLocation)
{
    const std::vector<std::string> data{"/data"};
    EXPECT_EQ(PathDepth("/data/Sub", data), 1);
    EXPECT_EQ(PathDepth("/data/Sub/Deep", data), 2);
    EXPECT_EQ(PathDepth("/DATA/Sub", data), 1) << "location is found without regard to case";
    EXPECT_EQ(PathDepth("/Sub", {"/"}), 1) << "the root counts no separator";
    EXPECT_EQ(PathDepth("/a/b/c", {}), 3) << "no location: own count";
    EXPECT_EQ(PathDepth("/x/y", {"/other", "/x"}), 1) << "first matching row wins";
}

TEST(PathRules, CountSeparatorsFollowsTheLevelRule)
{
    EXPECT_EQ(CountSeparators("/data/music"), 2);
    EXPECT_EQ(CountSeparators("/"), 1);
    EXPECT_EQ(CountSeparators("/data/"), 2);
    EXPECT_EQ(CountSeparators("//server/share/dir"), 3);
    EXPECT_EQ(CountSeparators(""), 0);
}

// The rule as first written: a search restarted at every position after the last separator.
static int CountSeparatorsAsWritten(std::string_view text)
{
    int count = 0;
    std::size_t q = 1;
    do {
        const auto p = text.find('/', q - 1);
        if (p != std::string_view::npos) {
            ++count;
            q = p + 2;
        }
        ++q;
    } while (q < text.size());
    return count;
}

TEST(PathRules, CountSeparatorsInOnePassGivesTheWrittenCounts)
{
    // Every text of up to 9 characters over "/" and "a": ends, doubled and lone separators.
    for (int length = 0; length <= 9; ++length) {
        for (int bits = 0; bits < (1 << length); ++bits) {
            std::string text;
            for (int i = 0; i < length; ++i)
                text.push_back((bits >> i) & 1 ? '/' : 'a');
            ASSERT_EQ(CountSeparators(text), CountSeparatorsAsWritten(text)) << text;
        }
    }
    // A long location without a separator was a search per character.
    EXPECT_EQ(CountSeparators(std::string(1'000'000, 'a')), 0);
}

TEST(PathRules, TrailingSlashAndComponents)
{
    EXPECT_EQ(WithTrailingSlash("/data"), "/data/");
    EXPECT_EQ(WithTrailingSlash("/"), "/");
    EXPECT_EQ(WithoutTrailingSlash("/data/"), "/data");
    EXPECT_EQ(WithoutTrailingSlash("/"), "/");
    EXPECT_EQ(LastComponent("/data/Music"), "Music");
    EXPECT_EQ(LastComponent("/"), "");
    EXPECT_EQ(TrimAtNul(std::string_view("ab\0cd", 5)), "ab");
    EXPECT_EQ(TrimAtNul(std::string_view("\0cd", 3)), "");
}

TEST(Utf8, InvalidBytesCountAsOneCharacterEach)
{
    EXPECT_EQ(Utf8Length("Caf\xC3\xA9"), 4u);
    EXPECT_EQ(Utf8Length("a\xFF\xFE"
                         "b"),
              4u);
    EXPECT_EQ(Utf8Length("\xE2\x82"), 2u) << "truncated sequence";
    // Long ASCII runs are counted eight bytes at a time: any other byte at any place within
    // them still counts as decoded.
    for (const std::string odd : {"\xC3\xA9", "\xFF", "\xE2\x82", "\xF0\x9F\x8E\xB5"}) {
        for (std::size_t at = 0; at < 17; ++at) {
            const std::string text = std::string(at, 'a') + odd + std::string(20, 'b');
            EXPECT_EQ(Utf8Length(text), at + Utf8Length(odd) + 20) << at;
            EXPECT_EQ(Utf8Left(text, at + 1),
                      std::string(at, 'a') + odd.substr(0, odd == "\xE2\x82" ? 1 : odd.size()));
        }
    }
    EXPECT_EQ(Utf8Left("Caf\xC3\xA9 Menu", 4), "Caf\xC3\xA9");
    EXPECT_EQ(DecodeUtf8At("\xC0\x80", 0).codePoint, kInvalidCodePoint) << "overlong";
    std::string out;
    AppendUtf8(out, 0x1F600);
    EXPECT_EQ(DecodeUtf8At(out, 0).codePoint, 0x1F600u);
}

TEST(Utf8, JsonPlainRunEndsAtTheFirstByteThatNeedsCare)
{
    // Read eight bytes at a time: a stop at each place within a word, with another after it.
    for (const char stop : {'"', '\\', '\n', '\x1f', '\0', '\xC3'}) {
        for (std::size_t at = 0; at < 20; ++at) {
            std::string text(24, 'a');
            text[at] = stop;
            text[at + 3] = '"';
            EXPECT_EQ(JsonPlainLength(text, true), at) << int(stop) << " at " << at;
            EXPECT_EQ(JsonPlainLength(text, false), stop == '\xC3' ? at + 3 : at);
        }
    }
    // Bytes next to the stops in value, and the high ones of them, go on.
    const std::string plain = " !#[]~\x7f"
                              "0123456789";
    EXPECT_EQ(JsonPlainLength(plain, true), plain.size());
    const std::string high = "\xA2\xDC\xA0\x80\xFF\xC3\xA9 caf\xC3\xA9 \xE2\x82\xAC";
    EXPECT_EQ(JsonPlainLength(high, false), high.size());
    EXPECT_EQ(JsonPlainLength(high, true), 0u);
}
