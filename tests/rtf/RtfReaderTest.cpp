#include "rtf/RtfReader.h"
#include "rtf/RtfDocumentBuilder.h"
#include "rtf/RtfWriter.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QTextBlock>
#include <QTextDocument>
#include <memory>
#include <random>

using namespace quillon;

namespace {

const QByteArray kHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 "
    "Courier New;}{\\f1\\fswiss\\fcharset0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}"
    "\\viewkind4\\uc1\\pard\\li180\\cf1\\f0\\fs20\\par ";

std::unique_ptr<QTextDocument> Load(QByteArrayView rtf)
{
    auto document = std::make_unique<QTextDocument>();
    RtfDocumentBuilder builder(document.get());
    RtfReader(builder).read(rtf);
    return document;
}

QString Text(QByteArrayView rtf)
{
    return Load(rtf)->toPlainText();
}

// The format of the first character of the block's text (or of its mark when empty).
RtfCharFormat FormatAt(const QTextDocument& document, int blockNumber, int offset = 0)
{
    const QTextBlock block = document.findBlockByNumber(blockNumber);
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + offset + 1);
    const QTextCharFormat format = block.length() > 1 ? cursor.charFormat() : block.charFormat();
    return ToRtfCharFormat(format, document.defaultFont());
}

/// Hands out a few bytes per read, so that every token meets a chunk boundary somewhere.
class TrickleDevice : public QIODevice {
public:
    explicit TrickleDevice(QByteArray data) : m_data(std::move(data)) { open(ReadOnly); }

protected:
    qint64 readData(char* out, qint64 max) override
    {
        const qint64 n = std::min<qint64>({max, 7, m_data.size() - m_pos});
        std::copy_n(m_data.constData() + m_pos, n, out);
        m_pos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_pos = 0;
};

} // namespace

TEST(RtfReader, TheLayoutHeaderSetsFontSizeColourAndIndent)
{
    auto document = Load(kHeader + "Root\\par \r\n \\par\\par\\par}\r\n");
    EXPECT_EQ(document->toPlainText(), "\nRoot\n \n\n\n");
    const RtfCharFormat format = FormatAt(*document, 1);
    EXPECT_EQ(format.fontFamily, "Courier New");
    EXPECT_EQ(format.pointSize, 10.0);
    EXPECT_EQ(format.colour, QColor(0, 0, 0));
    EXPECT_FALSE(format.bold);
    EXPECT_EQ(FormatAt(*document, 0).pointSize, 10.0) << "the empty header paragraph";
    EXPECT_DOUBLE_EQ(document->findBlockByNumber(1).blockFormat().leftMargin() * 15, 180.0);
    EXPECT_EQ(document->defaultFont().family(), "Courier New");
    EXPECT_EQ(document->defaultFont().pointSizeF(), 10.0);
}

TEST(RtfReader, ATreeReportLoadsLineByLine)
{
    QByteArray rtf = kHeader + "\r\n";
    rtf += "/data/music\\par \r\n";
    rtf += "|-- Caf  Menu.txt\\par \r\n";
    rtf += "|  |-- a\\{1\\}\\\\b.txt\\par \r\n";
    rtf += "Files: 2\\par \r\n";
    rtf += " \\par\\par\\par}\r\n";
    EXPECT_EQ(Text(rtf), "\n/data/music\n|-- Caf  Menu.txt\n|  |-- a{1}\\b.txt\nFiles: 2\n \n\n\n");
}

