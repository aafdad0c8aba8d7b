// Time from pressing Scan to the report shown in the pane, for a tree of 100,000 files (or the
// folder QUILLON_BENCH_TREE names, e.g. /usr) in Tree view, against batch mode running the
// same job. The window runs offscreen.
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

void WindowScan(benchmark::State& state)
{
    quillon::MainFrm window;
    window.AddLocation({QString::fromLocal8Bit(TreePath()), QStringLiteral("Yes"),
                        QStringLiteral("*.*"), QStringLiteral("All Levels"),
                        quillon::ScanLocation::kScanIcon});
    window.SelectReportType(quillon::ReportType::TreeView);
    window.show();
    for (auto _ : state) {
        window.mnuScan->trigger(); // returns once the report is in the pane
        QApplication::processEvents();
    }
    state.counters["lines"] = window.rTxt->document()->blockCount();
}

void BatchMode(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString job = dir.filePath(QStringLiteral("bench.qjb"));
    QFile file(job);
    if (!file.open(QIODevice::WriteOnly) || file.write(jobText().toUtf8()) < 0) {
        state.SkipWithError("cannot write the job file");
        return;
    }
    file.close();
    const QByteArray command = QByteArray(QUILLON_BINARY) + " --report '" + job.toLocal8Bit() +
                               "' -o '" + dir.filePath(QStringLiteral("out.txt")).toLocal8Bit() +
                               "'";
    for (auto _ : state) {
        if (std::system(command.constData()) != 0)
            state.SkipWithError("batch mode failed");
    }
}

} // namespace

BENCHMARK(WindowScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
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
