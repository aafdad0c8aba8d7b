// Printing a 20,000-line List In Details report (every line indented by \li180) to a PDF at
// 1200 dpi: pagination alone, and pagination with painting every page. BM_RenderMillion prints
// 1,050,000 lines as the window's Print would (about 15,000 pages, past where one layout's
// coordinates overflow); run it alone under /usr/bin/time -v for its peak memory:
//   bench_print --benchmark_filter=Million
#include "output/PagedRenderer.h"
#include "rtf/RtfFiles.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <cstdlib>

using namespace quillon;

namespace {

constexpr int kLines = 20000;

QTemporaryDir* g_dir = nullptr;
QTextDocument* g_report = nullptr;

void LoadReport(QTextDocument* report, int lines)
{
    QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Mono;}}\\pard\\li180\\f0\\fs20 ";
    for (int i = 0; i < lines; ++i) {
        rtf += "folder " + QByteArray::number(i / 50) + "/file number " + QByteArray::number(i) +
               ".txt                    12 KB  07/12/2026  10:24  A\\par\r\n";
    }
    rtf += "}";
    const QString path = g_dir->filePath(QStringLiteral("report.rtf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(rtf) != rtf.size())
        std::abort();
    file.close();
    if (!LoadRtfFile(path, report, nullptr))
        std::abort();
}

void Print(benchmark::State& state, bool paint, const QTextDocument& report)
{
    for (auto _ : state) {
        QPdfWriter pdf(g_dir->filePath(QStringLiteral("report.pdf")));
        pdf.setResolution(1200);
        PagedRenderer renderer{PageMargins{}};
        const bool done = paint ? renderer.Render(report, pdf) : renderer.Paginate(report, pdf);
        if (!done)
            state.SkipWithError("printing failed");
        state.counters["pages"] = double(renderer.Pages().size());
    }
}

void BM_Paginate(benchmark::State& state)
{
    Print(state, false, *g_report);
}
BENCHMARK(BM_Paginate)->Unit(benchmark::kMillisecond);

void BM_Render(benchmark::State& state)
{
    Print(state, true, *g_report);
}
BENCHMARK(BM_Render)->Unit(benchmark::kMillisecond);

void BM_RenderMillion(benchmark::State& state)
{
    QTextDocument report;
    LoadReport(&report, 1050000);
    Print(state, true, report);
}
BENCHMARK(BM_RenderMillion)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    QTextDocument report;
    g_dir = &dir;
    g_report = &report;
    LoadReport(g_report, kLines);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
