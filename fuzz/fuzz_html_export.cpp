// Feeds arbitrary bytes as a whole staging file to the HTML export: it must write a page and
// read every line of the file.
#include "FuzzSupport.h"
#include "output/HtmlExport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillon;
    const QString staging = fuzz::WriteScratchFile(QStringLiteral("tmpfile.dmp"), data, size);
    HtmlExport exporter(staging, fuzz::ScratchFolder() + QStringLiteral("/page.htm"));
    if (!exporter.run())
        fuzz::Fail("the export of a readable staging file failed");
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    const qint64 lines = input.count('\n') + (input.isEmpty() || input.endsWith('\n') ? 0 : 1);
    if (exporter.linesRead() != lines)
        fuzz::Fail("the export did not read every line");
    return 0;
}
