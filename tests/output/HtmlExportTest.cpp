#include "output/HtmlExport.h"

#include <QDir>
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

const char* kHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fmodern"
    "\\fprq1\\fcharset0 Courier New;}{\\f1\\fswiss\\fcharset0 Arial;}}{\\colortbl;"
    "\\red0\\green0\\blue0;}\\viewkind4\\uc1\\pard\\li180\\cf1\\f0\\fs20\\par ";

class HtmlExportFiles : public ::testing::Test {
protected:
    QString staging() const { return m_dir.filePath("tmpfile.dmp"); }
    QString page() const { return m_dir.filePath("page.htm"); }

    void writeStaging(const QList<QByteArray>& lines)
    {
        QFile file(staging());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (const QByteArray& line : lines)
            file.write(line + "\r\n");
    }
    QList<QByteArray> pageLines() const
    {
        QFile file(page());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray all = file.readAll();
        EXPECT_TRUE(all.endsWith("\r\n"));
        all.chop(2);
        return all.split('\n');
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST(HtmlText, UnescapesBackslashesAndBracesKeepsBlankRuns)
{
    EXPECT_EQ(HtmlText("C:\\\\Data"), "C:\\Data");
    EXPECT_EQ(HtmlText("/data/a\\}b\\{c"), "/data/a}b{c");
    EXPECT_EQ(HtmlText("\\\\\\}"), "\\}"); // an escaped backslash before an escaped brace
    EXPECT_EQ(HtmlText("a  b"), "a&nbsp;&nbsp;b");
    EXPECT_EQ(HtmlText("R&D &lt;x"), "R&amp;D&nbsp;&amp;lt;x");
    EXPECT_EQ(HtmlText("end\\"), "end\\");
    EXPECT_EQ(HtmlText("\xBB\xB8"), "\xBB\xB8"); // the two Latin-1 signs stay single bytes
}

TEST(HtmlLine, EachLineShapeOfTheLayouts)
{
    // separator lines
    EXPECT_EQ(Line("----- x"), "-----&nbsp;x<br>");
    EXPECT_EQ(Line("--------\\par\\par"), "--------<br><br>");
    EXPECT_EQ(Line("------- a\\par"), "-------&nbsp;a\\par<br>");
    // summary heading, folder title, dash line, paragraph lines
    EXPECT_EQ(Line("\\par\\b Total Summary: \\b0"), "<br><b>Total Summary:</b><br>");
    EXPECT_EQ(Line("\\b\\par Directory of /data/x \\par\\b0"),
              "<div class='dir'>Directory&nbsp;of&nbsp;/data/x&nbsp;</div>");
    EXPECT_EQ(Line("\\b\\par"), "<div class='dir'></div>");
    EXPECT_EQ(Line("\\par - tail"), "-&nbsp;tail<br>");
    EXPECT_EQ(Line("\\par 2 file(s) found in 2 folder(s) \\par "),
              "2&nbsp;file(s)&nbsp;found&nbsp;in&nbsp;2&nbsp;folder(s)&nbsp;<br>");
    EXPECT_EQ(Line("\\par "), "<br>");
    // tree lines
    EXPECT_EQ(Line("|  |-- Sub\\par "), "|&nbsp;&nbsp;|--&nbsp;Sub<br>");
    EXPECT_EQ(Line("|-- a.txt        1 KB \\par "),
              "|--&nbsp;a.txt&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;1&nbsp;KB&nbsp;<br>");
    EXPECT_EQ(Line("Total file size 1.21 KB \\par "),
              "Total&nbsp;file&nbsp;size&nbsp;1.21&nbsp;KB&nbsp;<br>");
    EXPECT_EQ(Line(""), "<br>");
}

TEST(HtmlLine, FolderListLinesLoseExactlyTheirParagraphMark)
{
    EXPECT_EQ(Line("/data/sub\\par"), "/data/sub<br>");
    EXPECT_EQ(Line("/\\par"), "/<br>");
    EXPECT_EQ(Line("/data/x"), "/data/x<br>"); // no mark: nothing of the path is cut
}

TEST(HtmlLine, OnlyTheDocumentFrameIsDropped)
{
    EXPECT_EQ(Line(kHeader, true, false), "<dropped>");
    EXPECT_EQ(Line(" \\par\\par\\par}", false, true), "<dropped>");
    EXPECT_EQ(Line(" \\par \\par \\par }", false, true), "<dropped>");
    // names holding braces keep their lines, wherever they stand
    EXPECT_EQ(Line("|-- a\\}b.txt\\par "), "|--&nbsp;a}b.txt<br>");
    EXPECT_EQ(Line("|-- a\\}b.txt\\par ", false, true), "|--&nbsp;a}b.txt<br>");
    EXPECT_EQ(Line("/data/x\\}\\par", false, true), "/data/x}<br>");
    EXPECT_EQ(Line("|-- \\{x\\}\\par ", true, false), "|--&nbsp;{x}<br>");
}

TEST(HtmlHeader, TenLinesWithSafeFont)
{
    const QList<QByteArray> lines = HtmlPageHeader("Courier New", "10.5");
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines[0], "<html><head><title>Quillon - https://quillon.tessaly.net</title>");
    EXPECT_EQ(lines[3], ".dir  { font-family: Courier New; font-size: 10.5pt; font-weight: bold }");
    EXPECT_EQ(lines[4], ".sum  { font-family: Courier New; font-size: 10.5pt; color:#800000 }");
    EXPECT_EQ(lines[5], ".file { font-family: Courier New; font-size: 10.5pt }");
    EXPECT_EQ(lines[7], "</head><body class=\"file\" nowrap>");
    EXPECT_EQ(lines[8], "<b><font size= 5 >Quillon</font><br>");
    EXPECT_EQ(lines[9], "<a href=\"https://quillon.tessaly.net\">https://quillon.tessaly.net"
                        "</a></b><hr><br>");

    // A crafted font name cannot leave the style sheet or add markup.
    const QList<QByteArray> crafted =
        HtmlPageHeader("X; } </style><script>alert('1')</script>\n&", "9\"}");
    EXPECT_EQ(crafted[5], ".file { font-family: X  /stylescriptalert(1)/script&amp;; "
                          "font-size: 9pt }");
    // Accented names stay in the page's code page; others become style sheet escapes.
    EXPECT_EQ(HtmlPageHeader("Caf\u00e9", "10")[5],
              ".file { font-family: Caf\xE9; font-size: 10pt }");
    EXPECT_EQ(HtmlPageHeader("\u5b8b\u4f53", "10")[5],
              ".file { font-family: \\5B8B \\4F53 ; font-size: 10pt }");
}

TEST_F(HtmlExportFiles, WholeTreeReportGivesHeaderAndOneLinePerReportLine)
{
    writeStaging({kHeader, "|-- data\\par ", "|  |-- a\\}b.txt\\par ", "|  \\par ",
                  "\\par\\b Total Summary: \\b0", "", "\\par 1 file(s) found in 1 folder(s) \\par ",
                  " \\par\\par\\par}"});
    HtmlExport exporter(staging(), page());
    exporter.setFont("Courier New", "10");
    ASSERT_TRUE(exporter.run()) << exporter.errorString().toStdString();
    const QList<QByteArray> lines = pageLines();
    ASSERT_EQ(lines.size(), 16);
    for (int i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(lines[i].endsWith('\r')) << i;
    EXPECT_EQ(lines[10], "|--&nbsp;data<br>\r");
    EXPECT_EQ(lines[11], "|&nbsp;&nbsp;|--&nbsp;a}b.txt<br>\r");
    EXPECT_EQ(lines[12], "|&nbsp;&nbsp;<br>\r");
    EXPECT_EQ(lines[13], "<br><b>Total Summary:</b><br>\r");
    EXPECT_EQ(lines[14], "<br>\r");
    EXPECT_EQ(lines[15], "1&nbsp;file(s)&nbsp;found&nbsp;in&nbsp;1&nbsp;folder(s)&nbsp;<br>");
    EXPECT_EQ(exporter.linesRead(), 8);
}

TEST_F(HtmlExportFiles, CancelAfterAFewLinesKeepsHeaderAndThoseLines)
{
    QList<QByteArray> lines = {kHeader};
    for (int i = 0; i < 100; ++i)
        lines += "|-- f" + QByteArray::number(i) + "\\par ";
    lines += " \\par\\par\\par}";
    writeStaging(lines);

    HtmlExport exporter(staging(), page());
    int yields = 0;
    std::vector<std::pair<int, int>> progress;
    exporter.setYield([&] {
        if (++yields == 4)
            exporter.cancel();
    });
    exporter.setProgress([&](int value, int maximum) { progress.emplace_back(value, maximum); }, 3);
    ASSERT_TRUE(exporter.run());
    EXPECT_TRUE(exporter.cancelled());
    const QList<QByteArray> page = pageLines();
    ASSERT_EQ(page.size(), 12); // ten header lines, the header line dropped, f0 and f1
    EXPECT_EQ(page[10], "|--&nbsp;f0<br>\r");
    EXPECT_EQ(page[11], "|--&nbsp;f1<br>");
    // starts at 1, climbs per line, stops at the maximum
    const std::vector<std::pair<int, int>> expected = {{1, 3}, {2, 3}, {3, 3}, {3, 3}, {3, 3}};
    EXPECT_EQ(progress, expected);

    // The next run starts uncancelled.
    exporter.setYield({});
    ASSERT_TRUE(exporter.run());
    EXPECT_EQ(pageLines().size(), 110);
}

TEST_F(HtmlExportFiles, FailuresAreReportedAndLeaveTheOldPage)
{
    {
        QFile old(page());
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old page");
    }
    // no staging file
    HtmlExport missing(staging(), page());
    EXPECT_FALSE(missing.run());
    EXPECT_TRUE(missing.errorString().contains(staging()));

    // a folder that cannot be written
    writeStaging({kHeader, "|-- x\\par ", " \\par\\par\\par}"});
    if (geteuid() != 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0500), 0);
        HtmlExport blocked(staging(), page());
        EXPECT_FALSE(blocked.run());
        EXPECT_FALSE(blocked.errorString().isEmpty());
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0700);
    }
    HtmlExport noFolder(staging(), m_dir.filePath("nowhere/page.htm"));
    EXPECT_FALSE(noFolder.run());
    EXPECT_TRUE(noFolder.errorString().contains("nowhere/page.htm"));

    QFile old(page());
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old page");
}
