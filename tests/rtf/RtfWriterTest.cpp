#include "rtf/RtfWriter.h"
#include "rtf/RtfDocumentBuilder.h"
#include "rtf/RtfReader.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QTextBlock>
#include <QTextDocument>
#include <random>

using namespace quillon;

namespace {

QByteArray Write(const QTextDocument& document)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(WriteRtf(document, buffer));
    return buffer.data();
}

void Read(const QByteArray& rtf, QTextDocument* document)
{
    RtfDocumentBuilder builder(document);
    RtfReader(builder).read(rtf);
}

// A document as text and formats, character by character, for comparing two documents.
std::string Describe(const QTextDocument& document)
{
    QStringList lines;
    const QFont font = document.defaultFont();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        lines << QStringLiteral("block indent=%1")
                     .arg(std::lround(block.blockFormat().leftMargin() * 15));
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const RtfCharFormat f = ToRtfCharFormat(it.fragment().charFormat(), font);
            const QString format = QStringLiteral("%1/%2/%3/%4%5%6")
                                       .arg(f.fontFamily)
                                       .arg(f.pointSize)
                                       .arg(f.colour.isValid() ? f.colour.name() : "auto")
                                       .arg(f.bold)
                                       .arg(f.italic)
                                       .arg(f.underline);
            for (const QChar ch : it.fragment().text())
                lines << QStringLiteral("  %1 %2").arg(ch.unicode(), 4, 16).arg(format);
        }
    }
    return lines.join('\n').toStdString();
}

QString RandomText(std::mt19937& random)
{
    static const QString pool = QString::fromUtf8("aZ 09{}\\\t\n;?'é€ÿŸ\u00A0中文😀𝄞\u2028\u0100");
    QString text;
    const int length = static_cast<int>(random() % 12);
    for (int i = 0; i < length; ++i) {
        int at = static_cast<int>(random() % pool.size());
        if (pool.at(at).isLowSurrogate())
            --at;
        text += pool.at(at);
        if (pool.at(at).isHighSurrogate())
            text += pool.at(at + 1);
    }
    return text;
}

QTextCharFormat RandomFormat(std::mt19937& random)
{
    static const QStringList families{"Courier New", "Liberation Mono", "DejaVu Sans"};
    RtfCharFormat format;
    format.fontFamily = families.at(random() % families.size());
    format.pointSize = 6 + (random() % 40) / 2.0;
    if (random() % 3)
        format.colour = QColor(random() % 256, random() % 256, random() % 256);
    format.bold = random() % 2;
    format.italic = random() % 2;
    format.underline = random() % 2;
    return RtfDocumentBuilder::ToTextFormat(format);
}

} // namespace

TEST(RtfWriter, RandomDocumentsComeBackUnchanged)
{
    std::mt19937 random(20240601);
    for (int round = 0; round < 60; ++round) {
        QTextDocument original;
        original.setDefaultFont(QFont("Courier New", 10));
        QTextCursor cursor(&original);
        const int blocks = 1 + static_cast<int>(random() % 6);
        for (int b = 0; b < blocks; ++b) {
            if (b > 0)
                cursor.insertBlock();
            QTextBlockFormat block;
            block.setLeftMargin((random() % 5) * 12.0);
            cursor.setBlockFormat(block);
            const int runs = static_cast<int>(random() % 4);
            for (int r = 0; r < runs; ++r)
                cursor.insertText(RandomText(random), RandomFormat(random));
        }
        const QByteArray rtf = Write(original);
        QTextDocument loaded;
        Read(rtf, &loaded);
        ASSERT_EQ(loaded.toPlainText(), original.toPlainText()) << rtf.constData();
        ASSERT_EQ(Describe(loaded), Describe(original)) << rtf.constData();
    }
}

TEST(RtfWriter, EscapesTextForCodePage1252)
{
    QTextDocument document;
    document.setPlainText(QString::fromUtf8("{a}\\b\tcafé €中😀"));
    const QByteArray rtf = Write(document);
    EXPECT_TRUE(rtf.contains("\\{a\\}\\\\b\\tab caf\\'e9 \\'80\\u20013?\\u-10179?\\u-8704?"))
        << rtf.constData();
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
    EXPECT_TRUE(rtf.trimmed().endsWith('}'));
    for (const char byte : rtf)
        EXPECT_GE(static_cast<unsigned char>(byte), 0x0A) << "plain 7-bit output";
}

TEST(RtfWriter, TablesHoldWhatTheDocumentUses)
{
    QTextDocument document;
    document.setDefaultFont(QFont("Courier New", 10));
    QTextCursor cursor(&document);
    QTextCharFormat red;
    red.setForeground(QColor(255, 0, 0));
    red.setFontFamilies({"Arial"});
    cursor.insertText("plain ");
    cursor.insertText("red", red);
    cursor.insertBlock();
    cursor.insertText("again ", red);
    const QByteArray rtf = Write(document);
    EXPECT_TRUE(rtf.contains("{\\fonttbl{\\f0\\fnil\\fcharset0 Courier New;}"
                             "{\\f1\\fnil\\fcharset0 Arial;}}"))
        << rtf.constData();
    EXPECT_TRUE(rtf.contains("{\\colortbl;\\red255\\green0\\blue0;}")) << rtf.constData();
    EXPECT_EQ(rtf.count("\\cf1"), 1) << "a format is written only where it changes";
    EXPECT_EQ(rtf.count("\\par\r\n"), 1) << "between the two blocks only";
}

TEST(RtfWriter, FontNamesCannotBreakTheFontTable)
{
    QTextDocument document;
    document.setDefaultFont(QFont("Evil;}{\\b Font", 10));
    document.setPlainText("x");
    QTextDocument loaded;
    Read(Write(document), &loaded);
    EXPECT_EQ(loaded.toPlainText(), "x");
    EXPECT_EQ(loaded.defaultFont().family(), "Evilb Font");
}
