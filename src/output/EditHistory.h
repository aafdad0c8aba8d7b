#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QTextDocument;

namespace quillon {

class CompactText;

/// The report pane's undo and redo history: eleven slots, numbered 0 to 10, each naming one
/// state of the pane, and the position of the slot that holds the current state. Slot 0 is the
/// empty pane at start; every recorded change moves to the next slot, dropping the oldest once
/// all eleven are used, so at most ten Undo steps follow one another.
///
/// Only the shown document is kept whole. A slot of it names a depth in that document's own
/// undo stack, reached after the change (edits are never merged across changes), so a
/// keystroke costs what the keystroke changed, however long the report is. When another
/// document is shown (a report loaded, New Job, Undo across reports), the states the slots
/// name in the one that goes are kept as compact rich text: the text a report was loaded
/// from, or the document written out when it had been edited. Going back to such a slot
/// loads it again. Eleven states of large reports thus cost one document and ten compressed
/// texts.
///
/// A change after an Undo ends the line of states that Redo could reach: Redo stops at the
/// newest state instead of jumping into a line of edits that no longer follows.
class EditHistory : public QObject {
    Q_OBJECT
public:
    static constexpr int kSlots = 11;
    /// Loads a compact state into a new document.
    using Expand = std::function<std::unique_ptr<QTextDocument>(const CompactText&)>;

    /// show puts a document into the pane; it is called whenever another document is to be
    /// shown. expand loads a kept state (when empty, a
    /// default-font load on the calling thread). The history starts
    /// with an empty document in slot 0.
    explicit EditHistory(std::function<void(QTextDocument*)> show, Expand expand = {},
                         QObject* parent = nullptr);
    ~EditHistory() override;

    /// The document the pane shows.
    QTextDocument* Current() const { return m_shown; }

    /// Records that the current document changed (call it from its contentsChanged signal).
    /// Does nothing while capture is suppressed or while the current state is set aside.
    void RecordChange();

    /// Makes document the pane's whole new content (shown at once) and records it as a change.
    /// The history owns it from now on. source, when given, is the rich text it was loaded
    /// from; the history keeps that instead of writing the document out when it goes.
    void ReplaceDocument(std::unique_ptr<QTextDocument> document,
                         std::shared_ptr<const CompactText> source = {});

    /// Keeps the current state compact and shows an empty document instead, so that a large
    /// new report can be built without two whole reports in memory. ReplaceDocument or
    /// BringBack ends it.
    void SetAside();
    /// Shows the current state again after SetAside (when no new document came).
    void BringBack();

    /// One step back; false at slot 0.
    bool Undo();
    /// One step forward; false at the newest state.
    bool Redo();

    /// Takes apart at once every document let go, calling yield between two slices (they are
    /// otherwise taken apart in the background).
    void FinishRetiring(const std::function<void()>& yield);
    /// What Undo and Redo call between two slices of taking apart the report they put away
    /// before they load a kept one.
    void SetYield(std::function<void()> yield) { m_yield = std::move(yield); }

    // Observers for tests and benchmarks, not used by the program itself.
    /// The slot of the current state, 0 to 10.
    int Position() const { return m_position; }
    /// True while Undo or Redo writes a state back into the pane.
    bool CaptureSuppressed() const { return m_suppressed; }
    /// Whole documents the history holds, the shown one included.
    int DocumentCount() const { return int(m_documents.size()); }
    /// Bytes of the states kept compact.
    qsizetype CompactSize() const;
    /// Documents no longer held that are still being taken apart.
    int RetiringCount() const { return int(m_retiring.size()); }

Q_SIGNALS:
    /// The current state changed through Undo or Redo.
    void restored();

private:
    struct Slot {
        QTextDocument* document = nullptr; ///< null once the state is kept compact
        int depth = 0;
        std::shared_ptr<const CompactText> compact;
    };
    struct Owned {
        std::unique_ptr<QTextDocument> document;
        std::shared_ptr<const CompactText> source; ///< its state at depth 0, when known
    };

    QTextDocument* Adopt(std::unique_ptr<QTextDocument> document,
                         std::shared_ptr<const CompactText> source);
    void Show(QTextDocument* document);
    void Compact(QTextDocument* document);
    void Push(const Slot& slot);
    void DropOldest();
    void Restore(int position);
    void ReleaseUnused();
    void DropUnless(const std::function<bool(const QTextDocument*)>& keep);
    void Retire(std::unique_ptr<QTextDocument> document);
    void Dismantle();
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::function<void(QTextDocument*)> m_show;
    Expand m_expand;
    std::function<void()> m_yield;
    std::vector<Owned> m_documents;
    /// Large documents let go, taken apart a slice at a time: deleting a laid-out report of a
    /// million lines in one call holds the window for a third of a second.
    std::vector<std::unique_ptr<QTextDocument>> m_retiring;
    QTimer m_dismantle;
    std::array<Slot, kSlots> m_slots;
    QTextDocument* m_shown = nullptr;
    int m_position = 0;
    int m_newest = 0;
    bool m_suppressed = false;
};

} // namespace quillon
