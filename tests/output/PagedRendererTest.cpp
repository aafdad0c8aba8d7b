#include "output/PagedRenderer.h"
#include "output/PageMargins.h"
#include "platform/SettingsStore.h"
#include "rtf/RtfFiles.h"

#include <QFile>
#include <QFont>
#include <QPageSize>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

QStringList reportLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines.append(QStringLiteral("C:/data/folder %1/file %1.txt      %2 KB").arg(i).arg(i * 7));
    return lines;
}

void fillDocument(QTextDocument& document, const QStringList& lines)
{
    document.setDefaultFont(QFont(QStringLiteral("Liberation Mono"), 10));
    document.setPlainText(lines.join(QLatin1Char('\n')));
}

// Pages as the PDF file itself counts them.
int pdfPageCount(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString data = QString::fromLatin1(file.readAll());
    static const QRegularExpression page(QStringLiteral(R"(/Type\s*/Page(?![s\w]))"));
    return int(data.count(page));
}

QStringList printedLines(const PagedRenderer& renderer)
{
    QStringList all;
    for (int i = 0; i < renderer.Pages().size(); ++i)
        all += renderer.PageLines(i);
    return all;
}

// Render prints as it goes and keeps no layout: its lines are read back from a Paginate of
// the same document, which must break the same pages.
QStringList renderedLines(const PagedRenderer& rendered, const QTextDocument& document,
                          QPagedPaintDevice& device)
{
    PagedRenderer again{PageMargins{}};
    if (!again.Paginate(document, device) || again.Pages().size() != rendered.Pages().size())
        return {};
    return printedLines(again);
}

// A sheet that records the text each drawing call puts on it, and where (in device units).
class TextRecorder : public QPaintEngine {
public:
    TextRecorder() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        texts.append(item.text());
        origins.append(painter()->transform().map(p));
    }
    Type type() const override { return QPaintEngine::User; }

    QStringList texts;
    QList<QPointF> origins;
};

class RecordedSheet : public QPaintDevice {
public:
    QPaintEngine* paintEngine() const override { return &recorder; }
    mutable TextRecorder recorder;

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return 9921; // A4 at 1200 dpi
        case PdmHeight:
            return 14031;
        case PdmWidthMM:
            return 210;
        case PdmHeightMM:
            return 297;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 1200;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 0;
        }
    }
};

// What painting page index of renderer puts on a sheet.
QStringList drawnTexts(const PagedRenderer& renderer, int index, QList<QPointF>* origins = nullptr)
{
    RecordedSheet sheet;
    QPainter painter(&sheet);
    renderer.PaintPage(painter, index);
    painter.end();
    if (origins)
        *origins = sheet.recorder.origins;
    return sheet.recorder.texts;
}

QString withoutBlanks(const QStringList& texts)
{
    QString joined = texts.join(QString());
    joined.remove(QRegularExpression(QStringLiteral("\\s")));
    return joined;
}

class PagedRendererTest : public ::testing::Test {
protected:
    QString pdfPath(const QString& name) const { return m_dir.filePath(name); }