TEST(RtfReader, CharactersFromEscapesCodePageAndUnicode)
{
    EXPECT_EQ(Text("{\\rtf1 caf\\'e9 \\'80}"), QString::fromUtf8("café €"));
    EXPECT_EQ(Text("{\\rtf1 caf\xE9}"), QString::fromUtf8("café")) << "raw 8-bit byte";
    EXPECT_EQ(Text("{\\rtf1 \\u8364?5}"), QString::fromUtf8("€5")) << "fallback skipped";
    EXPECT_EQ(Text("{\\rtf1\\uc2 \\u8364 EUR}"), QString::fromUtf8("€R"));
    EXPECT_EQ(Text("{\\rtf1\\uc0 \\u20013\\u25991}"), QString::fromUtf8("中文"));
    EXPECT_EQ(Text("{\\rtf1 \\u8364\\'80x}"), QString::fromUtf8("€x")) << "\\'hh as fallback";
    EXPECT_EQ(Text("{\\rtf1 \\u-10179?\\u-8704?}"), QString::fromUtf8("😀"));
    EXPECT_EQ(Text("{\\rtf1 {\\uc3 \\u8364}abc}"), QString::fromUtf8("€abc"))
        << "a group end stops the skipping";
    EXPECT_EQ(Text("{\\rtf1 a\\tab b\\line c\\~d}"), QString::fromUtf8("a\tb\nc d"));
    EXPECT_EQ(Text("{\\rtf1 \\{x\\}\\\\y}"), "{x}\\y");
    EXPECT_EQ(Text("{\\rtf1 \\par1\\par  two}"), "\n\n two")
        << "digits are the parameter; one blank is the delimiter";
    // Plain text is taken eight bytes at a time: a sign, control or 8-bit byte at any place
    // within a long run still counts.
    for (const char* odd : {"\\{", "\\}", "\\\\", "{\\b x}", "\\'e9", "\xE9", "\t", "\\par "}) {
        for (int at = 0; at < 17; ++at) {
            const QByteArray rtf =
                "{\\rtf1 " + QByteArray(at, 'a') + odd + QByteArray(20, 'b') + "}";
            const QString expected =
                QString(at, 'a') + Text(QByteArray("{\\rtf1 ") + odd + "}") + QString(20, 'b');
            EXPECT_EQ(Text(rtf), expected) << rtf.constData();
        }
    }
}

TEST(RtfReader, CharacterFormatsFollowGroupsAndResets)
{
    auto document = Load("{\\rtf1{\\fonttbl{\\f0 Mono;}{\\f1 Sans;}}"
                         "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                         "a{\\b\\i\\ul\\cf1\\f1\\fs21 b}c\\cf2\\b d\\b0\\ulnone\\plain e}");
    const QTextDocument& doc = *document;
    EXPECT_EQ(doc.toPlainText(), "abcde");
    const RtfCharFormat a = FormatAt(doc, 0, 0);
    EXPECT_EQ(a.fontFamily, "Mono");
    EXPECT_EQ(a.pointSize, 12.0) << "rich text's default size";
    EXPECT_FALSE(a.colour.isValid()) << "no \\cf: automatic colour";
    const RtfCharFormat b = FormatAt(doc, 0, 1);
    EXPECT_TRUE(b.bold && b.italic && b.underline);
    EXPECT_EQ(b.fontFamily, "Sans");
    EXPECT_EQ(b.pointSize, 10.5);
    EXPECT_EQ(b.colour, QColor(255, 0, 0));
    EXPECT_EQ(FormatAt(doc, 0, 2), a) << "the group end restores the format";
    const RtfCharFormat d = FormatAt(doc, 0, 3);
    EXPECT_TRUE(d.bold);
    EXPECT_EQ(d.colour, QColor(0, 0, 255));
    EXPECT_EQ(FormatAt(doc, 0, 4), a) << "\\plain";
}

TEST(RtfReader, ParagraphIndentIsTheOneAtTheMark)
{
    auto document = Load("{\\rtf1\\li360 a\\par\\pard b\\par\\li720 c}");
    EXPECT_DOUBLE_EQ(document->findBlockByNumber(0).blockFormat().leftMargin(), 24.0);
    EXPECT_DOUBLE_EQ(document->findBlockByNumber(1).blockFormat().leftMargin(), 0.0);
    EXPECT_DOUBLE_EQ(document->findBlockByNumber(2).blockFormat().leftMargin(), 48.0);
}

TEST(RtfReader, DestinationsWithoutBodyTextAreSkipped)
{
    const QByteArray rtf =
        "{\\rtf1{\\info{\\title Secret}{\\author Me}}{\\stylesheet{\\s0 Normal;}}"
        "{\\*\\generator Writer 1.0;}{\\*\\unknownthing {\\nested x}y}"
        "{\\header Page head\\par}\\unknownword42 a"
        "{\\pict\\pngblip\\bin6 }}}{{{ 89ab}"
        "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}b}";
    EXPECT_EQ(Text(rtf), "alinkb");
}

