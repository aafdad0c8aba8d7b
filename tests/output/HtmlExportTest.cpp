#include "output/HtmlExport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;

namespace {

QByteArray Line(const char* staging, bool header = false, bool closing = false)
{
    const auto html = HtmlLineFor(QByteArrayView(staging), header, closing);
    return html ? *html : QByteArray("<dropped>");
}

const QByteArray kHeader = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Courier New;}}\\par ";
const QByteArray kClosing = " \\par\\par\\par}";

QList<QByteArray> ReadLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().split('\n');
}

} // namespace

TEST(HtmlText, UndoesEscapingAndKeepsBlankRuns)
{
    EXPECT_EQ(HtmlText("/data\\\\x a\\}b\\{c"), "/data\\x&nbsp;a}b{c");
    EXPECT_EQ(HtmlText("\\\\\\}"), "\\}"); // an escaped backslash before an escaped brace
    EXPECT_EQ(HtmlText("R&D  &lt;"), "R&amp;D&nbsp;&nbsp;&amp;lt;");
    EXPECT_EQ(HtmlText("end\\"), "end\\");
}

TEST(HtmlLine, EachLineShapeOfTheLayouts)
{
    EXPECT_EQ(Line("----- x"), "-----&nbsp;x<br>");
    EXPECT_EQ(Line("--------\\par\\par"), "--------<br><br>");
    EXPECT_EQ(Line("\\par\\b Total Summary: \\b0"), "<br><b>Total Summary:</b><br>");
    EXPECT_EQ(Line("\\b\\par Directory of /d \\par\\b0"),
              "<div class='dir'>Directory&nbsp;of&nbsp;/d&nbsp;</div>");
    EXPECT_EQ(Line("\\b\\par"), "<div class='dir'></div>"); // negative length: empty
    EXPECT_EQ(Line("\\par - tail"), "-&nbsp;tail<br>");
    EXPECT_EQ(Line("\\par 2 folder(s) found \\par "), "2&nbsp;folder(s)&nbsp;found&nbsp;<br>");
    EXPECT_EQ(Line("\\par "), "<br>");
    EXPECT_EQ(Line("|  |-- Sub\\par "), "|&nbsp;&nbsp;|--&nbsp;Sub<br>");
    EXPECT_EQ(Line(""), "<dropped>"); // a source line break, not a report line
    // folder list lines end in "\par" without a blank: the path keeps its last character
    EXPECT_EQ(Line("/data/sub\\par"), "/data/sub<br>");
    EXPECT_EQ(Line("/data/x"), "/data/x<br>");
}

TEST(HtmlLine, OnlyTheDocumentFrameIsDropped)
{
    EXPECT_EQ(Line(kHeader, true, false), "<dropped>");
    EXPECT_EQ(Line(kClosing, false, true), "<dropped>");
    EXPECT_EQ(Line(" \\par \\par \\par }", false, true), "<dropped>");
    EXPECT_EQ(Line("|-- a\\}b.txt\\par "), "|--&nbsp;a}b.txt<br>");
    EXPECT_EQ(Line("/data/x\\}\\par", false, true), "/data/x}<br>");
    EXPECT_EQ(Line("|-- \\{x\\}\\par ", true, false), "|--&nbsp;{x}<br>");
}

TEST(HtmlHeader, TenLinesAndACraftedFontCannotAddMarkup)
{
    const QList<QByteArray> lines = HtmlPageHeader("Courier New", "10.5");
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines[0], "<html><head><title>Quillon - https://quillon.tessaly.net</title>");
    EXPECT_EQ(lines[3], ".dir  { font-family: Courier New; font-size: 10.5pt; font-weight: bold }");
    EXPECT_EQ(lines[8], "<b><font size= 5 >Quillon</font><br>");
    EXPECT_EQ(lines[9], "<a href=\"https://quillon.tessaly.net\">https://quillon.tessaly.net"
                        "</a></b><hr><br>");

    EXPECT_EQ(HtmlPageHeader("X; } </style><script>&", "9\"}")[5],
              ".file { font-family: X  /stylescript&amp;; font-size: 9pt }");
    EXPECT_EQ(HtmlPageHeader("Caf\u00e9 \u5b8b", "10")[5],
              ".file { font-family: Caf\xE9 \\5B8B ; font-size: 10pt }");
}

