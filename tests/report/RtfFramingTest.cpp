#include "report/RtfFraming.h"
#include "platform/CommandError.h"

#include <gtest/gtest.h>

using namespace quillon;

namespace {

ReportSettings caseOption(bool upper, bool lower)
{
    ReportSettings settings;
    settings.ListInUpper = upper;
    settings.ListInLower = lower;
    return settings;
}

std::string escaped(std::string_view text)
{
    return RtfSafeText(text, ReportSettings());
}

} // namespace

TEST(RtfHeader, IsByteExactForCourierNewTenBlack)
{
    EXPECT_EQ(RtfHeader(ReportFont{}),
              "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fmodern\\fprq1"
              "\\fcharset0 Courier New;}{\\f1\\fswiss\\fcharset0 Arial;}}{\\colortbl;\\red0"
              "\\green0\\blue0;}\\viewkind4\\uc1\\pard\\li180\\cf1\\f0\\fs20\\par ");
}

TEST(RtfHeader, SizeAndColourComeFromTheFont)
{
    ReportFont font;
    font.sizeText = "10.5";
    EXPECT_NE(RtfHeader(font).find("\\fs21\\par "), std::string::npos);
    font.sizeText = " 8 ";
    EXPECT_NE(RtfHeader(font).find("\\fs16\\par "), std::string::npos);
    font.colour = 0x00FF8040; // 0x00BBGGRR
    EXPECT_NE(RtfHeader(font).find("{\\colortbl;\\red64\\green128\\blue255;}"), std::string::npos);
}

TEST(RtfHeader, RejectsSizesThatAreNotNumbers)
{
    ReportFont font;
    for (const char* bad : {"", "ten", "10pt", "nan", "inf"}) {
        font.sizeText = bad;
        try {
            RtfHeader(font);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const CommandError& e) {
            EXPECT_EQ(e.number(), 13) << bad;
            EXPECT_EQ(e.description(), "Type mismatch");
        }
    }
    font.sizeText = "0";
    EXPECT_THROW(RtfHeader(font), CommandError);
}

TEST(RtfHeader, FontNameCannotInjectMarkup)
{
    ReportFont font;
    font.name = "Evil;}}{\\rtf1 \"<b>'";
    const std::string header = RtfHeader(font);
    EXPECT_NE(header.find("\\fcharset0 Evilrtf1 b;}"), std::string::npos) << header;
    EXPECT_EQ(SafeFontName("A{}\\;<>\"'\tB"), "AB");

    // Written in Windows-1252: what the code page lacks becomes "?".
    font.name = QString::fromUtf8("Caf\u00e9 \u20ac \u4e2d");
    EXPECT_NE(RtfHeader(font).find("Caf\xe9 \x80 ?;}"), std::string::npos);
}

TEST(RtfSafeText, EscapesControlSignsAndBlanksTheRest)
{
    EXPECT_EQ(escaped("{a}\\b"), "\\{a\\}\\\\b");
    EXPECT_EQ(escaped("Caf\xc3\xa9 Menu.txt"), "Caf  Menu.txt");
    EXPECT_EQ(escaped("two\twords"), "two words");
    EXPECT_EQ(escaped("a*b?c^d`e\"f<g>h\ni"), "a b c d e f g h i");
    EXPECT_EQ(escaped(""), "");
    const std::string kept = "AZaz09 :/,.-_()#~!+'&;=[]@%$|";
    EXPECT_EQ(escaped(kept), kept);
    // The two Latin signs stay, as single bytes.
    EXPECT_EQ(escaped("a\xc2\xbb"
                      "b\xc2\xb8"),
              "a\xbb"
              "b\xb8");
    // Invalid bytes count one character each; a four-byte character is one blank.
    EXPECT_EQ(escaped("x\xff\xfey"), "x  y");
    EXPECT_EQ(escaped("\xf0\x9f\x98\x80!"), " !");
    // A letter whose upper case is ASCII is still no ASCII letter.
    EXPECT_EQ(escaped("\xc4\xb1"), " ");
}

TEST(RtfSafeText, AppliesTheCaseOptionAfterEscaping)
{
    EXPECT_EQ(RtfSafeText("Readme.txt", caseOption(true, false)), "README.TXT");
    EXPECT_EQ(RtfSafeText("C:\\Data", caseOption(false, true)), "c:\\\\data");
    EXPECT_EQ(RtfSafeText("MiXed", caseOption(true, true)), "mixed") << "lower case wins";
    EXPECT_EQ(RtfSafeText(QStringLiteral("Ab\u00bb"), caseOption(true, false)), "AB\xbb");
}

TEST(FillerText, DashLineAndTreeIndent)
{
    EXPECT_EQ(DashLine(0), "");
    EXPECT_EQ(DashLine(-3), "");
    EXPECT_EQ(DashLine(5), "-----");
    EXPECT_EQ(TreeIndent(1), "");
    EXPECT_EQ(TreeIndent(-7), "");
    EXPECT_EQ(TreeIndent(3), "|  |  ");
    EXPECT_EQ(TreeIndent(41).size(), 120u);
}

TEST(RtfSafeText, KeepAllCharactersWritesWhatTheSafeSetLacksAsUnicodeEscapes)
{
    ReportSettings keep;
    keep.KeepAllCharacters = true;
    // Kept signs as they are, braces escaped, others (ASCII too) as \u with "?", an emoji as
    // a surrogate pair; control characters and invalid bytes still blank.
    EXPECT_EQ(RtfSafeText("a{b}\\c \xC3\xA9\"<\xE6\x97\xA5\xF0\x9F\x98\x80\t\xFF\xC2\xBB", keep),
              "a\\{b\\}\\\\c \\u233?\\u34?\\u60?\\u26085?\\u-10179?\\u-8704?  \xBB");
    keep.ListInUpper = true;
    EXPECT_EQ(RtfSafeText("caf\xC3\xA9", keep), "CAF\\u201?");
    keep.ListInUpper = false;
    keep.ListInLower = true;
    EXPECT_EQ(RtfSafeText("\xC3\x89T\xC3\x89", keep), "\\u233?t\\u233?");
}
