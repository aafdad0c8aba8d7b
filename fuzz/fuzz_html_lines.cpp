// Feeds arbitrary staging-file lines to the HTML export's line rules.
#include "output/HtmlExport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // First byte picks whether the line stands first or last in the file.
    const bool header = data[0] & 1;
    const bool closing = data[0] & 2;
    const QByteArrayView line(reinterpret_cast<const char*>(data + 1),
                              static_cast<qsizetype>(size - 1));
    const auto html = quillon::HtmlLineFor(line, header, closing);
    if (html && html->size() > line.size() * 6 + 64)
        __builtin_trap(); // never more than "&nbsp;" per byte plus the fixed markup
    return 0;
}
