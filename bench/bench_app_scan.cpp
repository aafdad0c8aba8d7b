// Time from pressing Scan to the report shown in the pane, for a tree of 100,000 files (or the
// folder QUILLON_BENCH_TREE names, e.g. /usr) in Tree view, against batch mode running the
// same job. The window runs offscreen. The first scan has no report to put away; the later
// ones do, as a scan again does.
#include "app/MainFrm.h"
#include "platform/ProgramFolder.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextEdit>
#include <cstdlib>

namespace {

const char* const kTree = "/tmp/quillon_fig_100k";

// The folder scanned: the one QUILLON_BENCH_TREE names, else the made tree.
const char* TreePath()
{
    const char* named = getenv("QUILLON_BENCH_TREE");
    return named && *named ? named : kTree;
}

QString jobText()
{
    return QStringLiteral(
               "Option2\r\nName\r\nAsc\r\nCourier New\r\n10\r\n%1,Yes,*.*,All Levels,3\r\n")
        .arg(QString::fromLocal8Bit(TreePath()));
}

// The batch command running the same job, writing into dir; empty when the job cannot be
// written.
QByteArray BatchCommand(const QTemporaryDir& dir)
{
    const QString job = dir.filePath(QStringLiteral("bench.qjb"));
    QFile file(job);
    if (!file.open(QIODevice::WriteOnly) || file.write(jobText().toUtf8()) < 0)
        return {};
    file.close();
    return QByteArray(QUILLON_BINARY) + " --report '" + job.toLocal8Bit() + "' -o '" +
           dir.filePath(QStringLiteral("out.txt")).toLocal8Bit() + "'";
}

// Each window scan is followed by a batch run (not timed), so the two take turns under the same
// load on a shared machine: "batch" is the batch runs' mean time, "ratio" the window's over it.
void WindowScan(benchmark::State& state)
{
    quillon::MainFrm window;
    window.AddLocation({QString::fromLocal8Bit(TreePath()), QStringLiteral("Yes"),
                        QStringLiteral("*.*"), QStringLiteral("All Levels"),
                        quillon::ScanLocation::kScanIcon});
    window.SelectReportType(quillon::ReportType::TreeView);
    window.show();
    QTemporaryDir dir;
    const QByteArray batch = BatchCommand(dir);
    double windowMs = 0;
    double batchMs = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        clock.start();
        window.mnuScan->trigger(); // returns once the report is in the pane
        QApplication::processEvents();
        windowMs += double(clock.elapsed());
        state.PauseTiming();
        clock.start();
        if (batch.isEmpty() || std::system(batch.constData()) != 0)
            state.SkipWithError("batch mode failed");
        batchMs += double(clock.elapsed());
        state.ResumeTiming();
    }
    state.counters["lines"] = window.rTxt->document()->blockCount();
    state.counters["batch"] = batchMs / double(state.iterations());
    state.counters["ratio"] = batchMs > 0 ? windowMs / batchMs : 0;
}

void BatchMode(benchmark::State& state)
{
    QTemporaryDir dir;
    const QByteArray command = BatchCommand(dir);
    if (command.isEmpty()) {
        state.SkipWithError("cannot write the job file");
        return;
    }
    for (auto _ : state) {
        if (std::system(command.constData()) != 0)
            state.SkipWithError("batch mode failed");
    }
}

} // namespace

BENCHMARK(WindowScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BatchMode)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char** argv)
{
    // A private settings and data folder: the benchmark must not touch the user's own.
    QTemporaryDir home;
    setenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit().constData(), 1);
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string make = std::string("python3 '") + QUILLON_SOURCE_DIR +
                             "/bench/make_tree.py' " + kTree + " 100000 100";
    if (TreePath() == kTree && std::system(make.c_str()) != 0)
        return 1;
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
