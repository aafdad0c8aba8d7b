#pragma once

#include "output/PageMargins.h"

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>
#include <utility>

class QPagedPaintDevice;
class QPainter;
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
class PagedRenderer {
public:
    explicit PagedRenderer(const PageMargins& margins);
    ~PagedRenderer();
    PagedRenderer(const PagedRenderer&) = delete;
    PagedRenderer& operator=(const PagedRenderer&) = delete;

    /// True when the margins leave room to print on device's page (at least a quarter inch
    /// each way inside its printable area).
    bool MarginsLeaveRoom(const QPagedPaintDevice& device) const;

    /// Lays out a copy of document for device and breaks it into pages. False, with Error(),
    /// when the margins leave no room on the device's page.
    bool Paginate(const QTextDocument& document, QPagedPaintDevice& device);

    /// Paints page index of the last Paginate onto painter, which is active on that device.
    void PaintPage(QPainter& painter, int index) const;

    /// Paginates document and prints every page on device, starting a new sheet between pages.
    /// False, with Error(), when the margins leave no room or the device cannot be painted
    /// (for example a file that cannot be written).
    bool Render(const QTextDocument& document, QPagedPaintDevice& device);

    /// The pages of the last Paginate; an empty document still gives one (blank) page.
    const QList<PrintedPage>& Pages() const { return m_pages; }

    /// Where the text goes, in device units from the painter's origin on each page.
    QRect TargetRect() const { return m_target; }

    /// The texts of the visual lines printed on page index, in order (for checks; it walks
    /// the whole layout).
    QStringList PageLines(int index) const;

    /// Why the last Paginate or Render failed.
    QString Error() const { return m_error; }

private:
    /// Where the text goes on device, in device units from the painter's origin; empty when
    /// the margins leave no room.
    QRect TargetOn(const QPagedPaintDevice& device) const;

    PageMargins m_margins;
    std::unique_ptr<QTextDocument> m_layout;
    QList<PrintedPage> m_pages;
    /// Where each page starts in the layout: block number and line within that block.
    QList<std::pair<int, int>> m_pageStarts;
    QRect m_target;
    QString m_error;
};

} // namespace quillon
