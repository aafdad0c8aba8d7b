// Feeds arbitrary bytes to the exclusion-list reader through a file; a list that was read must
// come back unchanged when it is saved and read again.
#include "FuzzSupport.h"
#include "scan/ExclusionList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillon;
    const QString path = fuzz::WriteScratchFile(QStringLiteral("exclusion.lst"), data, size);
    const ExclusionList list = LoadExclusionList(path);
    if (!SaveExclusionList(list, path))
        fuzz::Fail("a list that was read cannot be saved");
    if (!(LoadExclusionList(path) == list))
        fuzz::Fail("a list read back differs from the list saved");
    return 0;
}
