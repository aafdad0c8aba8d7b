#include "output/PagedRenderer.h"

#include "rtf/RtfSink.h"

#include <QAbstractTextDocumentLayout>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <utility>

namespace quillon {

namespace {

constexpr double kTwipsPerInch = 1440.0;

int TwipsToDevice(int twips, int dpi)
{
    return qRound(double(twips) * dpi / kTwipsPerInch);
}

// A piece of the layout ends after this many paragraphs or characters, whichever comes
// first: a few pages' worth, far below the height where the layout's coordinates overflow
// even for large fonts and long wrapped names.
constexpr int kPieceBlocks = 256;
constexpr int kPieceChars = 16384;

// The document's indents and paragraph spacing are in document units of the screen
// (kTwipsPerDocumentUnit twips each); on the device they must keep their size on paper.
QTextBlockFormat ScaledBlockFormat(const QTextBlock& block, const QPagedPaintDevice& device)
{
    QTextBlockFormat format = block.blockFormat();
    if (format.leftMargin() == 0 && format.rightMargin() == 0 && format.textIndent() == 0 &&
        format.topMargin() == 0 && format.bottomMargin() == 0)
        return format;
    const double unitsPerInch = kTwipsPerInch / kTwipsPerDocumentUnit;
    const double scaleX = device.logicalDpiX() / unitsPerInch;
    const double scaleY = device.logicalDpiY() / unitsPerInch;
    format.setLeftMargin(format.leftMargin() * scaleX);
    format.setRightMargin(format.rightMargin() * scaleX);
    format.setTextIndent(format.textIndent() * scaleX);
    format.setTopMargin(format.topMargin() * scaleY);
    format.setBottomMargin(format.bottomMargin() * scaleY);
    return format;
}

// Appends a copy of block (its formats and runs) at cursor; the first block of a new document
// takes the place of its empty block.
void CopyBlock(QTextCursor& cursor, const QTextBlock& block, bool first,
               const QPagedPaintDevice& device)
{
    const QTextBlockFormat format = ScaledBlockFormat(block, device);
    if (first) {
        cursor.setBlockFormat(format);
        cursor.setBlockCharFormat(block.charFormat());
    } else {
        cursor.insertBlock(format, block.charFormat());
    }
    for (QTextBlock::iterator run = block.begin(); !run.atEnd(); ++run) {
        const QTextFragment fragment = run.fragment();
        if (fragment.isValid())
            cursor.insertText(fragment.text(), fragment.charFormat());
    }
}

// An empty document set up as the source would be laid out on device at width.
std::unique_ptr<QTextDocument> NewPieceDocument(const QTextDocument& source,
                                                QPagedPaintDevice& device, int width)
{
    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false); // the copy is never undone
    document->setDefaultFont(source.defaultFont());
    document->setUseDesignMetrics(source.useDesignMetrics());
    document->setIndentWidth(source.indentWidth());
    document->rootFrame()->setFrameFormat(source.rootFrame()->frameFormat());
    document->setDocumentMargin(0);
    QTextOption option = source.defaultTextOption();
    // On paper a long line wraps rather than running off the sheet; a name without blanks
    // wraps anywhere so no part of it is lost.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document->setDefaultTextOption(option);
    document->documentLayout()->setPaintDevice(&device);
    document->setTextWidth(width);
    return document;
}

} // namespace

// One piece of the laid-out copy: its own document, whose y 0 lies at offset in the report's
// coordinates. In every piece but the first, block 0 repeats the last block of the piece
// before it and is not printed again.
struct PagedRenderer::Piece {
    std::unique_ptr<QTextDocument> document;
    qreal offset = 0;
    int firstOwn = 0;
};

PagedRenderer::PagedRenderer(const PageMargins& margins) : m_margins(margins) {}

PagedRenderer::~PagedRenderer() = default;

void PagedRenderer::reset()
{
    m_pages.clear();
    m_pageStarts.clear();
    m_pieces.clear();
    m_firstPiece = 0;
    m_firstNeeded = 0;
    m_error.clear();
    m_cancelled = false;
}

const PagedRenderer::Piece* PagedRenderer::piece(qint64 number) const
{
    const qint64 at = number - m_firstPiece;
    return at >= 0 && at < qint64(m_pieces.size()) ? m_pieces[std::size_t(at)].get() : nullptr;
}

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
    QRect target(QPoint(TwipsToDevice(m_margins.left, dpiX) - offset.x(),
                        TwipsToDevice(m_margins.top, dpiY) - offset.y()),
                 QPoint(sheet.width() - TwipsToDevice(m_margins.right, dpiX) - offset.x() - 1,
                        sheet.height() - TwipsToDevice(m_margins.bottom, dpiY) - offset.y() - 1));
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

