// Reads one staging file the ways Quillon does, for bench/staging_bounds.sh to time under
// /usr/bin/time: "text" and "rtf" as batch mode converts a report, "pane" into a text document
// as the window shows one ("html" also prints that document, to compare two builds). Exit
// status 1 and the reason on standard error when it is refused.
//   bench_staging_read text|rtf|pane|html FILE [OUTPUT]   text and rtf into OUTPUT if given
#include "rtf/RtfFiles.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextDocument>
#include <cstdio>
#include <cstring>

using namespace quillon;

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4)
        return 2;
    QGuiApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[2]);
    QString error;
    bool ok = false;
    if (std::strcmp(argv[1], "pane") == 0 || std::strcmp(argv[1], "html") == 0) {
        QTextDocument document;
        ok = LoadRtfFile(path, &document, &error);
        std::printf("%d blocks, %d characters\n", document.blockCount(), document.characterCount());
        if (argv[1][0] == 'h')
            std::fputs(document.toHtml().toUtf8().constData(), stdout);
    } else {
        QFile in(path);
        QFile out(argc == 4 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("/dev/null"));
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return 2;
        ok =
            std::strcmp(argv[1], "rtf") == 0 ? ConvertRtf(in, out) : ConvertRtfToPlainText(in, out);
        if (!ok)
            error = QStringLiteral("cannot convert %1").arg(path);
    }
    if (!ok)
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return ok ? 0 : 1;
}
