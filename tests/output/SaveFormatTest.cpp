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

// One rule for every command: the name's ending (.pdf, .csv, .json), else the first mark in
// it; what a command does not write is passed over, and its refusal names what it takes.
TEST(OutputKind, EachCommandAsksTheSameRuleOfItsOwnKinds)
{
    EXPECT_EQ(OutputKindForPath("/t/list.txt.csv", kReportOutputs), OutputKind::Csv);
    EXPECT_EQ(OutputKindForPath("/t/list.txt.csv", kSaveAsOutputs), OutputKind::PlainText);
    EXPECT_EQ(OutputKindForPath("/t/R.PDF", kReportOutputs), OutputKind::Pdf);
    EXPECT_EQ(OutputKindForPath("/t/r.pdf", kCompareOutputs), OutputKind::None);
    EXPECT_EQ(OutputKindForPath("/t/r.htm.pdf", kCompareOutputs), OutputKind::Html);
    EXPECT_EQ(OutputKindForPath("/t/r.json.bak", kReportOutputs), OutputKind::None);
    EXPECT_EQ(OutputKindForPath("/t/page.html", kReportOutputs), OutputKind::WebPage);
    EXPECT_EQ(OutputKindForPath("/t/page.HTML", kReportOutputs), OutputKind::WebPage);
    EXPECT_EQ(OutputKindForPath("/t/page.htm", kReportOutputs), OutputKind::Html);
    EXPECT_EQ(OutputKindForPath("/t/page.html.txt", kReportOutputs), OutputKind::PlainText);
    EXPECT_EQ(OutputKindForPath("/t/page.html", kCompareOutputs), OutputKind::Html);
    EXPECT_EQ(OutputKindForPath("/t/page.html", kSaveAsOutputs), OutputKind::Html);
    EXPECT_EQ(OutputKindForPath("/x.csv/r", kListingOutputs), OutputKind::None);

    EXPECT_EQ(OutputNameRefusal("r.doc", kCompareOutputs),
              "r.doc: the output name must end in \".csv\" or \".json\", or hold \".txt\", "
              "\".rtf\" or \".htm\"");
    EXPECT_EQ(OutputNameRefusal("r.doc", kListingOutputs),
              "r.doc: the output name must end in \".csv\" or \".json\"");
    EXPECT_EQ(OutputNameRefusal("r.doc", kSaveAsOutputs),
              "r.doc: the output name must hold \".txt\", \".rtf\" or \".htm\"");
}
