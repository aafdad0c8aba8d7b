#pragma once

#include <functional>

#include "rtf/RtfSink.h"

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QIODevice>
#include <QTextCharFormat>

class QTextDocument;

namespace quillon {

/// Writes rich text (RTF, code page 1252) to a device, paragraph by paragraph. Text is escaped
/// so that any Unicode text comes back unchanged: braces and backslashes with a backslash,
/// code-page characters above 0x7F as \'hh, everything else as \uN with a "?" fallback.
class RtfWriter {
public:
    /// The device must be open for writing and outlive the writer.
    explicit RtfWriter(QIODevice& out);

    /// Writes the header. fonts[0] is the default font; with no fonts the reader's default
    /// font applies. colours are the colour table after the automatic entry 0 (invalid colours
    /// are dropped).
    void begin(const QStringList& fonts, const QList<QColor>& colours);

    /// Starts a paragraph with its left indent.
    void paragraphStart(const RtfParagraphFormat& format);
    /// Writes a run of text. Tabs become \tab and QChar::LineSeparator \line; a character
    /// format whose font or colour is not in the tables uses the default font or the
    /// automatic colour.
    void text(QStringView text, const RtfCharFormat& format);
    /// Ends the paragraph; the mark takes the given character format.
    void paragraphEnd(const RtfParagraphFormat& format, const RtfCharFormat& mark);
    /// Closes the document and writes out what is buffered. False when a write failed.
    bool finish();

private:
    void applyFormat(const RtfCharFormat& format);
    void writeEscaped(QStringView text);
    void writeFontName(QStringView name);
    void flushIfFull();
    bool flush();

    QIODevice& m_out;
    QByteArray m_buffer;
    bool m_failed = false;
    QHash<QString, int> m_fontIndex;
    QHash<QRgb, int> m_colourIndex;

    // The state written so far, starting from the rich-text defaults.
    RtfParagraphFormat m_paragraph;
    int m_font = 0;
    int m_halfPoints = 24;
    int m_colour = 0;
    bool m_bold = false;
    bool m_italic = false;
    bool m_underline = false;
    bool m_needDelimiter = false;
};

/// Writes the whole document as rich text, with a font table and a colour table of what the
/// document uses. False when writing to the device failed.
bool WriteRtf(const QTextDocument& document, QIODevice& out,
              const std::function<void()>& yield = {});

/// The character format of a text format, with what it leaves unset taken from the document's
/// default font.
RtfCharFormat ToRtfCharFormat(const QTextCharFormat& format, const QFont& defaultFont);

} // namespace quillon
