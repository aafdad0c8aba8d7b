#include "platform/Cp1252.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(Cp1252, DecodesTheWindowsRangeAndLatin1)
{
    EXPECT_EQ(Cp1252ToUnicode(0x80), u'\u20AC');
    EXPECT_EQ(Cp1252ToUnicode(0x92), u'\u2019');
    EXPECT_EQ(Cp1252ToUnicode(0x9F), u'\u0178');
    EXPECT_EQ(Cp1252ToUnicode(0xE9), u'\u00E9');
    EXPECT_EQ(Cp1252ToUnicode(0x81), u'\u0081') << "undefined bytes keep their number";
    EXPECT_EQ(DecodeCp1252("Caf\xE9 \x80"), QString::fromUtf8("Café €"));
}

TEST(Cp1252, EveryByteEncodesBackToItself)
{
    for (int byte = 0; byte < 256; ++byte)
        EXPECT_EQ(UnicodeToCp1252(Cp1252ToUnicode(static_cast<unsigned char>(byte))), byte);
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeTheReplacement)
{
    EXPECT_EQ(UnicodeToCp1252(0x0080), -1) << "0x80 is the euro sign, not U+0080";
    EXPECT_EQ(UnicodeToCp1252(0x4E2D), -1);
    EXPECT_EQ(EncodeCp1252(QString::fromUtf8("é中€")), QByteArray("\xE9?\x80"));
    EXPECT_EQ(EncodeCp1252(QString::fromUtf8("a😀b")), QByteArray("a?b"))
        << "a surrogate pair is one character";
}
