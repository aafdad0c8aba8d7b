// Feeds arbitrary bytes to the PE version-resource reader: it must never read outside the
// buffer, crash or loop, whatever the headers and resource directories claim.
#include "details/PeVersion.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)quillon::ReadPeVersion(std::span<const unsigned char>(data, size));
    return 0;
}
