#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace quillon {

/// The character formats the report pane keeps: font, size, colour, bold, italic, underline.
struct RtfCharFormat {
    /// Font family; empty means the document's default font.
    QString fontFamily;
    /// Size in points, in half-point steps as rich text stores it.
    double pointSize = 12.0;
    /// Text colour; an invalid colour is the automatic colour (the viewer's text colour).
    QColor colour;
    bool bold = false;
    bool italic = false;
    bool underline = false;

    friend bool operator==(const RtfCharFormat&, const RtfCharFormat&) = default;
};

/// The paragraph formats the report pane keeps.
struct RtfParagraphFormat {
    /// Left indent in twips (1/1440 inch).
    int leftIndentTwips = 0;

    friend bool operator==(const RtfParagraphFormat&, const RtfParagraphFormat&) = default;
};

/// What the reader knows of the document before its body: the font table in index order (an
/// index the table skips holds an empty name), the colour table (entry 0 is usually the
/// automatic colour, an invalid QColor) and the default font's family.
struct RtfDocumentInfo {
    QStringList fonts;
    QList<QColor> colours;
    QString defaultFontFamily;
};

// A QTextDocument block's left margin is in pixels at 96 dpi, so that an indent keeps its
// size next to point-sized text: 15 twips to the pixel.
inline constexpr double kTwipsPerDocumentUnit = 15.0;

/// Receives a rich-text document as a stream of events, in this order: begin once; then for
/// each paragraph paragraphStart, any number of text runs and paragraphEnd; then end once. The
/// last paragraph, after the last paragraph mark, comes as a paragraphStart and runs (possibly
/// none) with no paragraphEnd.
class RtfSink {
public:
    virtual ~RtfSink() = default;

    /// Called once, before the first paragraph.
    virtual void begin(const RtfDocumentInfo& info) { (void)info; }

    /// A paragraph starts, with the paragraph format in effect at its first text.
    virtual void paragraphStart(const RtfParagraphFormat& format) { (void)format; }

    /// A run of text in one format. The text holds no paragraph or block separators; tabs come
    /// as '\t' and manual line breaks as QChar::LineSeparator.
    virtual void text(QStringView text, const RtfCharFormat& format) = 0;

    /// The paragraph ends, with the paragraph format in effect at its mark and the character
    /// format of the mark (which sizes an empty paragraph).
    virtual void paragraphEnd(const RtfParagraphFormat& format, const RtfCharFormat& mark) = 0;

    /// The document ends; called once, also for broken or truncated input.
    virtual void end() {}
};

} // namespace quillon
