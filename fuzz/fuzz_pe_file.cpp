// Feeds arbitrary bytes to the Version column through a file: reading the image on demand
// from the file must find what reading it from memory finds.
#include "FuzzSupport.h"
#include "details/FileVersion.h"
#include "details/PeVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillon;
    const QString path = fuzz::WriteScratchFile(QStringLiteral("image.exe"), data, size);
    const std::string text = FileVersionText(path.toStdString());
    const auto version = ReadPeVersion(std::span<const unsigned char>(data, size));
    const std::string expected =
        version ? std::to_string(version->major) + '.' + std::to_string(version->minor) + '.' +
                      std::to_string(version->build) + '.' + std::to_string(version->revision)
                : std::string();
    if (text != expected)
        fuzz::Fail("the file and the memory reading disagree");
    return 0;
}