    // An A4 writer at 1200 dpi whose printable area is the whole sheet.
    std::unique_ptr<QPdfWriter> writer(const QString& name) const
    {
        auto pdf = std::make_unique<QPdfWriter>(pdfPath(name));
        pdf->setPageSize(QPageSize(QPageSize::A4));
        pdf->setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf->setResolution(1200);
        return pdf;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(PagedRendererTest, LongReportPrintsEveryLineOnceInOrderOnSeveralPages)
{
    const QStringList lines = reportLines(300);
    QTextDocument document;
    fillDocument(document, lines);
    auto pdf = writer(QStringLiteral("long.pdf"));

    PagedRenderer renderer{PageMargins{}};
    ASSERT_TRUE(renderer.Render(document, *pdf)) << renderer.Error().toStdString();
    pdf.reset(); // finishes the file

    const auto& pages = renderer.Pages();
    ASSERT_GT(pages.size(), 3);
    EXPECT_EQ(pdfPageCount(pdfPath(QStringLiteral("long.pdf"))), pages.size());
    EXPECT_EQ(renderedLines(renderer, document, *writer(QStringLiteral("again.pdf"))), lines);

    qint64 next = 0;
    for (const PrintedPage& page : pages) {
        EXPECT_EQ(page.firstLine, next); // no line skipped or printed twice between pages
        next += page.lineCount;
        EXPECT_GT(page.lineCount, 0);
        EXPECT_LE(page.bottom - page.top, renderer.TargetRect().height()); // no line cut
    }
    EXPECT_EQ(next, lines.size());
}

TEST_F(PagedRendererTest, AReportTallerThanTheLayoutCoordinatesReachPrintsEveryPage)
{
    // At 1,200 dpi the text layout's 26.6 fixed-point coordinates end about 2,600 A4 pages
    // down one document, whatever the font: 3,000 pages of 100 pt lines go past that.
    const QFont font(QStringLiteral("Liberation Mono"), 100);
    QTextDocument sample;
    sample.setDefaultFont(font);
    sample.setPlainText(QStringLiteral("f\n").repeated(40));
    auto sheet = writer(QStringLiteral("sample.pdf"));
    PagedRenderer sampled{PageMargins{}};
    ASSERT_TRUE(sampled.Paginate(sample, *sheet));
    QStringList lines;
    for (qint64 i = 0; i < 3000 * sampled.Pages().first().lineCount; ++i)
        lines.append(QStringLiteral("f%1").arg(i)); // short enough not to wrap
    QTextDocument document;
    document.setDefaultFont(font);
    document.setPlainText(lines.join(QLatin1Char('\n')));
    auto pdf = writer(QStringLiteral("tall.pdf"));
    PagedRenderer renderer{PageMargins{}};
    ASSERT_TRUE(renderer.Render(document, *pdf)) << renderer.Error().toStdString();
    pdf.reset();

    const auto& pages = renderer.Pages();
    ASSERT_GT(pages.size(), 2700);
    const qint64 perPage = pages.first().lineCount;
    EXPECT_EQ(pages.size(), (lines.size() + perPage - 1) / perPage);
    EXPECT_EQ(pages.last().firstLine + pages.last().lineCount, lines.size());
    EXPECT_EQ(pdfPageCount(pdfPath(QStringLiteral("tall.pdf"))), pages.size());

    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        return; // the page count above still holds
    QProcess text;
    text.start(pdftotext, {pdfPath(QStringLiteral("tall.pdf")), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(120000));
    QStringList printed;
    for (const QString& line : QString::fromUtf8(text.readAllStandardOutput()).split('\n')) {
        if (!line.trimmed().remove('\f').isEmpty())
            printed.append(line.simplified().remove('\f'));
    }
    QStringList expected;
    for (const QString& line : lines)
        expected.append(line.simplified());
    EXPECT_EQ(printed, expected);
}

TEST_F(PagedRendererTest, MarginsAreTwipsFromTheSheetEdgesAndDecideLinesPerPage)
{
    const QStringList lines = reportLines(200);
    QTextDocument document;
    fillDocument(document, lines);

    auto pdf = writer(QStringLiteral("a.pdf"));
    PagedRenderer halfInch{PageMargins{}};
    ASSERT_TRUE(halfInch.Paginate(document, *pdf));
    EXPECT_EQ(halfInch.TargetRect().topLeft(), QPoint(600, 600)); // 720 twips at 1200 dpi

    PagedRenderer wide{PageMargins{2880, 2880, 1440, 1440}};
    ASSERT_TRUE(wide.Paginate(document, *pdf));
    EXPECT_EQ(wide.TargetRect().top(), 2400);
    EXPECT_EQ(wide.TargetRect().height(), halfInch.TargetRect().height() - 2 * (2400 - 600));
    EXPECT_LT(wide.Pages()[0].lineCount, halfInch.Pages()[0].lineCount);
    EXPECT_GT(wide.Pages().size(), halfInch.Pages().size());
    EXPECT_EQ(printedLines(wide), lines);

    // A device whose printable area starts 10 mm in: the margins still count from the edge.
    pdf->setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    PagedRenderer offset{PageMargins{}};
    ASSERT_TRUE(offset.Paginate(document, *pdf));
    const int printableLeft = pdf->pageLayout().paintRectPixels(1200).left();
    ASSERT_GT(printableLeft, 400);
    EXPECT_EQ(offset.TargetRect().left(), 600 - printableLeft);
    EXPECT_EQ(offset.TargetRect().height(), halfInch.TargetRect().height());
}

TEST_F(PagedRendererTest, LongLinesWrapWithoutLosingText)
{
    const QString name = QString(QStringLiteral("x")).repeated(900) + QStringLiteral("END");
    const QStringList lines = {QStringLiteral("first"), name, QStringLiteral("last")};
    QTextDocument document;
    fillDocument(document, lines);
    auto pdf = writer(QStringLiteral("wrap.pdf"));
    PagedRenderer renderer{PageMargins{}};
    ASSERT_TRUE(renderer.Render(document, *pdf));

    const QStringList printed = renderedLines(renderer, document, *pdf);
    ASSERT_GT(printed.size(), 3);
    EXPECT_EQ(printed.first(), QStringLiteral("first"));
    EXPECT_EQ(printed.last(), QStringLiteral("last"));
    EXPECT_EQ(printed.mid(1, printed.size() - 2).join(QString()), name);
}

TEST_F(PagedRendererTest, MixedFontSizesAndEmptyDocument)
{
    QTextDocument document;
    QTextCursor cursor(&document);
    QStringList expected;
    for (int i = 0; i < 120; ++i) {
        QTextCharFormat format;
        format.setFontPointSize(i % 10 == 0 ? 40 : 9);
        format.setFontWeight(i % 10 == 0 ? QFont::Bold : QFont::Normal);
        if (i > 0)
            cursor.insertBlock();
        const QString text = QStringLiteral("line %1").arg(i);
        cursor.insertText(text, format);
        expected.append(text);
    }
    auto pdf = writer(QStringLiteral("mixed.pdf"));
    PagedRenderer renderer{PageMargins{}};
    ASSERT_TRUE(renderer.Render(document, *pdf));
    EXPECT_GT(renderer.Pages().size(), 1);
    EXPECT_EQ(renderedLines(renderer, document, *pdf), expected);

    QTextDocument empty;
    auto blank = writer(QStringLiteral("empty.pdf"));
    ASSERT_TRUE(renderer.Render(empty, *blank));
    blank.reset();
    EXPECT_EQ(renderer.Pages().size(), 1);
    EXPECT_EQ(pdfPageCount(pdfPath(QStringLiteral("empty.pdf"))), 1);
}

TEST_F(PagedRendererTest, FailuresAreReportedNotHidden)
{
    QTextDocument document;
    fillDocument(document, reportLines(5));

    auto pdf = writer(QStringLiteral("tight.pdf"));
    PagedRenderer noRoom{PageMargins{8300, 8300, 720, 720}}; // A4 is about 16840 twips high
    EXPECT_FALSE(noRoom.Render(document, *pdf));
    EXPECT_FALSE(noRoom.Error().isEmpty());

    PagedRenderer overlapping{PageMargins{720, 720, 9000, 9000}}; // wider than the sheet
    EXPECT_FALSE(overlapping.MarginsLeaveRoom(*pdf));
    EXPECT_FALSE(overlapping.Render(document, *pdf));
    EXPECT_TRUE(PagedRenderer{PageMargins{}}.MarginsLeaveRoom(*pdf));

    QPdfWriter unwritable(QStringLiteral("/nonexistent-folder/report.pdf"));
    PagedRenderer renderer{PageMargins{}};
    EXPECT_FALSE(renderer.Render(document, unwritable));
    EXPECT_FALSE(renderer.Error().isEmpty());
}

TEST(PageUnits, TwipsShownInTheUsersUnitAndBack)
{
    EXPECT_EQ(TwipsToPageUnits(720, QLocale::ImperialUSSystem), 500);
    EXPECT_EQ(TwipsToPageUnits(720, QLocale::MetricSystem), 1270);
    EXPECT_EQ(TwipsToPageUnits(720, QLocale::ImperialUKSystem), 1270);
    EXPECT_EQ(TwipsToPageUnits(1000, QLocale::ImperialUSSystem), 694);
    EXPECT_EQ(PageUnitsToTwips(694, QLocale::ImperialUSSystem), 999);
    EXPECT_EQ(PageUnitsToTwips(1270, QLocale::MetricSystem), 720);
    EXPECT_EQ(PageUnitsToTwips(500, QLocale::ImperialUSSystem), 720);

    // Halves go to the even neighbour.
    EXPECT_EQ(TwipsToPageUnits(18, QLocale::ImperialUSSystem), 12); // 12.5
    EXPECT_EQ(TwipsToPageUnits(54, QLocale::ImperialUSSystem), 38); // 37.5
    EXPECT_EQ(PageUnitsToTwips(500, QLocale::MetricSystem), 284);   // 283.5
    EXPECT_EQ(PageUnitsToTwips(1500, QLocale::MetricSystem), 850);  // 850.5

    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(TwipsToPageUnits(1440), 1000);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(TwipsToPageUnits(1440), 2540);
    EXPECT_EQ(PageUnitsToTwips(2540), 1440);
    QLocale::setDefault(saved);
}

TEST(PageMarginsStore, RoundTripDefaultsAndGarbage)
{
    QFile::remove(SettingsStore().fileName());
    {
        SettingsStore store;
        EXPECT_EQ(LoadPageMargins(store), PageMargins{});
        StorePageMargins(store, PageMargins{100, 200, 300, 400});
        ASSERT_TRUE(store.sync());
    }
    {
        SettingsStore store;
        EXPECT_EQ(store.value(QStringLiteral("Margins"), QStringLiteral("Bottom")),
                  QStringLiteral("200"));
        EXPECT_EQ(LoadPageMargins(store), (PageMargins{100, 200, 300, 400}));

        store.setValue(QStringLiteral("Margins"), QStringLiteral("Top"), QStringLiteral("wide"));
        store.setValue(QStringLiteral("Margins"), QStringLiteral("Bottom"), QStringLiteral("1.5"));
        store.setValue(QStringLiteral("Margins"), QStringLiteral("Left"), QStringLiteral("-40"));
        store.setValue(QStringLiteral("Margins"), QStringLiteral("Right"), QString());
        EXPECT_EQ(LoadPageMargins(store), PageMargins{});
    }
    QFile::remove(SettingsStore().fileName());
}

TEST_F(PagedRendererTest, AParagraphAcrossABreakIsDrawnLineByLineOnItsOwnPages)
{
    QStringList lines = reportLines(60);
    QStringList words;
    for (int i = 0; i < 400; ++i)
        words.append(QStringLiteral("word%1").arg(i));
    lines.append(words.join(QLatin1Char(' ')));
    QTextDocument document;
    fillDocument(document, lines);
    auto pdf = writer(QStringLiteral("across.pdf"));
    PagedRenderer renderer{PageMargins{}};
    ASSERT_TRUE(renderer.Paginate(document, *pdf));
    ASSERT_GE(renderer.Pages().size(), 2);
    // The paragraph starts on the first page and goes on on the second.
    ASSERT_TRUE(renderer.PageLines(1).first().startsWith(QStringLiteral("word")));

    for (int i = 0; i < renderer.Pages().size(); ++i)
        EXPECT_EQ(withoutBlanks(drawnTexts(renderer, i)), withoutBlanks(renderer.PageLines(i)))
            << "page " << i;
}

TEST_F(PagedRendererTest, TheReportIndentKeepsItsSizeAndBlankTailsMakeNoPage)
{
    // The indent of every report: \li180, 9 points, which is 150 dots at 1200 dpi.
    const QString rtf = m_dir.filePath(QStringLiteral("report.rtf"));
    {
        QFile file(rtf);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray body = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Mono;}}\\pard\\li180\\f0\\fs20 ";
        for (int i = 0; i < 60; ++i)
            body += "line " + QByteArray::number(i) + "\\par ";
        for (int i = 0; i < 60; ++i)
            body += "\\par ";
        file.write(body + "}");
    }
    QTextDocument document;
    ASSERT_TRUE(LoadRtfFile(rtf, &document, nullptr));
    auto pdf = writer(QStringLiteral("indent.pdf"));
    PagedRenderer renderer{PageMargins{}};
    ASSERT_TRUE(renderer.Paginate(document, *pdf));

    QList<QPointF> origins;
    const QStringList texts = drawnTexts(renderer, 0, &origins);
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_NEAR(origins.first().x(), renderer.TargetRect().left() + 150, 2);

    // The sixty empty lines at the end would fill a sheet of their own.
    const QStringList last = renderer.PageLines(int(renderer.Pages().size()) - 1);
    EXPECT_FALSE(withoutBlanks(last).isEmpty()) << renderer.Pages().size() << " pages";
}
