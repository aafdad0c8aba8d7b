#include "rtf/RtfFiles.h"
#include "rtf/RtfWriter.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <vector>

using namespace quillon;

namespace {

const QByteArray kTreeReport =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 "
    "Courier New;}{\\f1\\fswiss\\fcharset0 Arial;}}{\\colortbl;\\red64\\green128\\blue255;}"
    "\\viewkind4\\uc1\\pard\\li180\\cf1\\f0\\fs21\\par \r\n"
    "/data\\par \r\n"
    "|-- a\\{b\\}.txt\\par \r\n"
    "|  |-- caf\\'e9 \\u8364? \\u-10179?\\u-8704?\\par \r\n"
    "{\\b Total}\\tab 3\\line files\\par \r\n"
    " \\par\\par\\par}\r\n";

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

std::string Formats(const QTextDocument& document)
{
    std::string result;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        result += "|" + std::to_string(std::lround(block.blockFormat().leftMargin() * 15));
        if (block.length() <= 1 && block.next().isValid()) {
            // An empty line keeps the size it was written in.
            result +=
                "@" + std::to_string(
                          ToRtfCharFormat(block.charFormat(), document.defaultFont()).pointSize);
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const RtfCharFormat f =
                ToRtfCharFormat(it.fragment().charFormat(), document.defaultFont());
            result += QStringLiteral("[%1 %2 %3 %4%5%6]")
                          .arg(it.fragment().text(), f.fontFamily)
                          .arg(f.pointSize)
                          .arg(f.colour.name())
                          .arg(f.bold)
                          .arg(f.underline)
                          .toStdString();
        }
    }
    return result;
}

} // namespace

TEST(RtfFiles, SavedRichAndPlainTextLoadBack)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("tmpfile.dmp");
    WriteAll(source, kTreeReport);
    QTextDocument document;
    QString error;
    ASSERT_TRUE(LoadRtfFile(source, &document, &error)) << error.toStdString();
    const QString expected = QString::fromUtf8("\n/data\n|-- a{b}.txt\n|  |-- café € 😀\n"
                                               "Total\t3\nfiles\n \n\n\n");
    EXPECT_EQ(document.toPlainText(), expected);

    ASSERT_TRUE(SaveRtfFile(document, dir.filePath("report.rtf"), &error));
    QTextDocument again;
    ASSERT_TRUE(LoadRtfFile(dir.filePath("report.rtf"), &again, &error));
    EXPECT_EQ(again.toPlainText(), expected);
    EXPECT_EQ(Formats(again), Formats(document));

    ASSERT_TRUE(SavePlainTextFile(document, dir.filePath("report.txt"), &error));
    EXPECT_EQ(ReadAll(dir.filePath("report.txt")), expected.toUtf8());
}

TEST(RtfFiles, FailuresAreReported)
{
    QTemporaryDir dir;
    QTextDocument document;
    QString error;
    EXPECT_FALSE(LoadRtfFile(dir.filePath("missing.rtf"), &document, &error));
    EXPECT_TRUE(error.contains("missing.rtf"));

    document.setPlainText("new");
    error.clear();
    EXPECT_FALSE(SaveRtfFile(document, dir.filePath("no/such/folder/x.rtf"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(SavePlainTextFile(document, dir.filePath("no/such/folder/x.txt"), nullptr));

    // A folder in the way of the file: the save fails and nothing is half written.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.rtf"));
    EXPECT_FALSE(SaveRtfFile(document, dir.filePath("taken.rtf"), &error));
    EXPECT_TRUE(QFileInfo(dir.filePath("taken.rtf")).isDir());
}

TEST(RtfFiles, StreamingConvertersAgreeWithTheDocument)
{
    std::vector<QByteArray> inputs = {
        kTreeReport,
        "{\\rtf1 no paragraph mark at the end",
        "{\\rtf1{\\fonttbl{\\f0 A;}{\\f1 B;}}\\li400 x{\\f1\\i\\cf9 y}\\par\\par z\\par}",
        "",
    };
    // ASCII text goes to the plain text sixteen characters at a time: a character outside
    // ASCII, a line break, a no-break space or half a pair anywhere in a run still counts.
    for (const char* odd : {"\\'e9", "\\line ", "\\~", "\\u-10179?\\u-8704?", "\\u-10179?"}) {
        QByteArray rtf = "{\\rtf1 ";
        for (int at = 0; at < 33; ++at)
            rtf += QByteArray(at, 'a') + odd + QByteArray(20, 'b') + "\\par ";
        inputs.push_back(rtf + "}");
    }
    for (const QByteArray& rtf : inputs) {
        QTextDocument document;
        {
            QTemporaryDir dir;
            WriteAll(dir.filePath("in.rtf"), rtf);
            ASSERT_TRUE(LoadRtfFile(dir.filePath("in.rtf"), &document, nullptr));
        }
        QBuffer in;
        in.setData(rtf);
        in.open(QIODevice::ReadOnly);
        QBuffer text;
        text.open(QIODevice::WriteOnly);
        ASSERT_TRUE(ConvertRtfToPlainText(in, text));
        EXPECT_EQ(text.data(), document.toPlainText().toUtf8()) << rtf.constData();

        in.seek(0);
        QBuffer converted;
        converted.open(QIODevice::WriteOnly);
        ASSERT_TRUE(ConvertRtf(in, converted));
        QTextDocument reloaded;
        {
            QTemporaryDir dir;
            WriteAll(dir.filePath("out.rtf"), converted.data());
            ASSERT_TRUE(LoadRtfFile(dir.filePath("out.rtf"), &reloaded, nullptr));
        }
        EXPECT_EQ(Formats(reloaded), Formats(document)) << converted.data().constData();
    }
}
