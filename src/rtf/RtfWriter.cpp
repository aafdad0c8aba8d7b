#include "rtf/RtfWriter.h"

#include "platform/Cp1252.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

constexpr qsizetype kFlushSize = 64 * 1024;

int HalfPoints(double pointSize)
{
    return std::clamp(static_cast<int>(std::lround(pointSize * 2.0)), 2, 3276);
}

QRgb ColourKey(const QColor& colour)
{
    return qRgb(colour.red(), colour.green(), colour.blue());
}

void AppendNumber(QByteArray& out, long long value)
{
    out.append(QByteArray::number(value));
}

} // namespace

RtfWriter::RtfWriter(QIODevice& out) : m_out(out)
{
    m_buffer.reserve(kFlushSize + 1024);
}

void RtfWriter::begin(const QStringList& fonts, const QList<QColor>& colours)
{
    m_buffer.append("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl");
    for (const QString& name : fonts) {
        if (m_fontIndex.contains(name))
            continue;
        const int index = static_cast<int>(m_fontIndex.size());
        m_fontIndex.insert(name, index);
        m_buffer.append("{\\f");
        AppendNumber(m_buffer, index);
        m_buffer.append("\\fnil\\fcharset0 ");
        writeFontName(name);
        m_buffer.append(";}");
    }
    m_buffer.append("}{\\colortbl;");
    for (const QColor& colour : colours) {
        if (!colour.isValid() || m_colourIndex.contains(ColourKey(colour)))
            continue;
        m_colourIndex.insert(ColourKey(colour), static_cast<int>(m_colourIndex.size()) + 1);
        m_buffer.append("\\red");
        AppendNumber(m_buffer, colour.red());
        m_buffer.append("\\green");
        AppendNumber(m_buffer, colour.green());
        m_buffer.append("\\blue");
        AppendNumber(m_buffer, colour.blue());
        m_buffer.append(';');
    }
    m_buffer.append("}\r\n\\viewkind4\\uc1\r\n");
    m_needDelimiter = false;
}

void RtfWriter::paragraphStart(const RtfParagraphFormat& format)
{
    m_paragraph = format;
    m_buffer.append("\\pard");
    if (format.leftIndentTwips != 0) {
        m_buffer.append("\\li");
        AppendNumber(m_buffer, format.leftIndentTwips);
    }
    m_needDelimiter = true;
}

void RtfWriter::text(QStringView text, const RtfCharFormat& format)
{
    if (text.isEmpty())
        return;
    applyFormat(format);
    writeEscaped(text);
    flushIfFull();
}

void RtfWriter::paragraphEnd(const RtfParagraphFormat& format, const RtfCharFormat& mark)
{
    if (!(format == m_paragraph)) {
        // The indent changed within the paragraph; the one at the mark counts.
        m_buffer.append("\\li");
        AppendNumber(m_buffer, format.leftIndentTwips);
        m_paragraph = format;
    }
    applyFormat(mark);
    m_buffer.append("\\par\r\n");
    m_needDelimiter = false;
    flushIfFull();
}

bool RtfWriter::finish()
{
    m_buffer.append("}\r\n");
    return flush();
}

void RtfWriter::applyFormat(const RtfCharFormat& format)
{
    const int font = format.fontFamily.isEmpty() ? 0 : m_fontIndex.value(format.fontFamily, 0);
    const int halfPoints = HalfPoints(format.pointSize);
    const int colour =
        format.colour.isValid() ? m_colourIndex.value(ColourKey(format.colour), 0) : 0;
    const qsizetype before = m_buffer.size();
    if (font != m_font) {
        m_buffer.append("\\f");
        AppendNumber(m_buffer, font);
        m_font = font;
    }
    if (halfPoints != m_halfPoints) {
        m_buffer.append("\\fs");
        AppendNumber(m_buffer, halfPoints);
        m_halfPoints = halfPoints;
    }
    if (colour != m_colour) {
        m_buffer.append("\\cf");
        AppendNumber(m_buffer, colour);
        m_colour = colour;
    }
    if (format.bold != m_bold) {
        m_buffer.append(format.bold ? "\\b" : "\\b0");
        m_bold = format.bold;
    }
    if (format.italic != m_italic) {
        m_buffer.append(format.italic ? "\\i" : "\\i0");
        m_italic = format.italic;
    }
    if (format.underline != m_underline) {
        m_buffer.append(format.underline ? "\\ul" : "\\ulnone");
        m_underline = format.underline;
    }
    if (m_buffer.size() != before)
        m_needDelimiter = true;
}

