#include "output/SaveFormat.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(SaveFormat, MarksDecideInTextRichHtmlOrderIgnoringCase)
{
    EXPECT_EQ(SaveFormatForPath("/home/u/Report.TXT"), SaveFormat::PlainText);
    EXPECT_EQ(SaveFormatForPath("/home/u/list.rtf"), SaveFormat::RichText);
    EXPECT_EQ(SaveFormatForPath("/home/u/notes.rtf.txt"), SaveFormat::PlainText);
    EXPECT_EQ(SaveFormatForPath("/home/u/archive.txt.htm"), SaveFormat::PlainText);
    EXPECT_EQ(SaveFormatForPath("/home/u/page.html"), SaveFormat::Html);
    EXPECT_EQ(SaveFormatForPath("/home/u/page.HTM"), SaveFormat::Html);
}

TEST(SaveFormat, NameWithoutMarkIsNone)
{
    EXPECT_EQ(SaveFormatForPath("/home/u/list.doc"), SaveFormat::None);
    EXPECT_EQ(SaveFormatForPath(""), SaveFormat::None);
    EXPECT_EQ(SaveFormatForPath("/home/u/txt"), SaveFormat::None);
}

TEST(SaveFormat, FoldersNeverDecide)
{
    EXPECT_EQ(SaveFormatForPath("/backup.txt.d/report.rtf"), SaveFormat::RichText);
    EXPECT_EQ(SaveFormatForPath("/a.rtf/b.htm/page.html"), SaveFormat::Html);
    EXPECT_EQ(SaveFormatForPath("/site.htm/list.doc"), SaveFormat::None);
    EXPECT_EQ(SaveFormatForPath("/x.txt/"), SaveFormat::None);
}