// Where the pages stand while the pieces are laid out one after the other.
struct PagedRenderer::PageFill {
    PrintedPage current;
    qint64 index = 0; // of the next visual line
    bool any = false;
    // Whether the page holds a line with something to print: trailing pages of blank lines
    // would come out of the printer as empty sheets.
    bool currentInked = false;
    qreal lastTop = 0; // where the last block laid out starts, in the report's coordinates
};

bool PagedRenderer::layOut(const QTextDocument& document, QPagedPaintDevice& device,
                           const KeepGoing& keepGoing,
                           const std::function<bool(int, bool)>& finished, bool keep)
{
    reset();
    const QRect target = TargetOn(device);
    if (target.isEmpty()) {
        m_error = QStringLiteral("The page margins leave no room to print on this paper.");
        return false;
    }
    m_target = target;

    PageFill fill;
    QTextBlock source = document.begin();
    QTextBlock last;   // the source block the previous piece ended with
    qint64 number = 0; // of the piece being laid out
    do {
        if (keepGoing && !keepGoing()) {
            m_cancelled = true;
            m_error = QStringLiteral("Printing was cancelled.");
            return false;
        }
        Piece& piece = copyPiece(document, device, source, last);
        if (!breakPiece(piece, number, fill, finished))
            return false;
        ++number;
        if (!keep)
            dropPiecesBefore(number);
    } while (source.isValid());

    m_pages.append(fill.current); // the last page, or one blank page for an empty layout
    if (m_pageStarts.isEmpty())
        m_pageStarts.append({0, 0, 0});
    return finished(int(m_pages.size()) - 1, fill.currentInked);
}

// A new piece holding a copy of last (when valid) and of the blocks from source on, as many
// as a piece takes; source and last move on past them.
PagedRenderer::Piece& PagedRenderer::copyPiece(const QTextDocument& document,
                                               QPagedPaintDevice& device, QTextBlock& source,
                                               QTextBlock& last)
{
    m_pieces.push_back(std::make_unique<Piece>());
    Piece& piece = *m_pieces.back();
    piece.document = NewPieceDocument(document, device, m_target.width());
    QTextCursor cursor(piece.document.get());
    cursor.beginEditBlock();
    bool first = true;
    if (last.isValid()) {
        CopyBlock(cursor, last, true, device);
        piece.firstOwn = 1;
        first = false;
    }
    int chars = 0;
    for (int blocks = 0; source.isValid() && blocks < kPieceBlocks && chars < kPieceChars;
         ++blocks, source = source.next()) {
        CopyBlock(cursor, source, first, device);
        first = false;
        chars += source.length();
        last = source;
    }
    cursor.endEditBlock();
    return piece;
}

// Lays piece (number) out and deals its lines onto pages, handing each full page to finished.
bool PagedRenderer::breakPiece(Piece& piece, qint64 number, PageFill& fill,
                               const std::function<bool(int, bool)>& finished)
{
    const qreal height = m_target.height();
    QAbstractTextDocumentLayout* layout = piece.document->documentLayout();
    layout->documentSize(); // lays the whole piece out
    const QTextBlock pieceBegin = piece.document->begin();
    if (piece.firstOwn > 0 && pieceBegin.layout())
        piece.offset = fill.lastTop - pieceBegin.layout()->position().y();
    PrintedPage& current = fill.current;
    for (QTextBlock block = piece.document->findBlockByNumber(piece.firstOwn); block.isValid();
         block = block.next()) {
        const QTextLayout* lines = block.layout();
        if (lines)
            fill.lastTop = lines->position().y() + piece.offset;
        if (!block.isVisible() || !lines)
            continue;
        const qreal blockTop = layout->blockBoundingRect(block).top() + piece.offset;
        const QString blockText = block.text();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const qreal top = blockTop + line.y();
            const qreal bottom = top + line.height();
            if (!fill.any) {
                current.top = top;
                m_pageStarts.append({number, block.blockNumber(), i});
                fill.any = true;
            } else if (current.lineCount > 0 && bottom - current.top > height) {
                m_pages.append(current);
                if (!finished(int(m_pages.size()) - 1, fill.currentInked))
                    return false;
                current = PrintedPage{fill.index, 0, top, top};
                m_pageStarts.append({number, block.blockNumber(), i});
                fill.currentInked = false;
            }
            fill.currentInked = fill.currentInked || !QStringView(blockText)
                                                          .mid(line.textStart(), line.textLength())
                                                          .trimmed()
                                                          .isEmpty();
            ++current.lineCount;
            current.bottom = bottom;
            ++fill.index;
        }
    }
    return true;
}

// Pieces before the one where the first unprinted page starts are done with (the page being
// filled is always in m_pageStarts); number is the count of pieces laid out so far.
void PagedRenderer::dropPiecesBefore(qint64 number)
{
    const qint64 needed =
        m_firstNeeded < m_pageStarts.size() ? m_pageStarts[m_firstNeeded].piece : number;
    while (m_firstPiece < needed && !m_pieces.empty()) {
        m_pieces.pop_front();
        ++m_firstPiece;
    }
}

