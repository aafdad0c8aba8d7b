#pragma once

#include "output/PageMargins.h"

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

class QPagedPaintDevice;
class QPainter;
class QTextBlock;
class QTextDocument;

namespace quillon {

/// One sheet of a printed report: the visual lines [firstLine, firstLine + lineCount) of the
/// laid-out copy, counted from 0 through the whole document, and the band of the layout, in
/// device units, from the top of its first line to the bottom of its last.
struct PrintedPage {
    qint64 firstLine = 0;
    qint64 lineCount = 0;
    qreal top = 0;
    qreal bottom = 0;
};

/// Prints a rich-text document page by page inside the page margins. The document is copied
/// and laid out at the width between the margins, in the device's own units, so fonts keep
/// their point sizes; lines longer than that width wrap. Pages break between lines, so no line
/// is cut across two sheets and every line is printed once. No header, footer or page number
/// is added.
///
/// The copy is made and laid out in pieces of a few hundred paragraphs, each a document of its
/// own: the text layout keeps its coordinates in 26.6 fixed point, which at 1,200 dpi overflows
/// about 2,500 pages down one document. Each piece repeats the last paragraph of the piece
/// before it, which places it exactly where the whole document would; page bands are kept in
/// the report's coordinates (qreal, exact for these multiples of 1/64).
class PagedRenderer {
public:
    explicit PagedRenderer(const PageMargins& margins);
    ~PagedRenderer();
    PagedRenderer(const PagedRenderer&) = delete;
    PagedRenderer& operator=(const PagedRenderer&) = delete;

    /// True when the margins leave room to print on device's page (at least a quarter inch
    /// each way inside its printable area).
    bool MarginsLeaveRoom(const QPagedPaintDevice& device) const;

    /// Called between two pieces of work (a piece of the layout, a page): returns false to
    /// stop (Ctrl+C, Cancel).
    using KeepGoing = std::function<bool()>;

    /// Lays out a copy of document for device and breaks it into pages, keeping the whole
    /// layout for PaintPage and PageLines. False, with Error(), when the margins leave no room
    /// on the device's page or keepGoing said stop (then Cancelled()).
    bool Paginate(const QTextDocument& document, QPagedPaintDevice& device,
                  const KeepGoing& keepGoing = {});

    /// Paints page index of the last Paginate onto painter, which is active on that device.
    void PaintPage(QPainter& painter, int index) const;

    /// Paginates document and prints every page on device, starting a new sheet between pages,
    /// as it goes: only the pieces of the pages not yet printed are held, so memory does not
    /// grow with the report. False, with Error(), when the margins leave no room, the device
    /// cannot be painted (for example a file that cannot be written) or keepGoing said stop;
    /// abandon then runs while the painter is still active (a printer can drop its job there).
    /// Pages() holds every page afterwards; PaintPage and PageLines have nothing left to show.
    bool Render(const QTextDocument& document, QPagedPaintDevice& device,
                const KeepGoing& keepGoing = {}, const std::function<void()>& abandon = {});

    /// The pages of the last Paginate; an empty document still gives one (blank) page.
    const QList<PrintedPage>& Pages() const { return m_pages; }

    /// Why the last Paginate or Render failed.
    QString Error() const { return m_error; }
    /// True when the last Paginate or Render stopped because keepGoing said so.
    bool Cancelled() const { return m_cancelled; }

    // Test and benchmark probes, not used by the program itself.
    /// Where the text goes, in device units from the painter's origin on each page.
    QRect TargetRect() const { return m_target; }

    /// The texts of the visual lines printed on page index, in order (for checks; it walks
    /// the whole layout).
    QStringList PageLines(int index) const;

private:
    struct Piece;
    /// Where a page starts: piece number, block within the piece, line within the block.
    struct PageStart {
        qint64 piece = 0;
        int block = 0;
        int line = 0;
    };

    /// Where the text goes on device, in device units from the painter's origin; empty when
    /// the margins leave no room.
    QRect TargetOn(const QPagedPaintDevice& device) const;

    /// Lays document out piece by piece and breaks it into pages. finished runs with each
    /// page's index (and whether it holds ink) once its last line is known, while the pieces
    /// it needs are still held; it returns false to stop. With keep false, the pieces before
    /// the one where page m_firstNeeded starts are let go as the layout moves on.
    bool layOut(const QTextDocument& document, QPagedPaintDevice& device,
                const KeepGoing& keepGoing, const std::function<bool(int, bool)>& finished,
                bool keep);
    /// The held piece of that number, or null.
    const Piece* piece(qint64 number) const;
    struct PageFill;
    Piece& copyPiece(const QTextDocument& document, QPagedPaintDevice& device, QTextBlock& source,
                     QTextBlock& last);
    bool breakPiece(Piece& piece, qint64 number, PageFill& fill,
                    const std::function<bool(int, bool)>& finished);
    void dropPiecesBefore(qint64 number);
    void reset();

    PageMargins m_margins;
    /// The pieces still held, numbered from m_firstPiece on.
    std::deque<std::unique_ptr<Piece>> m_pieces;
    qint64 m_firstPiece = 0;
    /// The first page whose pieces Render still needs (its pages before are printed).
    int m_firstNeeded = 0;
    QList<PrintedPage> m_pages;
    QList<PageStart> m_pageStarts;
    QRect m_target;
    QString m_error;
    bool m_cancelled = false;
};

} // namespace quillon
