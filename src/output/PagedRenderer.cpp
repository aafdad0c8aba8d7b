#include "output/PagedRenderer.h"

#include <QAbstractTextDocumentLayout>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace quillon {

namespace {

constexpr double kTwipsPerInch = 1440.0;

int twipsToDevice(int twips, int dpi)
{
    return qRound(double(twips) * dpi / kTwipsPerInch);
}

// Calls visit(top, bottom, text start, text length, block) for every visual line of the
// laid-out document in order, with top and bottom in document coordinates.
template <class Visit> void forEachLine(const QTextDocument& document, Visit&& visit)
{
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!block.isVisible())
            continue;
        const QTextLayout* lines = block.layout();
        if (!lines)
            continue;
        const qreal blockTop = layout->blockBoundingRect(block).top();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const qreal top = blockTop + line.y();
            visit(top, top + line.height(), line.textStart(), line.textLength(), block);
        }
    }
}

} // namespace

PagedRenderer::PagedRenderer(const PageMargins& margins) : m_margins(margins) {}

PagedRenderer::~PagedRenderer() = default;

QRect PagedRenderer::TargetOn(const QPagedPaintDevice& device) const
{
    // The painter's origin is the corner of the device's printable area, which need not be
    // the corner of the sheet: the margins are measured from the sheet's edges.
    const int dpiX = device.logicalDpiX();
    const int dpiY = device.logicalDpiY();
    const QPageLayout page = device.pageLayout();
    const QRect sheet = page.fullRectPixels(dpiX);
    const QRect printable = page.paintRectPixels(dpiX);
    const QPoint offset = printable.topLeft() - sheet.topLeft();
    QRect target(QPoint(twipsToDevice(m_margins.left, dpiX) - offset.x(),
                        twipsToDevice(m_margins.top, dpiY) - offset.y()),
                 QPoint(sheet.width() - twipsToDevice(m_margins.right, dpiX) - offset.x() - 1,
                        sheet.height() - twipsToDevice(m_margins.bottom, dpiY) - offset.y() - 1));
    // Margins that overlap leave a turned-over rectangle, which QRect would straighten out.
    if (target.right() < target.left() || target.bottom() < target.top())
        return {};
    // Nothing can be printed outside the printable area; narrower margins give way to it.
    target &= QRect(QPoint(0, 0), printable.size());
    // Less than a quarter inch either way cannot hold a line of report text.
    if (target.width() < dpiX / 4 || target.height() < dpiY / 4)
        return {};
    return target;
}

bool PagedRenderer::MarginsLeaveRoom(const QPagedPaintDevice& device) const
{
    return !TargetOn(device).isEmpty();
}

bool PagedRenderer::Paginate(const QTextDocument& document, QPagedPaintDevice& device)
{
    m_pages.clear();
    m_layout.reset();
    m_error.clear();

    const QRect target = TargetOn(device);
    if (target.isEmpty()) {
        m_error = QStringLiteral("The page margins leave no room to print on this paper.");
        return false;
    }
    m_target = target;

    m_layout.reset(document.clone());
    m_layout->setDefaultFont(document.defaultFont());
    m_layout->documentLayout()->setPaintDevice(&device);
    m_layout->setDocumentMargin(0);
    QTextOption option = m_layout->defaultTextOption();
    // On paper a long line wraps rather than running off the sheet; a name without blanks
    // wraps anywhere so no part of it is lost.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_layout->setDefaultTextOption(option);
    m_layout->setTextWidth(target.width());

    const qreal height = target.height();
    PrintedPage current;
    qint64 index = 0;
    bool any = false;
    forEachLine(*m_layout, [&](qreal top, qreal bottom, int, int, const QTextBlock&) {
        if (!any) {
            current.top = top;
            any = true;
        } else if (current.lineCount > 0 && bottom - current.top > height) {
            m_pages.append(current);
            current = PrintedPage{index, 0, top, top};
        }
        ++current.lineCount;
        current.bottom = bottom;
        ++index;
    });
    m_pages.append(current); // the last page, or one blank page for an empty layout
    return true;
}

void PagedRenderer::PaintPage(QPainter& painter, int index) const
{
    if (!m_layout || index < 0 || index >= m_pages.size())
        return;
    const PrintedPage& page = m_pages[index];
    if (page.lineCount == 0)
        return;
    // A line taller than the whole area is printed alone and cut at the bottom margin.
    const qreal bandHeight = qMin(page.bottom - page.top, qreal(m_target.height()));
    const QRectF band(0, page.top, m_target.width(), bandHeight);

    painter.save();
    painter.translate(m_target.left(), m_target.top() - page.top);
    painter.setClipRect(band);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    // Lines that only touch the band belong to the neighbouring pages: keep them out.
    context.clip = band.adjusted(0, 0.5, 0, -0.5);
    m_layout->documentLayout()->draw(&painter, context);
    painter.restore();
}

bool PagedRenderer::Render(const QTextDocument& document, QPagedPaintDevice& device)
{
    if (!Paginate(document, device))
        return false;
    QPainter painter;
    if (!painter.begin(&device)) {
        m_error = QStringLiteral("The printer could not be started.");
        return false;
    }
    for (int i = 0; i < m_pages.size(); ++i) {
        if (i > 0 && !device.newPage()) {
            m_error = QStringLiteral("The printer did not take a new page.");
            painter.end();
            return false;
        }
        PaintPage(painter, i);
    }
    if (!painter.end()) {
        m_error = QStringLiteral("The printed pages could not be finished.");
        return false;
    }
    return true;
}

QStringList PagedRenderer::PageLines(int index) const
{
    QStringList texts;
    if (!m_layout || index < 0 || index >= m_pages.size())
        return texts;
    const PrintedPage& page = m_pages[index];
    qint64 line = 0;
    forEachLine(*m_layout, [&](qreal, qreal, int start, int length, const QTextBlock& block) {
        if (line >= page.firstLine && line < page.firstLine + page.lineCount)
            texts.append(block.text().mid(start, length));
        ++line;
    });
    return texts;
}

} // namespace quillon
