#include "app/EditHistory.h"

#include <QTextDocument>
#include <algorithm>

namespace quillon {

EditHistory::EditHistory(std::function<void(QTextDocument*)> show, QObject* parent)
    : QObject(parent), m_show(std::move(show))
{
    m_slots[0] = {NewDocument(), 0};
    if (m_show)
        m_show(m_slots[0].document);
}

EditHistory::~EditHistory() = default;

QTextDocument* EditHistory::NewDocument()
{
    m_documents.push_back(std::make_unique<QTextDocument>());
    QTextDocument* document = m_documents.back().get();
    document->setUndoRedoEnabled(true);
    return document;
}

QTextDocument* EditHistory::Current() const
{
    return m_slots[m_position].document;
}

void EditHistory::RecordChange()
{
    if (m_suppressed)
        return;
    QTextDocument* document = Current();
    const int depth = document->availableUndoSteps();
    // Without the modified mark the document never merges the next edit into this one, so
    // every recorded change stays one step of its undo stack.
    document->setModified(false);
    const Slot& current = m_slots[m_position];
    // One change may add several commands (a format spread over runs); the depth reached
    // after it is the mark of its state either way.
    if (depth > current.depth) {
        Push({document, depth});
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
    m_slots[0] = {document, depth};
    m_position = m_newest = 0;
    ReleaseUnused();
}

void EditHistory::ReplaceDocument(std::unique_ptr<QTextDocument> document)
{
    QTextDocument* raw = document.get();
    raw->setUndoRedoEnabled(true);
    raw->clearUndoRedoStacks();
    raw->setModified(false);
    m_documents.push_back(std::move(document));
    {
        const bool was = m_suppressed;
        m_suppressed = true;
        if (m_show)
            m_show(raw);
        m_suppressed = was;
    }
    Push({raw, 0});
    while (KeptDocuments() > kMaxKeptDocuments && m_position > 0)
        DropOldest();
    ReleaseUnused();
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
    const Slot& target = m_slots[position];
    if (target.document != Current() && m_show)
        m_show(target.document);
    QTextDocument* document = target.document;
    // Each step is checked to move: the document's count of redo steps cannot be trusted (it
    // reads 0 after the first Undo), so the loops stop when a step changes nothing.
    for (int steps = document->availableUndoSteps(); steps > target.depth;) {
        document->undo();
        const int now = document->availableUndoSteps();
        if (now == steps)
            break;
        steps = now;
    }
    for (int steps = document->availableUndoSteps(); steps < target.depth;) {
        document->redo();
        const int now = document->availableUndoSteps();
        if (now == steps)
            break;
        steps = now;
    }
    document->setModified(false);
    m_position = position;
    m_suppressed = false;
    Q_EMIT restored();
}

int EditHistory::KeptDocuments() const
{
    std::vector<const QTextDocument*> seen;
    for (int i = 0; i <= m_newest; ++i) {
        const QTextDocument* document = m_slots[i].document;
        if (document && document != Current() &&
            std::find(seen.begin(), seen.end(), document) == seen.end())
            seen.push_back(document);
    }
    return int(seen.size());
}

void EditHistory::ReleaseUnused()
{
    auto used = [this](const QTextDocument* document) {
        for (int i = 0; i <= m_newest; ++i) {
            if (m_slots[i].document == document)
                return true;
        }
        return false;
    };
    // Slots above the newest state are no longer reachable.
    for (int i = m_newest + 1; i < kSlots; ++i)
        m_slots[i] = {};
    std::erase_if(m_documents, [&](const std::unique_ptr<QTextDocument>& document) {
        return !used(document.get());
    });
}

} // namespace quillon
