// Feeds arbitrary bytes to the JSON listing reader, and compares what it reads with itself,
// as --compare does with a listing a user hands in.
#include "listing/JsonListingReader.h"
#include "listing/ListingComparison.h"

#include <QBuffer>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer one, two;
    for (QBuffer* buffer : {&one, &two}) {
        buffer->setData(bytes);
        buffer->open(QIODevice::ReadOnly);
    }
    quillon::JsonListingReader left(one), right(two);
    if (!left.open() || !right.open())
        return 0;
    quillon::CompareResult result;
    QString error;
    if (quillon::CompareListings(left, right, result, &error) && !result.same())
        __builtin_trap(); // a listing never differs from itself
    return 0;
}
