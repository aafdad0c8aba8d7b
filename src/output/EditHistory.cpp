#include "output/EditHistory.h"

#include "platform/RuntimeTuning.h"
#include "rtf/CompactText.h"

#include <QAbstractTextDocumentLayout>
#include <QByteArray>
#include <QElapsedTimer>
#include <QEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace quillon {

namespace {

// A document of more blocks than this is deleted in a turn of the event loop of its own; one of
// more than kDeleteWholeBlocks is first taken apart, each step removing kDismantleBlocks of its
// last blocks, for at most kDismantleMs a turn. Removing blocks costs about ten times what
// deleting them with their document does (187,000 blocks: 200 ms in slices, 20 ms deleted,
// 70 ms deleted once laid out), so slices only bring a document down to that size.
constexpr int kDismantleBlocks = 1000;
constexpr int kDismantleMs = 8;
constexpr int kDeleteWholeBlocks = 200000;

// Moves the document along its own undo stack to depth. Each step is checked to move: the
// document's count of redo steps cannot be trusted (it reads 0 after the first Undo), so the
// loops stop when a step changes nothing.
void MoveToDepth(QTextDocument* document, int depth)
{
    for (int steps = document->availableUndoSteps(); steps > depth;) {
        document->undo();
        const int now = document->availableUndoSteps();
        if (now == steps)
            break;
        steps = now;
    }
    for (int steps = document->availableUndoSteps(); steps < depth;) {
        document->redo();
        const int now = document->availableUndoSteps();
        if (now == steps)
            break;
        steps = now;
    }
    document->setModified(false);
}

} // namespace

EditHistory::EditHistory(std::function<void(QTextDocument*)> show, Expand expand, QObject* parent)
    : QObject(parent), m_show(std::move(show)), m_expand(std::move(expand))
{
    if (!m_expand)
        m_expand = [](const CompactText& text) {
            auto document = std::make_unique<QTextDocument>();
            LoadCompact(text, *document);
            return document;
        };
    m_dismantle.setInterval(0);
    connect(&m_dismantle, &QTimer::timeout, this, &EditHistory::Dismantle);
    QTextDocument* first = Adopt(std::make_unique<QTextDocument>(), {});
    m_slots[0] = {first, 0, {}};
    Show(first);
}

EditHistory::~EditHistory() = default;

QTextDocument* EditHistory::Adopt(std::unique_ptr<QTextDocument> document,
                                  std::shared_ptr<const CompactText> source)
{
    QTextDocument* raw = document.get();
    raw->setUndoRedoEnabled(true);
    raw->clearUndoRedoStacks();
    raw->setModified(false);
    m_documents.push_back({std::move(document), std::move(source)});
    return raw;
}

void EditHistory::Show(QTextDocument* document)
{
    const bool was = m_suppressed;
    m_suppressed = true;
    m_shown = document;
    if (m_show)
        m_show(document);
    m_suppressed = was;
}

void EditHistory::RecordChange()
{
    QTextDocument* document = m_slots[m_position].document;
    if (m_suppressed || !document || document != m_shown)
        return;
    const int depth = document->availableUndoSteps();
    // Without the modified mark the document never merges the next edit into this one, so
    // every recorded change stays one step of its undo stack.
    document->setModified(false);
    const Slot& current = m_slots[m_position];
    // One change may add several commands (a format spread over runs); the depth reached
    // after it is the mark of its state either way.
    if (depth > current.depth) {
        Push({document, depth, {}});
        return;
    }
    if (depth == current.depth) {
        // Joined to the step already recorded (one command in several parts): same slot.
        m_newest = m_position;
        ReleaseUnused();
        return;
    }
    // The document's stack was cleared or rewritten behind the history's back: the states
    // recorded for it can no longer be reached, so the history starts again from here.
    m_slots = {};
    m_slots[0] = {document, depth, {}};
    m_position = m_newest = 0;
    ReleaseUnused();
}

void EditHistory::ReplaceDocument(std::unique_ptr<QTextDocument> document,
                                  std::shared_ptr<const CompactText> source)
{
    QTextDocument* previous = m_shown;
    QTextDocument* raw = Adopt(std::move(document), source);
    Show(raw);
    Push({raw, 0, std::move(source)});
    if (previous)
        Compact(previous);
    ReleaseUnused();
}

void EditHistory::SetAside()
{
    QTextDocument* previous = m_shown;
    if (!previous || previous != m_slots[m_position].document)
        return;
    Show(Adopt(std::make_unique<QTextDocument>(), {}));
    Compact(previous);
    ReleaseUnused();
}

void EditHistory::BringBack()
{
    if (m_shown != m_slots[m_position].document)
        Restore(m_position);
}

void EditHistory::Compact(QTextDocument* document)
{
    auto owned = std::find_if(m_documents.begin(), m_documents.end(),
                              [&](const Owned& o) { return o.document.get() == document; });
    if (owned == m_documents.end())
        return;
    const bool was = m_suppressed;
    m_suppressed = true;
    // Each state of the document that a slot names, written out once; depth 0 of a loaded
    // report is the text it came from.
    for (int i = 0; i <= m_newest; ++i) {
        Slot& slot = m_slots[i];
        if (slot.document != document)
            continue;
        if (slot.depth == 0 && owned->source) {
            slot.compact = owned->source;
        } else if (!slot.compact) {
            MoveToDepth(document, slot.depth);
            slot.compact = CompactDocument(*document);
        }
        for (int j = i + 1; j <= m_newest; ++j) {
            if (m_slots[j].document == document && m_slots[j].depth == slot.depth)
                m_slots[j].compact = slot.compact;
        }
        slot.document = nullptr;
    }
    m_suppressed = was;
}

