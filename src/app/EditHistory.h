#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QTextDocument;

namespace quillon {

/// The report pane's undo and redo history: eleven slots, numbered 0 to 10, each naming one
/// state of the pane, and the position of the slot that holds the current state. Slot 0 is the
/// empty pane at start; every recorded change moves to the next slot, dropping the oldest once
/// all eleven are used, so at most ten Undo steps follow one another.
///
/// A slot does not copy the pane's content. It names a document and a depth in that document's
/// own undo stack, reached after the change (edits are never merged across changes); going back to a slot undoes
/// or redoes the document to that depth. Only a whole new content (a report loaded, New Job)
/// starts a new document, and the one it replaces is kept, unchanged and uncopied, for Undo.
/// A keystroke therefore costs what the keystroke changed, however long the report is.
///
/// A change after an Undo ends the line of states that Redo could reach: Redo stops at the
/// newest state instead of jumping into a line of edits that no longer follows.
class EditHistory : public QObject {
    Q_OBJECT
public:
    static constexpr int kSlots = 11;
    /// Whole documents kept besides the one shown; older slots go when a further one comes.
    static constexpr int kMaxKeptDocuments = 3;

    /// show puts a document into the pane; it is called whenever Undo or Redo moves to a slot
    /// of another document. The history starts with an empty document in slot 0.
    explicit EditHistory(std::function<void(QTextDocument*)> show, QObject* parent = nullptr);
    ~EditHistory() override;

    /// The document that holds the current state; the pane shows it.
    QTextDocument* Current() const;

    /// Records that the current document changed (call it from the pane's textChanged signal).
    /// Does nothing while capture is suppressed.
    void RecordChange();

    /// Makes document the pane's whole new content (shown at once) and records it as a change.
    /// The history owns it from now on.
    void ReplaceDocument(std::unique_ptr<QTextDocument> document);

    /// One step back; false at slot 0.
    bool Undo();
    /// One step forward; false at the newest state.
    bool Redo();

    /// The slot of the current state, 0 to 10.
    int Position() const { return m_position; }
    /// The slot of the newest state that Redo can reach.
    int Newest() const { return m_newest; }
    /// True while Undo or Redo writes a state back into the pane.
    bool CaptureSuppressed() const { return m_suppressed; }
    /// Documents the history holds, the shown one included.
    int DocumentCount() const { return int(m_documents.size()); }

Q_SIGNALS:
    /// The current state changed through Undo or Redo.
    void restored();

private:
    struct Slot {
        QTextDocument* document = nullptr;
        int depth = 0;
    };

    QTextDocument* NewDocument();
    void Push(const Slot& slot);
    void DropOldest();
    void Restore(int position);
    void ReleaseUnused();
    int KeptDocuments() const;

    std::function<void(QTextDocument*)> m_show;
    std::vector<std::unique_ptr<QTextDocument>> m_documents;
    std::array<Slot, kSlots> m_slots;
    int m_position = 0;
    int m_newest = 0;
    bool m_suppressed = false;
};

} // namespace quillon
