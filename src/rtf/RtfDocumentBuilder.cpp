#include "rtf/RtfDocumentBuilder.h"

#include <QFont>
#include <QTextDocument>
#include <algorithm>

namespace quillon {

namespace {

// Paragraphs gathered for one insertion; past this the batch is inserted and a new one begun,
// so the builder never holds a second copy of a huge document, and one insertion stays short
// enough for the window to let its events run between two of them.
constexpr qsizetype kMaxBatchLength = 1 << 16;
// Runs of one paragraph held before they go into the document: a paragraph whose every
// character changes format would otherwise be held whole as runs of a hundred bytes each.
constexpr std::size_t kMaxHeldRuns = 64;

} // namespace

RtfDocumentBuilder::RtfDocumentBuilder(QTextDocument* document) : m_document(document) {}

RtfDocumentBuilder::~RtfDocumentBuilder()
{
    if (m_started && !m_finished)
        finish();
}

QTextCharFormat RtfDocumentBuilder::ToTextFormat(const RtfCharFormat& format)
{
    QTextCharFormat result;
    if (!format.fontFamily.isEmpty())
        result.setFontFamilies(QStringList{format.fontFamily});
    result.setFontPointSize(format.pointSize);
    if (format.colour.isValid())
        result.setForeground(format.colour);
    result.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    result.setFontItalic(format.italic);
    result.setFontUnderline(format.underline);
    return result;
}

QTextBlockFormat RtfDocumentBuilder::ToBlockFormat(const RtfParagraphFormat& format)
{
    QTextBlockFormat result;
    // A report reads left to right whatever its names hold: left to itself, a line whose first
    // letter is Hebrew or Arabic would be laid out from the right, its columns reversed.
    result.setLayoutDirection(Qt::LeftToRight);
    // A negative indent would push the text out of the pane.
    result.setLeftMargin(std::max(0, format.leftIndentTwips) / kTwipsPerDocumentUnit);
    return result;
}

void RtfDocumentBuilder::begin(const RtfDocumentInfo& info)
{
    m_defaultFamily = info.defaultFontFamily;
    start();
}

void RtfDocumentBuilder::start()
{
    if (m_started)
        return;
    m_started = true;
    m_undoWasEnabled = m_document->isUndoRedoEnabled();
    m_document->setUndoRedoEnabled(false);
    m_document->clear();
    m_cursor = QTextCursor(m_document);
    m_cursor.beginEditBlock();
}

void RtfDocumentBuilder::setDefaultFontOnce(const RtfCharFormat& format)
{
    if (m_defaultFontSet)
        return;
    m_defaultFontSet = true;
    QFont font = m_document->defaultFont();
    const QString family = format.fontFamily.isEmpty() ? m_defaultFamily : format.fontFamily;
    if (!family.isEmpty())
        font.setFamilies(QStringList{family});
    font.setPointSizeF(format.pointSize);
    m_document->setDefaultFont(font);
}

void RtfDocumentBuilder::paragraphStart(const RtfParagraphFormat& format)
{
    start();
    m_paragraphFormat = format;
    m_paragraphStarted = true;
}

void RtfDocumentBuilder::text(QStringView text, const RtfCharFormat& format)
{
    start();
    setDefaultFontOnce(format);
    if (!m_paragraphHasText) {
        m_paragraphHasText = true;
        m_paragraphTextFormat = format;
        m_paragraphText = text.toString();
        return;
    }
    if (m_runs.empty()) {
        if (format == m_paragraphTextFormat) {
            m_paragraphText.append(text);
            return;
        }
        m_runs.push_back(Run{std::move(m_paragraphText), m_paragraphTextFormat});
        m_paragraphText.clear();
    }
    if (m_runs.back().format == format) {
        m_runs.back().text.append(text);
        return;
    }
    if (m_runs.size() >= kMaxHeldRuns)
        insertHeldRuns();
    m_runs.push_back(Run{text.toString(), format});
}

void RtfDocumentBuilder::insertHeldRuns()
{
    // The paragraph has runs, so it goes in on its own whatever follows; its block's formats
    // are set when it ends, which leaves the document as if it had been inserted whole. The
    // last run stays held, which keeps the paragraph marked as having runs.
    flushBatch();
    Run last = std::move(m_runs.back());
    m_runs.pop_back();
    insertRuns();
    m_runs.clear();
    m_runs.push_back(std::move(last));
}

void RtfDocumentBuilder::paragraphEnd(const RtfParagraphFormat& format, const RtfCharFormat& mark)
{
    start();
    setDefaultFontOnce(mark);
    const bool uniform = m_runs.empty() && (!m_paragraphHasText || m_paragraphTextFormat == mark);
    if (uniform) {
        if (!m_batch.isEmpty() && !(format == m_batchBlock && mark == m_batchMark))
            flushBatch();
        if (m_batch.isEmpty()) {
            m_batchBlock = format;
            m_batchMark = mark;
        }
        m_batch.append(m_paragraphText);
        m_batch.append(QChar::ParagraphSeparator);
        if (m_batch.size() >= kMaxBatchLength)
            flushBatch();
    } else {
        flushBatch();
        prepareBlock(format, mark);
        insertRuns();
        m_cursor.insertBlock(ToBlockFormat(format), textFormat(mark));
    }
    resetParagraph();
}

void RtfDocumentBuilder::end()
{
    start();
    finish();
}

void RtfDocumentBuilder::finish()
{
    m_finished = true;
    flushBatch();
    if (m_paragraphHasText) {
        const RtfCharFormat& last = m_runs.empty() ? m_paragraphTextFormat : m_runs.back().format;
        prepareBlock(m_paragraphFormat, last);
        insertRuns();
    } else if (m_paragraphStarted && m_cursorBlock != m_paragraphFormat) {
        // An empty last paragraph still has its own indent.
        m_cursor.setBlockFormat(ToBlockFormat(m_paragraphFormat));
    }
    resetParagraph();
    m_cursor.endEditBlock();
    m_document->setUndoRedoEnabled(m_undoWasEnabled);
    m_document->clearUndoRedoStacks();
    m_document->setModified(false);
}

void RtfDocumentBuilder::flushBatch()
{
    if (m_batch.isEmpty())
        return;
    prepareBlock(m_batchBlock, m_batchMark);
    // The blocks the separators make take the current block's format and the text format.
    m_cursor.insertText(m_batch, textFormat(m_batchMark));
    m_batch.clear();
}

void RtfDocumentBuilder::prepareBlock(const RtfParagraphFormat& block, const RtfCharFormat& mark)
{
    if (m_cursorBlock != block) {
        m_cursor.setBlockFormat(ToBlockFormat(block));
        m_cursorBlock = block;
    }
    if (m_cursorMark != mark) {
        m_cursor.setBlockCharFormat(textFormat(mark));
        m_cursorMark = mark;
    }
}

const QTextCharFormat& RtfDocumentBuilder::textFormat(const RtfCharFormat& format)
{
    if (!m_cacheValid || !(format == m_cachedFormat)) {
        m_cachedFormat = format;
        m_cachedTextFormat = ToTextFormat(format);
        m_cacheValid = true;
    }
    return m_cachedTextFormat;
}

void RtfDocumentBuilder::insertRuns()
{
    if (m_runs.empty()) {
        if (m_paragraphHasText)
            m_cursor.insertText(m_paragraphText, textFormat(m_paragraphTextFormat));
        return;
    }
    for (const Run& run : m_runs)
        m_cursor.insertText(run.text, textFormat(run.format));
}

void RtfDocumentBuilder::resetParagraph()
{
    m_paragraphText.clear();
    m_paragraphHasText = false;
    m_paragraphStarted = false;
    m_runs.clear();
}

} // namespace quillon