TEST(RtfReader, BrokenInputGivesABestEffortDocument)
{
    EXPECT_EQ(Text("{\\rtf1 abc\\par de"), "abc\nde") << "truncated";
    EXPECT_EQ(Text("{\\rtf1 abc\\"), "abc") << "truncated in a control word";
    EXPECT_EQ(Text("{\\rtf1 ab\\'e"), "ab") << "half a hex escape (a control character)";
    EXPECT_EQ(Text("}}{\\rtf1 a}}b}"), "a") << "stray braces; nothing after the document";
    EXPECT_EQ(Text("plain words"), "plain words");
    EXPECT_EQ(Text("{\\rtf1 \\fs99999999999999999999999 \\li-999999999999999 \\uc99999999999 "
                   "\\u99999999999999 x}\\bin99999999999999999 y"),
              QString(QChar(0xE7FF)))
        << "absurd numbers are clamped; \\uc skips to the group end";
    EXPECT_EQ(Text("{\\rtf1 a\\bin99999999999999999 bcd}"), "a") << "\\bin past the end";
    EXPECT_EQ(Text("{\\rtf1 {\\fonttbl{\\f99999999999 Big;}}{\\colortbl\\red999;}\\f99999999999 "
                   "\\cf99999 z}"),
              "z");
}

TEST(RtfReader, DeepNestingIsBounded)
{
    const int depth = 100000;
    QByteArray rtf = "{\\rtf1 ";
    rtf += QByteArray(depth, '{') + "\\b deep" + QByteArray(depth, '}') + " tail}";
    auto document = Load(rtf);
    EXPECT_EQ(document->toPlainText(), "deep tail");

    QByteArray unclosed = "{\\rtf1 " + QByteArray(depth, '{') + "x";
    EXPECT_EQ(Text(unclosed), "x");
}

// The longest piece of text the reader handed on at once, and all the text.
struct PieceSink : RtfSink {
    void begin(const RtfDocumentInfo&) override {}
    void paragraphStart(const RtfParagraphFormat&) override {}
    void text(QStringView piece, const RtfCharFormat&) override
    {
        longest = std::max(longest, piece.size());
        all += piece;
    }
    void paragraphEnd(const RtfParagraphFormat&, const RtfCharFormat&) override {}
    void end() override {}
    qsizetype longest = 0;
    QString all;
};

TEST(RtfReader, AHugeParagraphIsHandedOnInPieces)
{
    const int count = 200000;
    for (const QByteArray& unit : {QByteArray("n"), QByteArray("\\u55296?")}) {
        PieceSink sink;
        QByteArray rtf = "{\\rtf1 " + unit.repeated(count) + "}";
        QBuffer file(&rtf);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ASSERT_TRUE(RtfReader(sink).read(file));
        EXPECT_EQ(sink.all.size(), count) << unit.constData();
        EXPECT_LE(sink.longest, 70000) << unit.constData() << ": lone high surrogates too";
    }
}

TEST(RtfReader, GarbageNeverBreaksTheReader)
{
    std::mt19937 random(1234);
    for (int round = 0; round < 20; ++round) {
        QByteArray garbage(20000, '\0');
        // Weighted towards the bytes that drive the parser.
        const char special[] = "{}\\'*u0123456789- ;abcfsl";
        for (char& byte : garbage)
            byte = random() % 3 == 0 ? special[random() % (sizeof special - 1)]
                                     : static_cast<char>(random());
        auto document = Load("{\\rtf1 " + garbage);
        EXPECT_GE(document->blockCount(), 1);
    }
}

TEST(RtfReader, ChunkBoundariesDoNotChangeTheResult)
{
    QByteArray rtf = kHeader;
    for (int i = 0; i < 3000; ++i)
        rtf += "|  |-- caf\\'e9 \\u8364? {\\b x}\\{\\}\\par \r\n";
    rtf += " \\par\\par\\par}";
    auto whole = Load(rtf);
    TrickleDevice device(rtf);
    QTextDocument trickled;
    RtfDocumentBuilder builder(&trickled);
    ASSERT_TRUE(RtfReader(builder).read(device));
    EXPECT_EQ(trickled.toPlainText(), whole->toPlainText());
    EXPECT_EQ(FormatAt(trickled, 2, 14), FormatAt(*whole, 2, 14));
    EXPECT_TRUE(FormatAt(trickled, 2000, 14).bold);
}

TEST(RtfReader, LoadingLeavesNoUndoHistory)
{
    QTextDocument document;
    QTextCursor(&document).insertText("old");
    ASSERT_TRUE(document.isUndoAvailable());
    {
        RtfDocumentBuilder builder(&document);
        RtfReader(builder).read(kHeader + "new\\par}");
    }
    EXPECT_EQ(document.toPlainText(), "\nnew\n");
    EXPECT_FALSE(document.isUndoAvailable());
    EXPECT_TRUE(document.isUndoRedoEnabled());
    QTextCursor(&document).insertText("x");
    EXPECT_TRUE(document.isUndoAvailable()) << "undo works again after the load";
}
