// Feeds arbitrary names to the report's escaping: escaped text must never open or close a
// group nor leave a control word that swallows what follows.
#include "FuzzSupport.h"
#include "report/RtfFraming.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillon;
    if (size == 0)
        return 0;
    ReportSettings settings;
    settings.ListInUpper = data[0] & 1;
    settings.ListInLower = data[0] & 2;
    const std::string_view name(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string safe = RtfSafeText(name, settings);
    for (std::size_t i = 0; i < safe.size(); ++i) {
        const char c = safe[i];
        if (c == '{' || c == '}')
            fuzz::Fail("escaped text holds a bare brace");
        if (c == '\\') {
            // Only the three escaped symbols may follow a backslash.
            if (i + 1 == safe.size() ||
                (safe[i + 1] != '\\' && safe[i + 1] != '{' && safe[i + 1] != '}'))
                fuzz::Fail("escaped text holds a control word");
            ++i;
        }
    }
    return 0;
}
