#pragma once

#include "rtf/RtfSink.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <optional>
#include <vector>

class QTextDocument;

namespace quillon {

/// Builds a QTextDocument from reader events. The document is cleared when the events begin
/// and filled inside one edit block with its undo history switched off; at the end the undo
/// setting is restored with empty stacks. The document's default font becomes the format of
/// the first paragraph. Consecutive paragraphs of one format are inserted as one string, which
/// keeps loading a large report about as fast as setting plain text.
class RtfDocumentBuilder : public RtfSink {
public:
    /// The document must outlive the builder.
    explicit RtfDocumentBuilder(QTextDocument* document);
    ~RtfDocumentBuilder() override;

    void begin(const RtfDocumentInfo& info) override;
    void paragraphStart(const RtfParagraphFormat& format) override;
    void text(QStringView text, const RtfCharFormat& format) override;
    void paragraphEnd(const RtfParagraphFormat& format, const RtfCharFormat& mark) override;
    void end() override;

    /// The text format of a character format, as the builder applies it.
    static QTextCharFormat ToTextFormat(const RtfCharFormat& format);
    /// The block format of a paragraph format, as the builder applies it.
    static QTextBlockFormat ToBlockFormat(const RtfParagraphFormat& format);

private:
    struct Run {
        QString text;
        RtfCharFormat format;
    };

    void start();
    void finish();
    void setDefaultFontOnce(const RtfCharFormat& format);
    void flushBatch();
    void prepareBlock(const RtfParagraphFormat& block, const RtfCharFormat& mark);
    const QTextCharFormat& textFormat(const RtfCharFormat& format);
    void insertRuns();
    void insertHeldRuns();
    void resetParagraph();

    QTextDocument* m_document;
    QTextCursor m_cursor;
    bool m_started = false;
    bool m_finished = false;
    bool m_undoWasEnabled = true;
    bool m_defaultFontSet = false;
    QString m_defaultFamily;

    // The paragraph being read: one string while its text has one format, runs after that.
    RtfParagraphFormat m_paragraphFormat;
    QString m_paragraphText;
    RtfCharFormat m_paragraphTextFormat;
    bool m_paragraphHasText = false;
    bool m_paragraphStarted = false;
    std::vector<Run> m_runs;

    // Finished paragraphs of one block and mark format, each followed by a separator.
    QString m_batch;
    RtfParagraphFormat m_batchBlock;
    RtfCharFormat m_batchMark;

    // The formats of the block the cursor is in.
    std::optional<RtfParagraphFormat> m_cursorBlock;
    std::optional<RtfCharFormat> m_cursorMark;

    RtfCharFormat m_cachedFormat;
    QTextCharFormat m_cachedTextFormat;
    bool m_cacheValid = false;
};

} // namespace quillon