bool PagedRenderer::Paginate(const QTextDocument& document, QPagedPaintDevice& device,
                             const KeepGoing& keepGoing)
{
    QList<bool> inked;
    if (!layOut(
            document, device, keepGoing,
            [&](int, bool hasInk) {
                inked.append(hasInk);
                return true;
            },
            true))
        return false;
    while (m_pages.size() > 1 && !inked.back()) {
        m_pages.removeLast();
        m_pageStarts.removeLast();
        inked.removeLast();
    }
    return true;
}

void PagedRenderer::PaintPage(QPainter& painter, int index) const
{
    if (index < 0 || index >= m_pages.size() || index >= m_pageStarts.size())
        return;
    const PrintedPage& page = m_pages[index];
    const PageStart& start = m_pageStarts[index];
    if (page.lineCount == 0)
        return;
    // A line taller than the whole area is printed alone and cut at the bottom margin.
    const qreal bandHeight = qMin(page.bottom - page.top, qreal(m_target.height()));

    // The page's lines one by one: drawing whole blocks through a clip would also draw the
    // line above the clip of a paragraph that crosses the break, which the clip hides on
    // paper but a PDF keeps in its text.
    qint64 remaining = page.lineCount;
    int first = start.line;
    int blockNumber = start.block;
    for (qint64 number = start.piece; remaining > 0; ++number) {
        const Piece* held = piece(number);
        if (!held)
            return;
        // Each piece is painted in its own coordinates, so none grows with the report.
        const qreal top = page.top - held->offset;
        painter.save();
        painter.translate(m_target.left(), m_target.top() - top);
        painter.setClipRect(QRectF(0, top, m_target.width(), bandHeight));
        painter.setPen(Qt::black);
        for (QTextBlock block = held->document->findBlockByNumber(blockNumber);
             block.isValid() && remaining > 0; block = block.next(), first = 0) {
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
        first = 0;
        if (const Piece* next = piece(number + 1))
            blockNumber = next->firstOwn;
    }
}

bool PagedRenderer::Render(const QTextDocument& document, QPagedPaintDevice& device,
                           const KeepGoing& keepGoing, const std::function<void()>& abandon)
{
    QPainter painter;
    int printed = 0;
    QList<int> blanks; // finished pages without ink, printed only when an inked one follows
    const auto print = [&](int index) {
        if (printed == 0 && !painter.begin(&device)) {
            m_error = QStringLiteral("The printer could not be started.");
            return false;
        }
        if (printed > 0 && !device.newPage()) {
            m_error = QStringLiteral("The printer did not take a new page.");
            return false;
        }
        PaintPage(painter, index);
        ++printed;
        return true;
    };
    const auto finished = [&](int index, bool inked) {
        if (keepGoing && !keepGoing()) {
            m_cancelled = true;
            m_error = QStringLiteral("Printing was cancelled.");
            return false;
        }
        if (!inked) {
            blanks.append(index);
            return true;
        }
        for (const int blank : std::as_const(blanks)) {
            if (!print(blank))
                return false;
        }
        blanks.clear();
        if (!print(index))
            return false;
        m_firstNeeded = index + 1;
        return true;
    };
    bool done = layOut(document, device, keepGoing, finished, false);
    // A report of blank lines still gives its one (blank) sheet.
    if (done && printed == 0)
        done = print(0);
    if (!done) {
        if (m_cancelled && abandon && painter.isActive())
            abandon();
        if (painter.isActive())
            painter.end();
        return false;
    }
    // Pages are printed in order and trailing blank ones not at all, as Paginate leaves them.
    m_pages.resize(printed);
    m_pageStarts.resize(printed);
    m_pieces.clear();
    if (!painter.end()) {
        m_error = QStringLiteral("The printed pages could not be finished.");
        return false;
    }
    return true;
}

QStringList PagedRenderer::PageLines(int index) const
{
    QStringList texts;
    if (index < 0 || index >= m_pages.size() || index >= m_pageStarts.size())
        return texts;
    qint64 remaining = m_pages[index].lineCount;
    const PageStart& start = m_pageStarts[index];
    int first = start.line;
    int blockNumber = start.block;
    for (qint64 number = start.piece; remaining > 0; ++number) {
        const Piece* held = piece(number);
        if (!held)
            break;
        for (QTextBlock block = held->document->findBlockByNumber(blockNumber);
             block.isValid() && remaining > 0; block = block.next(), first = 0) {
            const QTextLayout* lines = block.layout();
            if (!block.isVisible() || !lines)
                continue;
            const QString text = block.text();
            for (int i = first; i < lines->lineCount() && remaining > 0; ++i, --remaining) {
                const QTextLine line = lines->lineAt(i);
                texts.append(text.mid(line.textStart(), line.textLength()));
            }
        }
        first = 0;
        if (const Piece* next = piece(number + 1))
            blockNumber = next->firstOwn;
    }
    return texts;
}

} // namespace quillon
