#include "platform/RuntimeTuning.h"

#include <QAbstractTextDocumentLayout>
#include <QByteArray>
#include <QElapsedTimer>
#include <QEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimerEvent>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

namespace quillon {

bool TuningOn()
{
    const char* off = std::getenv("QUILLON_NO_TUNING");
    return !off || !*off || std::strcmp(off, "0") == 0;
}

void MapLargeBuffersApart(std::size_t bytes)
{
    if (TuningOn())
        ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(bytes));
}

void ReturnFreedMemory()
{
    if (TuningOn())
        ::malloc_trim(0);
}

void MergeFreedBlocks()
{
    if (TuningOn())
        QByteArray(8192, Qt::Uninitialized).detach();
}

void LayoutPacer::Pace(QTextDocument* document)
{
    QAbstractTextDocumentLayout* layout =
        document && TuningOn() ? document->documentLayout() : nullptr;
    if (layout != m_paced) {
        if (m_paced)
            m_paced->removeEventFilter(this);
        m_paced = layout;
        if (layout)
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

bool LayoutPacer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_paced || event->type() != QEvent::Timer)
        return QObject::eventFilter(watched, event);
    QTextDocument* shown = m_paced->document();
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
    while (next < blocks && clock.elapsed() < kLayoutSliceMs) {
        const int from = shown->findBlockByNumber(next).position();
        const int byChars = shown->findBlock(from + kLayoutSliceChars).blockNumber();
        next = std::min({blocks - 1, next + kLayoutSliceBlocks, std::max(next, byChars)});
        m_paced->blockBoundingRect(shown->findBlockByNumber(next));
        ++next;
    }
    return true;
}

} // namespace quillon
