// How long the window's event loop stands still in each phase of a scan and of the commands
// after it, driving the real main window offscreen. A heartbeat timer due every 2 ms notes
// the gap since its last tick and charges it to the phase that was running when the gap
// began; the longest gap per phase is printed, in wall time and in the CPU time the program
// used within the gap (which does not grow when other programs share the machine). Also: the time
// from Scan to the report shown, how long the close box takes to end a scan in each phase, Replace
// All over the report and over 100,000 generated lines, Save As (web page, rich text, plain text),
// and the memory of the undo history after several reports.
//
// --no-tuning runs it as QUILLON_NO_TUNING=1 does the program, with the allocator and layout
// tuning of platform/RuntimeTuning off, so its worth stays measured.
//
//   bench_window_stalls [--type 1..4] [--reports N] [--no-close] [--no-commands] [--threads N]
//                       [--no-tuning] DIR
#include "../tests/app/FakeDialogs.h"
#include "app/BuildAside.h"
#include "app/MainFrm.h"
#include "app/findFrm.h"
#include "output/EditHistory.h"
#include "platform/RuntimeTuning.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <time.h>

using namespace quillon;

namespace {

long PeakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Whether the pane's layout has reached the document's last line (it lays out in order).
bool LaidOut(const QTextDocument& document)
{
    const QTextLayout* layout = document.lastBlock().layout();
    return layout && layout->lineCount() > 0;
}

class Heartbeat {
public:
    explicit Heartbeat(std::function<QString()> phase) : m_phase(std::move(phase))
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_worst.clear();
        m_worstCpu.clear();
        m_clock.start();
        m_last = 0;
        m_lastCpu = CpuMs();
        m_current = m_phase();
        m_timer.start();
    }
    void stop()
    {
        tick();
        m_timer.stop();
    }
    // Runs at every tick, after the gap has been charged; may act on the window.
    std::function<void(const QString& phase)> onTick;
    const std::map<QString, qint64>& worst() const { return m_worst; }
    const std::map<QString, double>& worstCpu() const { return m_worstCpu; }
    static double CpuMs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    }
    qint64 elapsed() const { return m_clock.elapsed(); }

private:
    void tick()
    {
        const qint64 now = m_clock.elapsed();
        qint64& worst = m_worst[m_current];
        worst = std::max(worst, now - m_last);
        m_last = now;
        const double cpu = CpuMs();
        double& worstCpu = m_worstCpu[m_current];
        worstCpu = std::max(worstCpu, cpu - m_lastCpu);
        m_lastCpu = cpu;
        m_current = m_phase();
        if (onTick)
            onTick(m_current);
    }

    std::function<QString()> m_phase;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_lastCpu = 0;
    QString m_current;
    std::map<QString, qint64> m_worst;
    std::map<QString, double> m_worstCpu;
};

struct Bench {
    test::FakeDialogs dialogs;
    MainFrm window{&dialogs};
    bool afterScan = false;

    // The phase, from what the window shows. The phases follow one another, so a text that
    // does not tell (the scan's start before the first "Scanning...", a huge first folder
    // being read, the pane taking the built report) belongs to the phase reached so far.
    QString Phase() const
    {
        if (!window.IsScanning()) {
            stage = 0;
            return afterScan ? QStringLiteral("pane lays out after the load")
                             : QStringLiteral("idle, scan start");
        }
        const QString text = window.PanelText(1);
        if (window.LoadingReport())
            stage = 3;
        else if (text.startsWith(QStringLiteral("Initializing format engine")))
            stage = std::max(stage, 1);
        else if (stage >= 1 && !text.startsWith(QStringLiteral("Scanning")))
            stage = std::max(stage, 2);
        static const char* const kNames[] = {"walk", "sort", "layout", "load into the pane"};
        return QLatin1String(kNames[stage]);
    }
    mutable int stage = 0;

    void Prime()
    {
        // A one-line report in the pane, so a report loaded after all is told from it.
        auto document = std::make_unique<QTextDocument>();
        document->setPlainText(QStringLiteral("before"));
        window.ReplacePaneDocument(std::move(document));
    }
};

