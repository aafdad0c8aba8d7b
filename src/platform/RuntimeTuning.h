#pragma once

#include <QObject>
#include <QPointer>
#include <cstddef>

class QAbstractTextDocumentLayout;
class QTextDocument;

namespace quillon {

/// Every way the program tunes the C library's allocator and Qt's text layout for large reports
/// is here, behind one switch: with QUILLON_NO_TUNING set to anything but "" or "0" each of them
/// does nothing, so what the tuning is worth can be measured against the libraries' own
/// behaviour (bench_window_stalls --no-tuning). The switch is read at every call.
bool TuningOn();

/// What the window and the batch commands ask of the C library's allocator. Large buffers that
/// grow by doubling (a report's text and tables, a scan's record list) are mapped on their own,
/// so they grow without copying and go back to the system whole when freed. Under the
/// library's own threshold, which rises to 32 MiB after the first such block is freed, each later
/// buffer left its old copies as holes in the heap.

/// The window's threshold: its reports' buffers of a few megabytes and more.
inline constexpr std::size_t kWindowMapThreshold = std::size_t(4) << 20;
/// A comparison's: its second scan's record list grows in blocks well below the window's.
inline constexpr std::size_t kCompareMapThreshold = std::size_t(128) << 10;

/// Maps every allocation of at least bytes on its own, for the whole process.
void MapLargeBuffersApart(std::size_t bytes = kWindowMapThreshold);

/// Hands back to the system the free blocks scattered through the heap (a scan just let go), so
/// that what comes next does not come on top of them.
void ReturnFreedMemory();

/// Makes the C library merge the small blocks freed so far (a document being taken apart a
/// slice at a time); it merges them at its next request of some kilobytes otherwise, all a
/// million lines' worth in one call.
void MergeFreedBlocks();

/// Keeps the background layout of a shown document in short steps. Qt lays a long document out
/// a step at a time, each step twice the one before up to 200,000 characters: over 100 ms for a
/// report's lines. The pacer recognises Qt's layout timer among the layout's timers and moves
/// the layout on a few hundred lines at a time in its place.
class LayoutPacer : public QObject {
public:
    /// Paces document's layout from now on, the one paced before no longer; call it whenever
    /// another document is shown.
    void Pace(QTextDocument* document);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QAbstractTextDocumentLayout> m_paced;
    int m_layoutTimer = 0; ///< the id of its timer that moves the layout on, once seen
};

} // namespace quillon