void EditHistory::Push(const Slot& slot)
{
    ++m_position;
    if (m_position >= kSlots)
        DropOldest();
    m_slots[m_position] = slot;
    m_newest = m_position;
    ReleaseUnused();
}

void EditHistory::DropOldest()
{
    std::move(m_slots.begin() + 1, m_slots.end(), m_slots.begin());
    m_slots[kSlots - 1] = {};
    --m_position;
    m_newest = std::max(0, m_newest - 1);
}

bool EditHistory::Undo()
{
    if (m_position == 0)
        return false;
    Restore(m_position - 1);
    return true;
}

bool EditHistory::Redo()
{
    if (m_position >= m_newest)
        return false;
    Restore(m_position + 1);
    return true;
}

void EditHistory::Restore(int position)
{
    m_suppressed = true;
    Slot& target = m_slots[position];
    if (!target.document) {
        // A kept state comes back as a document of its own, at depth 0 of a fresh stack. The
        // shown one is put away first, so two whole reports never share the memory.
        if (QTextDocument* previous = m_shown) {
            Show(Adopt(std::make_unique<QTextDocument>(), {}));
            Compact(previous);
            DropUnless([&](const QTextDocument* document) { return document != previous; });
            FinishRetiring(m_yield);
        }
        std::unique_ptr<QTextDocument> loaded = m_expand(*target.compact);
        target.document = Adopt(std::move(loaded), target.compact);
        target.depth = 0;
        Show(target.document);
    } else if (target.document != m_shown) {
        Show(target.document);
    }
    MoveToDepth(target.document, target.depth);
    m_position = position;
    ReleaseUnused();
    m_suppressed = false;
    Q_EMIT restored();
}

qsizetype EditHistory::CompactSize() const
{
    std::vector<const CompactText*> seen;
    qsizetype total = 0;
    for (int i = 0; i <= m_newest; ++i) {
        const CompactText* text = m_slots[i].compact.get();
        if (text && std::find(seen.begin(), seen.end(), text) == seen.end()) {
            seen.push_back(text);
            total += text->storedSize();
        }
    }
    return total;
}

void EditHistory::ReleaseUnused()
{
    // Slots above the newest state are no longer reachable.
    for (int i = m_newest + 1; i < kSlots; ++i)
        m_slots[i] = {};
    auto used = [this](const QTextDocument* document) {
        if (document == m_shown)
            return true;
        for (int i = 0; i <= m_newest; ++i) {
            if (m_slots[i].document == document)
                return true;
        }
        return false;
    };
    DropUnless(used);
}

void EditHistory::DropUnless(const std::function<bool(const QTextDocument*)>& keep)
{
    for (auto it = m_documents.begin(); it != m_documents.end();) {
        if (keep(it->document.get())) {
            ++it;
        } else {
            Retire(std::move(it->document));
            it = m_documents.erase(it);
        }
    }
}

void EditHistory::Retire(std::unique_ptr<QTextDocument> document)
{
    if (document->blockCount() <= kDismantleBlocks)
        return;
    // Undo stays on while the slices go: with it off, every removal rewrites the whole text
    // that is left (the removed characters are squeezed out at once), which made taking a
    // report apart grow with the square of its length. Each slice's undo steps are dropped
    // after it; the text goes with the document.
    document->setUndoRedoEnabled(true);
    document->clearUndoRedoStacks();
    if (QObject* layout = document->findChild<QAbstractTextDocumentLayout*>()) {
        // A null page size makes the layout skip the removals (one pass over the blocks); its
        // timers, which would go on laying out a report shown a moment ago, are held.
        document->setPageSize(QSizeF(0, 0));
        layout->installEventFilter(this);
    }
    m_retiring.push_back(std::move(document));
    m_dismantle.start();
}

void EditHistory::Dismantle()
{
    QElapsedTimer clock;
    clock.start();
    while (!m_retiring.empty() && clock.elapsed() < kDismantleMs) {
        QTextDocument* document = m_retiring.back().get();
        const int blocks = document->blockCount();
        if (blocks <= kDeleteWholeBlocks) {
            m_retiring.pop_back();
            continue;
        }
        // From the end, so no block is moved.
        QTextCursor cursor(document);
        cursor.movePosition(QTextCursor::End);
        cursor.setPosition(document->findBlockByNumber(blocks - kDismantleBlocks).position(),
                           QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        document->clearUndoRedoStacks();
    }
    MergeFreedBlocks();
    if (m_retiring.empty())
        m_dismantle.stop();
}

void EditHistory::FinishRetiring(const std::function<void()>& yield)
{
    while (!m_retiring.empty()) {
        Dismantle();
        if (yield && !m_retiring.empty())
            yield();
    }
}

bool EditHistory::eventFilter(QObject* watched, QEvent* event)
{
    // Installed only on the layouts of documents being taken apart.
    if (event->type() == QEvent::Timer)
        return true;
    return QObject::eventFilter(watched, event);
}

} // namespace quillon