void Print(const char* title, const Heartbeat& beat)
{
    std::printf("%s\n", title);
    for (const auto& [phase, ms] : beat.worst())
        std::printf("  %-30s longest stall %5lld ms wall, %5.0f ms CPU\n", qPrintable(phase),
                    static_cast<long long>(ms), beat.worstCpu().at(phase));
}

QString Stall(const Heartbeat& beat)
{
    return QStringLiteral("longest stall %1 ms wall, %2 ms CPU")
        .arg(beat.worst().begin()->second)
        .arg(beat.worstCpu().begin()->second, 0, 'f', 0);
}

void ReplaceAll(Bench& bench, const QString& what, const QString& with, const char* title)
{
    findFrm form(bench.window.rTxt, bench.dialogs, &bench.window);
    form.Text1->setText(what);
    form.Text2->setText(with);
    form.show();
    Heartbeat beat([] { return QStringLiteral("Replace All"); });
    const QString before = bench.window.rTxt->toPlainText();
    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpu = std::clock();
    beat.start();
    form.ReplaceAllButton->click();
    beat.stop();
    const QString worst = Stall(beat);
    const qint64 ms = clock.elapsed();
    const double cpuMs = 1000.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC;
    form.close();
    // The pane lays the changed report out again in the background.
    QElapsedTimer settle;
    settle.start();
    beat.start();
    while (settle.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    beat.stop();
    const QString after = Stall(beat);
    bench.window.Undo();
    const bool oneStep = bench.window.rTxt->toPlainText() == before;
    bench.window.Redo();
    std::printf("%s: %lld ms wall, %.0f ms CPU, %s (then, while the pane lays out again, %s), "
                "one Undo gives the text back: %s\n",
                title, static_cast<long long>(ms), cpuMs, qPrintable(worst), qPrintable(after),
                oneStep ? "yes" : "no");
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    setenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-tuning") == 0)
            setenv("QUILLON_NO_TUNING", "1", 1);
    }
    MapLargeBuffersApart(); // as the program does before its window
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("tuning %s\n", TuningOn() ? "on" : "off");

    QString dir;
    int type = 3;
    int reports = 1;
    bool closes = true;
    bool commands = true;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--type") && i + 1 < args.size())
            type = args[++i].toInt();
        else if (args[i] == QStringLiteral("--reports") && i + 1 < args.size())
            reports = args[++i].toInt();
        else if (args[i] == QStringLiteral("--no-close"))
            closes = false;
        else if (args[i] == QStringLiteral("--no-commands"))
            commands = false;
        else if (args[i] == QStringLiteral("--threads") && i + 1 < args.size()) {
            // The scan's reading threads, as the settings file sets them.
            SettingsStore store;
            store.setValue(QStringLiteral("Settings"), QStringLiteral("WalkThreads"), args[++i]);
            store.sync();
        } else if (args[i] == QStringLiteral("--no-tuning")) {
            // read above, before the allocator's first use
        } else
            dir = args[i];
    }
    if (dir.isEmpty()) {
        std::fprintf(stderr,
                     "usage: %s [--type 1..4] [--reports N] [--no-close] "
                     "[--no-commands] [--threads N] [--no-tuning] DIR\n",
                     argv[0]);
        return 2;
    }
    const ReportType reportType = static_cast<ReportType>(type);
    auto setUp = [&](MainFrm& window) {
        window.AddLocation({dir, QStringLiteral("Yes"), QStringLiteral("*.*"),
                            QStringLiteral("All Levels"), ScanLocation::kScanIcon});
        window.SelectReportType(reportType);
        window.show();
    };

    // 1. Scans: stalls per phase, Scan to report, memory over several reports.
    auto bench = std::make_unique<Bench>();
    setUp(bench->window);
    long peakAfterOne = 0;
    for (int run = 1; run <= reports; ++run) {
        bench->afterScan = false;
        Heartbeat beat([&] { return bench->Phase(); });
        QSet<QString> seen;
        beat.onTick = [&](const QString&) { seen.insert(bench->window.PanelText(1).left(30)); };
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = Heartbeat::CpuMs();
        beat.start();
        bench->window.mnuScan->trigger(); // returns once the report is in the pane
        const qint64 scanMs = clock.elapsed();
        const double scanCpu = Heartbeat::CpuMs() - cpuBefore;
        bench->afterScan = true;
        // The pane lays a large document out a step at a time once it is shown; the run waits
        // until the last line is laid out (on a busy machine a fixed wait ended before it, and
        // the peak memory of one report was taken without its layout).
        QElapsedTimer settle;
        settle.start();
        while (!LaidOut(*bench->window.rTxt->document()) && settle.elapsed() < 300000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const qint64 layoutMs = settle.elapsed();
        while (settle.elapsed() < layoutMs + 500)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        beat.stop();
        const long peak = PeakKb();
        if (run == 1)
            peakAfterOne = peak;
        std::printf(
            "report %d: Scan to report shown %lld ms wall, %.0f ms CPU, %d lines, clock panel %s, "
            "\"Initializing format engine\" seen %s, laid out %lld ms after, peak %ld KB, undo "
            "keeps %lld KB compact in %d whole document(s)\n",
            run, static_cast<long long>(scanMs), scanCpu,
            bench->window.rTxt->document()->blockCount(), qPrintable(bench->window.PanelText(5)),
            seen.contains(QStringLiteral("Initializing format engine, pl")) ? "yes" : "no",
            static_cast<long long>(layoutMs), peak,
            static_cast<long long>(bench->window.History().CompactSize() / 1024),
            bench->window.History().DocumentCount());
        if (run == 1 || run == reports)
            Print("  stalls by phase:", beat);
    }
    if (reports > 1) {
        std::printf("peak after %d reports / after one: %.2f\n", reports,
                    double(PeakKb()) / double(peakAfterOne));
        int undone = 0;
        QElapsedTimer clock;
        clock.start();
        while (bench->window.History().Undo())
            ++undone;
        std::printf("undo steps back: %d (%lld ms), peak %ld KB\n", undone,
                    static_cast<long long>(clock.elapsed()), PeakKb());
        while (bench->window.History().Redo()) {
        }
    }

    // 2. Commands over the report.
    if (commands) {
        QTemporaryDir out;
        for (const QString& name : {QStringLiteral("page.htm"), QStringLiteral("report.rtf"),
                                    QStringLiteral("report.txt")}) {
            bench->dialogs.paths.push_back(out.filePath(name));
            Heartbeat beat([&] { return QStringLiteral("Save As ") + name; });
            QElapsedTimer clock;
            clock.start();
            beat.start();
            bench->window.SaveAs();
            beat.stop();
            std::printf("Save As %s: %lld ms, %s\n", qPrintable(name),
                        static_cast<long long>(clock.elapsed()), qPrintable(Stall(beat)));
        }
        ReplaceAll(*bench, QStringLiteral("|--"), QStringLiteral("+--"),
                   "Replace All over the report");

        QString lines;
        for (int i = 0; i < 100000; ++i)
            lines += QStringLiteral("line %1 of the report, one word\n").arg(i);
        auto document = std::make_unique<QTextDocument>();
        document->setPlainText(lines);
        bench->window.ReplacePaneDocument(std::move(document));
        QApplication::processEvents();
        ReplaceAll(*bench, QStringLiteral("word"), QStringLiteral("term"),
                   "Replace All, 100,000 replacements over 100,000 lines");
    }
    bench.reset();

    // 3. The close box in each phase: time until the scan has ended.
    if (closes) {
        for (const QString& phase :
             {QStringLiteral("walk"), QStringLiteral("sort"), QStringLiteral("layout"),
              QStringLiteral("load into the pane")}) {
            Bench closing;
            setUp(closing.window);
            closing.Prime();
            Heartbeat beat([&] { return closing.Phase(); });
            QElapsedTimer sinceClose;
            bool closed = false;
            beat.onTick = [&](const QString& now) {
                if (!closed && now == phase) {
                    closed = true;
                    sinceClose.start();
                    closing.window.close();
                }
            };
            beat.start();
            closing.window.mnuScan->trigger();
            const qint64 ms = closed ? sinceClose.elapsed() : -1;
            beat.stop();
            QApplication::processEvents();
            std::printf("close box during %-20s: scan ended after %lld ms, window %s, pane %s\n",
                        qPrintable(phase), static_cast<long long>(ms),
                        closing.window.isVisible() ? "still open" : "closed",
                        closing.window.rTxt->document()->blockCount() <= 1 ? "not loaded"
                                                                           : "LOADED");
        }
    }
    return 0;
}
