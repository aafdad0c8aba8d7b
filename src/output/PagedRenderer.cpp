#include "output/PagedRenderer.h"

#include "rtf/RtfSink.h"

#include <QAbstractTextDocumentLayout>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
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

// The document's indents and paragraph spacing are in document units of the screen
// (kTwipsPerDocumentUnit twips each); on the device they must keep their size on paper.
void ScaleBlockSpacing(QTextDocument& document, const QPagedPaintDevice& device)
{
    const double unitsPerInch = kTwipsPerInch / kTwipsPerDocumentUnit;
    const double scaleX = device.logicalDpiX() / unitsPerInch;
    const double scaleY = device.logicalDpiY() / unitsPerInch;
    // One edit block: the layout hears of the change once, not once per paragraph.
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if (format.leftMargin() == 0 && format.rightMargin() == 0 && format.textIndent() == 0 &&
            format.topMargin() == 0 && format.bottomMargin() == 0)
            continue;
        format.setLeftMargin(format.leftMargin() * scaleX);
        format.setRightMargin(format.rightMargin() * scaleX);
        format.setTextIndent(format.textIndent() * scaleX);
        format.setTopMargin(format.topMargin() * scaleY);
        format.setBottomMargin(format.bottomMargin() * scaleY);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
    cursor.endEditBlock();
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
    m_pageStarts.clear();
    m_layout.reset();
    m_error.clear();

    const QRect target = TargetOn(device);
    if (target.isEmpty()) {
        m_error = QStringLiteral("The page margins leave no room to print on this paper.");
        return false;
    }
    m_target = target;

    m_layout.reset(document.clone());
    m_layout->setUndoRedoEnabled(false); // the copy is changed here, never undone
    ScaleBlockSpacing(*m_layout, device);
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
    // Whether each page holds a line with something to print: trailing pages of blank lines
    // would come out of the printer as empty sheets.
    QList<bool> inked;
    bool currentInked = false;
    QTextBlock textBlock;
    QString blockText;
    int lineInBlock = 0;
    forEachLine(*m_layout,
                [&](qreal top, qreal bottom, int start, int length, const QTextBlock& block) {
                    if (block == textBlock) {
                        ++lineInBlock;
                    } else {
                        textBlock = block;
                        blockText = block.text();
                        lineInBlock = 0;
                    }
                    if (!any) {
                        current.top = top;
                        m_pageStarts.append({block.blockNumber(), 0});
                        any = true;
                    } else if (current.lineCount > 0 && bottom - current.top > height) {
                        m_pages.append(current);
                        inked.append(currentInked);
                        current = PrintedPage{index, 0, top, top};
                        m_pageStarts.append({block.blockNumber(), lineInBlock});
                        currentInked = false;
                    }
                    currentInked = currentInked ||
                                   !QStringView(blockText).mid(start, length).trimmed().isEmpty();
                    ++current.lineCount;
                    current.bottom = bottom;
                    ++index;
                });
    m_pages.append(current); // the last page, or one blank page for an empty layout
    inked.append(currentInked);
    while (m_pages.size() > 1 && !inked.back()) {
        m_pages.removeLast();
        m_pageStarts.removeLast();
        inked.removeLast();
    }
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
    painter.setPen(Qt::black);
    // The page's lines one by one: drawing whole blocks through a clip would also draw the
    // line above the clip of a paragraph that crosses the break, which the clip hides on
    // paper but a PDF keeps in its text.
    qint64 remaining = page.lineCount;
    const auto [blockNumber, firstInBlock] = m_pageStarts.value(index);
    QTextBlock block = m_layout->findBlockByNumber(blockNumber);
    for (int first = firstInBlock; block.isValid() && remaining > 0;
         block = block.next(), first = 0) {
        const QTextLayout* lines = block.layout();
        if (!block.isVisible() || !lines)
            continue;
        if (first == 0 && lines->lineCount() <= remaining) {
            // A whole block in one call, which also lets the layout free its glyphs. The
            // layout adds its own position; a single line (below) does not.
            lines->draw(&painter, QPointF());
            remaining -= lines->lineCount();
            continue;
        }
        for (int i = first; i < lines->lineCount() && remaining > 0; ++i, --remaining)
            lines->lineAt(i).draw(&painter, lines->position());
    }
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
