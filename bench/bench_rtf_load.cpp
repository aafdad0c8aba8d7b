// Loading a 100,000-line tree report into a text document, against setPlainText of the same
// text; prints the ratio at the end (target: at most 2).
#include "rtf/RtfFiles.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextDocument>
#include <cstdio>
#include <cstdlib>
#include <map>

using namespace quillon;

namespace {

constexpr int kLines = 100000;

QTemporaryDir* g_dir = nullptr;

QString ReportPath()
{
    return g_dir->filePath("tmpfile.dmp");
}

// The staging file as the tree layout writes it: header, one line per entry, closing line.
void WriteReport()
{
    QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 "
        "Courier New;}{\\f1\\fswiss\\fcharset0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}"
        "\\viewkind4\\uc1\\pard\\li180\\cf1\\f0\\fs20\\par \r\n";
    rtf += "/home/user/data\\par \r\n";
    for (int i = 1; i < kLines; ++i) {
        const int level = 1 + i % 5;
        for (int l = 1; l < level; ++l)
            rtf += "|  ";
        rtf += "|-- some file name " + QByteArray::number(i) + ".txt\\par \r\n";
    }
    rtf += " \\par\\par\\par}\r\n";
    QFile file(ReportPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(rtf) != rtf.size())
        std::abort();
}

QString PlainText()
{
    static const QString text = [] {
        QTextDocument document;
        if (!LoadRtfFile(ReportPath(), &document, nullptr))
            std::abort();
        return document.toPlainText();
    }();
    return text;
}

void BM_LoadRtfFile(benchmark::State& state)
{
    for (auto _ : state) {
        QTextDocument document;
        if (!LoadRtfFile(ReportPath(), &document, nullptr))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(document.blockCount());
    }
}
BENCHMARK(BM_LoadRtfFile)->Unit(benchmark::kMillisecond);

void BM_SetPlainText(benchmark::State& state)
{
    const QString text = PlainText();
    for (auto _ : state) {
        QTextDocument document;
        document.setPlainText(text);
        benchmark::DoNotOptimize(document.blockCount());
    }
}
BENCHMARK(BM_SetPlainText)->Unit(benchmark::kMillisecond);

// The batch-mode path: rich text to plain text without a document.
void BM_ConvertRtfToPlainText(benchmark::State& state)
{
    for (auto _ : state) {
        QFile in(ReportPath());
        in.open(QIODevice::ReadOnly);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        ConvertRtfToPlainText(in, out);
        benchmark::DoNotOptimize(out.size());
    }
}
BENCHMARK(BM_ConvertRtfToPlainText)->Unit(benchmark::kMillisecond);

/// Console output plus the load / setPlainText ratio, in wall and in CPU time (on a busy
/// machine the CPU figure is the steadier one). With repetitions the medians count.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((run.run_type == Run::RT_Iteration || median) && run.iterations > 0) {
                Times& times = m_times[run.run_name.function_name];
                if (median || !times.median) {
                    times.real = run.real_accumulated_time / run.iterations;
                    times.cpu = run.cpu_accumulated_time / run.iterations;
                    times.median = median;
                }
            }
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto load = m_times.find("BM_LoadRtfFile");
        const auto plain = m_times.find("BM_SetPlainText");
        if (load == m_times.end() || plain == m_times.end())
            return;
        std::printf("wall: load %.1f ms, setPlainText %.1f ms, ratio %.2f\n",
                    load->second.real * 1e3, plain->second.real * 1e3,
                    load->second.real / plain->second.real);
        std::printf("cpu:  load %.1f ms, setPlainText %.1f ms, ratio %.2f (target <= 2)\n",
                    load->second.cpu * 1e3, plain->second.cpu * 1e3,
                    load->second.cpu / plain->second.cpu);
    }

private:
    struct Times {
        double real = 0;
        double cpu = 0;
        bool median = false;
    };
    std::map<std::string, Times> m_times;
};

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    WriteReport();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