TEST(HtmlExport, WritesThePageCancelsAndReportsFailures)
{
    QTemporaryDir dir;
    const QString staging = dir.filePath("tmpfile.dmp");
    const QString page = dir.filePath("page.htm");
    {
        QFile file(staging);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kHeader + "\r\n|-- a\\}b.txt\\par \r\n");
        for (int i = 0; i < 50; ++i)
            file.write("|-- f" + QByteArray::number(i) + "\\par \r\n");
        file.write(kClosing + "\r\n");
    }
    HtmlExport exporter(staging, page);
    ASSERT_TRUE(exporter.run()) << exporter.errorString().toStdString();
    QList<QByteArray> lines = ReadLines(page);
    ASSERT_EQ(lines.size(),
              10 + 51 + 1); // header, one per report line, nothing after the last CR LF
    EXPECT_EQ(lines[10], "|--&nbsp;a}b.txt<br>\r");
    EXPECT_EQ(lines[60], "|--&nbsp;f49<br>\r");

    // Cancel after a few lines: header and those lines; progress starts at 1, stops at maximum.
    std::vector<int> values;
    exporter.setProgress([&](int value, int) { values.push_back(value); }, 3);
    exporter.setYield([&] {
        if (values.size() == 4)
            exporter.cancel();
    });
    ASSERT_TRUE(exporter.run());
    EXPECT_EQ(values, (std::vector<int>{1, 2, 3, 3, 3}));
    lines = ReadLines(page);
    ASSERT_EQ(lines.size(), 13);
    EXPECT_EQ(lines[11], "|--&nbsp;f0<br>\r");

    // Failures say why and leave the last page whole.
    EXPECT_FALSE(HtmlExport(dir.filePath("none.dmp"), page).run());
    HtmlExport noFolder(staging, dir.filePath("no/page.htm"));
    EXPECT_FALSE(noFolder.run());
    EXPECT_TRUE(noFolder.errorString().contains("no/page.htm"));
    if (geteuid() != 0) {
        ::chmod(QFile::encodeName(dir.path()).constData(), 0500);
        EXPECT_FALSE(HtmlExport(staging, page).run());
        ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    }
    EXPECT_EQ(ReadLines(page).size(), 13);
}

TEST(HtmlText, UnicodeReportsDecodeEscapesAndCodePageBytesToUtf8)
{
    EXPECT_EQ(HtmlText("\\u26085?\\u26412? \\u-10179?\\u-8704?\xBB", true),
              "\xE6\x97\xA5\xE6\x9C\xAC&nbsp;\xF0\x9F\x98\x80\xC2\xBB");
    EXPECT_EQ(HtmlText("\\u60?b\\u62?\\u38?", true), "&lt;b&gt;&amp;");
    // An escaped backslash before "u12" is a name's own text.
    EXPECT_EQ(HtmlText("\\\\u12", true), "\\u12");
    EXPECT_EQ(HtmlText("\\u233?", false), "\\u233?"); // a code-page report is left as it was

    QTemporaryDir dir;
    for (const auto& [text, unicode] :
         {std::pair{QByteArray("a\\\\u12 \\par"), false}, std::pair{QByteArray("\\u233?"), true}}) {
        QFile staging(dir.filePath("s"));
        ASSERT_TRUE(staging.open(QIODevice::WriteOnly | QIODevice::Truncate));
        staging.write("{\\rtf1\\ansi\r\n" + text + "\r\n}\r\n");
        staging.close();
        ASSERT_TRUE(staging.open(QIODevice::ReadOnly));
        EXPECT_EQ(StagingHoldsUnicode(staging), unicode) << text.constData();
    }
    EXPECT_TRUE(HtmlPageHeader("Caf\u00e9", "10", true)[0].startsWith(
        "<html><head><meta charset=\"utf-8\"><title>"));
}
