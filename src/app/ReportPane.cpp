#include "app/ReportPane.h"

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTimerEvent>
#include <algorithm>

namespace quillon {

ReportPane::ReportPane(QWidget* parent) : QTextEdit(parent) {}

std::unique_ptr<QTextDocument> ReportPane::NewDocument(const QFont& font)
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(font);
    QTextOption option = document->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    document->setDefaultTextOption(option);
    document->setPageSize(QSizeF(0, 0));
    document->documentLayout();
    return document;
}

namespace {

// The text of what is pasted or dropped; a source that offers only a web page gives that
// page's text.
QString PlainTextOf(const QMimeData& source)
{
    if (source.hasText())
        return source.text();
    if (source.hasHtml())
        return QTextDocumentFragment::fromHtml(source.html()).toPlainText();
    return {};
}

} // namespace

void ReportPane::PaceLayout()
{
    QObject* layout = document()->documentLayout();
    if (layout != m_paced) {
        if (m_paced)
            m_paced->removeEventFilter(this);
        m_paced = layout;
        layout->installEventFilter(this);
    }
    m_layoutTimer = 0;
}

namespace {

// The first block the layout has not reached: it lays out in order, and a block it reached has
// at least one line.
int FirstBlockNotLaidOut(const QTextDocument& document)
{
    int low = 0;
    int high = document.blockCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const QTextLayout* layout = document.findBlockByNumber(middle).layout();
        if (layout && layout->lineCount() > 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

constexpr qint64 kLayoutSliceMs = 12;
constexpr int kLayoutSliceBlocks = 200;
// Lines of a deep tree run to thousands of characters: a step also ends after this many.
constexpr int kLayoutSliceChars = 16384;

} // namespace

bool ReportPane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_paced || event->type() != QEvent::Timer)
        return QTextEdit::eventFilter(watched, event);
    QTextDocument* shown = document();
    const int blocks = shown->blockCount();
    int next = FirstBlockNotLaidOut(*shown);
    const int id = static_cast<QTimerEvent*>(event)->timerId();
    if (next >= blocks || id != m_layoutTimer) {
        // Qt's own handling; a timer whose event moved the layout on is its layout timer (its
        // first steps are small). Once the layout is whole, the next run learns it again.
        m_layoutTimer = 0;
        watched->event(event);
        if (next < blocks && FirstBlockNotLaidOut(*shown) != next)
            m_layoutTimer = id;
        return true;
    }
    // In place of Qt's ever larger step: the layout is moved on a few hundred lines at a time
    // for a bounded time (asking where a block is lays the document out up to it).
    QElapsedTimer clock;
    clock.start();
    QAbstractTextDocumentLayout* layout = shown->documentLayout();
    while (next < blocks && clock.elapsed() < kLayoutSliceMs) {
        const int from = shown->findBlockByNumber(next).position();
        const int byChars = shown->findBlock(from + kLayoutSliceChars).blockNumber();
        next = std::min({blocks - 1, next + kLayoutSliceBlocks, std::max(next, byChars)});
        layout->blockBoundingRect(shown->findBlockByNumber(next));
        ++next;
    }
    return true;
}

bool ReportPane::canInsertFromMimeData(const QMimeData* source) const
{
    return source && (source->hasText() || source->hasHtml());
}

void ReportPane::insertFromMimeData(const QMimeData* source)
{
    const QString text = source ? PlainTextOf(*source) : QString();
    if (text.isEmpty())
        return;
    // insertText takes the cursor's character format, as typing would.
    QTextCursor cursor = textCursor();
    cursor.insertText(text);
    setTextCursor(cursor);
}

} // namespace quillon
