// Feeds arbitrary trailers to the ID3v1 reader: every text field keeps its width in characters.
#include "details/Mp3Tag.h"
#include "platform/Utf8.h"

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillon;
    const std::string_view trailer(reinterpret_cast<const char*>(data), size);
    const Mp3Tag tag = ParseMp3Trailer(trailer);
    if (tag.found != (size == 128 && trailer.starts_with("TAG")))
        fuzz::Fail("found does not match the trailer");
    for (const std::string* field : {&tag.title, &tag.artist, &tag.album, &tag.comment})
        if (Utf8Length(*field) != Mp3Tag::kTextWidth)
            fuzz::Fail("a text field lost its width");
    if (Utf8Length(tag.year) != Mp3Tag::kYearWidth)
        fuzz::Fail("the year lost its width");
    return 0;
}