void RtfWriter::writeEscaped(QStringView text)
{
    for (const QChar qc : text) {
        const char16_t ch = qc.unicode();
        if (ch >= 0x20 && ch < 0x80 && ch != u'\\' && ch != u'{' && ch != u'}') {
            if (m_needDelimiter) {
                m_buffer.append(' ');
                m_needDelimiter = false;
            }
            m_buffer.append(static_cast<char>(ch));
            continue;
        }
        if (ch == u'\\' || ch == u'{' || ch == u'}') {
            m_buffer.append('\\');
            m_buffer.append(static_cast<char>(ch));
            m_needDelimiter = false;
        } else if (ch == u'\t') {
            m_buffer.append("\\tab");
            m_needDelimiter = true;
        } else if (ch == QChar::LineSeparator) {
            m_buffer.append("\\line");
            m_needDelimiter = true;
        } else if (ch < 0x20) {
            continue; // controls have no place in the text
        } else if (const int byte = QChar::isSurrogate(ch) ? -1 : UnicodeToCp1252(ch); byte >= 0) {
            static constexpr char kHex[] = "0123456789abcdef";
            m_buffer.append("\\'");
            m_buffer.append(kHex[byte >> 4]);
            m_buffer.append(kHex[byte & 15]);
            m_needDelimiter = false;
        } else {
            // Rich text takes 16-bit signed numbers; a surrogate pair is two of them.
            m_buffer.append("\\u");
            AppendNumber(m_buffer, ch > 0x7FFF ? static_cast<int>(ch) - 65536 : ch);
            m_buffer.append('?');
            m_needDelimiter = false;
        }
    }
}

void RtfWriter::writeFontName(QStringView name)
{
    // A semicolon ends the entry and braces would close the table: such characters cannot
    // be part of a font name.
    QString clean;
    for (const QChar ch : name) {
        if (ch != u';' && ch != u'{' && ch != u'}' && ch != u'\\')
            clean.append(ch);
    }
    m_needDelimiter = false;
    writeEscaped(clean);
}

void RtfWriter::flushIfFull()
{
    if (m_buffer.size() >= kFlushSize)
        flush();
}

bool RtfWriter::flush()
{
    if (!m_buffer.isEmpty() && !m_failed) {
        if (m_out.write(m_buffer) != m_buffer.size())
            m_failed = true;
    }
    m_buffer.clear();
    return !m_failed;
}

RtfCharFormat ToRtfCharFormat(const QTextCharFormat& format, const QFont& defaultFont)
{
    RtfCharFormat result;
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        result.fontFamily = families.first();
    else if (format.hasProperty(QTextFormat::FontFamily))
        result.fontFamily = format.stringProperty(QTextFormat::FontFamily);
    if (result.fontFamily.isEmpty())
        result.fontFamily = defaultFont.family();

    double size = format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize()
                                                                 : defaultFont.pointSizeF();
    result.pointSize = size > 0 ? HalfPoints(size) / 2.0 : 12.0;

    if (format.hasProperty(QTextFormat::ForegroundBrush) &&
        format.foreground().style() != Qt::NoBrush) {
        const QColor colour = format.foreground().color();
        result.colour = QColor(colour.red(), colour.green(), colour.blue());
    }
    result.bold = format.hasProperty(QTextFormat::FontWeight)
                      ? format.fontWeight() >= QFont::DemiBold
                      : defaultFont.weight() >= QFont::DemiBold;
    result.italic =
        format.hasProperty(QTextFormat::FontItalic) ? format.fontItalic() : defaultFont.italic();
    const bool hasUnderline = format.hasProperty(QTextFormat::TextUnderlineStyle) ||
                              format.hasProperty(QTextFormat::FontUnderline);
    result.underline = hasUnderline ? format.fontUnderline() : defaultFont.underline();
    return result;
}

bool WriteRtf(const QTextDocument& document, QIODevice& out, const std::function<void()>& yield)
{
    const QFont defaultFont = document.defaultFont();
    QStringList fonts{defaultFont.family()};
    QList<QColor> colours;
    QHash<QRgb, bool> seenColours;
    QHash<QString, bool> seenFonts{{defaultFont.family(), true}};
    const auto note = [&](const RtfCharFormat& format) {
        if (!seenFonts.contains(format.fontFamily)) {
            seenFonts.insert(format.fontFamily, true);
            fonts.append(format.fontFamily);
        }
        if (format.colour.isValid() && !seenColours.contains(ColourKey(format.colour))) {
            seenColours.insert(ColourKey(format.colour), true);
            colours.append(format.colour);
        }
    };
    // The tables come first in the file, so the whole document is read before the first byte
    // goes out: let the window breathe while a long report is looked through.
    int blocks = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (yield && (++blocks & 0x3ff) == 0)
            yield();
        if (block.length() <= 1)
            note(ToRtfCharFormat(block.charFormat(), defaultFont));
        for (auto it = block.begin(); !it.atEnd(); ++it)
            note(ToRtfCharFormat(it.fragment().charFormat(), defaultFont));
    }

    RtfWriter writer(out);
    writer.begin(fonts, colours);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const RtfParagraphFormat paragraph{static_cast<int>(
            std::lround(block.blockFormat().leftMargin() * kTwipsPerDocumentUnit))};
        writer.paragraphStart(paragraph);
        RtfCharFormat mark = ToRtfCharFormat(block.charFormat(), defaultFont);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            mark = ToRtfCharFormat(fragment.charFormat(), defaultFont);
            writer.text(fragment.text(), mark);
        }
        if (block.next().isValid())
            writer.paragraphEnd(paragraph, mark);
    }
    return writer.finish();
}

} // namespace quillon
