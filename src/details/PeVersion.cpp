#include "details/PeVersion.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace quillon {

namespace {

constexpr std::uint16_t kPe32Magic = 0x10b;
constexpr std::uint16_t kPe32PlusMagic = 0x20b;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kFixedInfoSize = 52;
// Far more sections than any real image has; it bounds the table we read (40 KiB).
constexpr std::uint32_t kMaxSections = 1024;
// A hostile directory may claim 131070 entries; real RT_VERSION lookups need a handful.
constexpr std::uint32_t kMaxDirectoryEntries = 4096;

std::uint16_t U16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t U32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

// A range of file offsets [begin, end) that a structure must lie in.
struct Extent {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};

class PeReader {
public:
    explicit PeReader(const ImageBytes& image) : m_image(image) {}

    std::optional<FileVersion> run()
    {
        if (!readHeaders())
            return std::nullopt;
        Extent resources;
        if (!mapRva(m_resourceRva, resources))
            return std::nullopt;
        const std::uint64_t root = resources.begin;

        // type -> name -> language, each a directory below the resource root.
        std::uint32_t entry = 0;
        if (!findEntry(resources, root, kRtVersion, entry) || !(entry & 0x80000000u))
            return std::nullopt;
        if (!firstEntry(resources, root + (entry & 0x7FFFFFFFu), entry) || !(entry & 0x80000000u))
            return std::nullopt;
        if (!firstEntry(resources, root + (entry & 0x7FFFFFFFu), entry) || (entry & 0x80000000u))
            return std::nullopt;

        unsigned char data[16];
        if (!readWithin(resources, root + entry, data, sizeof data))
            return std::nullopt;
        return readVersionInfo(U32(data), U32(data + 4));
    }

private:
    bool readHeaders()
    {
        unsigned char dos[64];
        if (!m_image.read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
            return false;
        const std::uint64_t pe = U32(dos + 0x3C);

        unsigned char head[24];
        if (!m_image.read(pe, head, sizeof head) || std::memcmp(head, "PE\0\0", 4) != 0)
            return false;
        const std::uint32_t sectionCount = U16(head + 6);
        const std::uint32_t optionalSize = U16(head + 20);
        if (sectionCount == 0 || sectionCount > kMaxSections)
            return false;

        std::vector<unsigned char> optional(optionalSize);
        if (optionalSize < 2 || !m_image.read(pe + 24, optional.data(), optionalSize))
            return false;
        std::size_t countAt;
        switch (U16(optional.data())) {
        case kPe32Magic:
            countAt = 92;
            break;
        case kPe32PlusMagic:
            countAt = 108;
            break;
        default:
            return false;
        }
        const std::size_t directoriesAt = countAt + 4;
        const std::size_t resourceAt = directoriesAt + 8 * kResourceDirectoryIndex;
        if (resourceAt + 8 > optionalSize || U32(&optional[countAt]) <= kResourceDirectoryIndex)
            return false;
        m_resourceRva = U32(&optional[resourceAt]);
        if (m_resourceRva == 0 || U32(&optional[resourceAt + 4]) == 0)
            return false;

        std::vector<unsigned char> table(sectionCount * kSectionHeaderSize);
        if (!m_image.read(pe + 24 + optionalSize, table.data(), table.size()))
            return false;
        m_sections.reserve(sectionCount);
        for (std::uint32_t i = 0; i < sectionCount; ++i) {
            const unsigned char* s = &table[i * kSectionHeaderSize];
            m_sections.push_back({U32(s + 12), U32(s + 8), U32(s + 16), U32(s + 20)});
        }
        return true;
    }

    // The file extent from an RVA to the end of the raw data of the section holding it.
    bool mapRva(std::uint32_t rva, Extent& extent) const
    {
        for (const Section& s : m_sections) {
            const std::uint64_t span = std::max(s.virtualSize, s.rawSize);
            if (rva < s.virtualAddress || rva - s.virtualAddress >= span)
                continue;
            const std::uint64_t into = rva - s.virtualAddress;
            if (into >= s.rawSize)
                return false; // in the zero-filled tail: nothing on disk
            const std::uint64_t end =
                std::min<std::uint64_t>(std::uint64_t(s.rawOffset) + s.rawSize, m_image.size());
            extent = {s.rawOffset + into, end};
            return extent.begin < extent.end;
        }
        return false;
    }

    bool readWithin(const Extent& extent, std::uint64_t offset, void* out, std::size_t length) const
    {
        if (offset < extent.begin || offset > extent.end || extent.end - offset < length)
            return false;
        return m_image.read(offset, out, length);
    }

    // Reads a directory's header; count is the number of entries to look at (named first).
    bool directory(const Extent& extent, std::uint64_t at, std::uint32_t& named,
                   std::uint32_t& ids) const
    {
        unsigned char head[16];
        if (!readWithin(extent, at, head, sizeof head))
            return false;
        named = U16(head + 12);
        ids = U16(head + 14);
        return true;
    }

    bool findEntry(const Extent& extent, std::uint64_t at, std::uint32_t id,
                   std::uint32_t& target) const
    {
        std::uint32_t named = 0;
        std::uint32_t ids = 0;
        if (!directory(extent, at, named, ids))
            return false;
        const std::uint32_t total = std::min(named + ids, kMaxDirectoryEntries);
        for (std::uint32_t i = named; i < total; ++i) {
            unsigned char e[8];
            if (!readWithin(extent, at + 16 + 8ull * i, e, sizeof e))
                return false;
            if (U32(e) == id) {
                target = U32(e + 4);
                return true;
            }
        }
        return false;
    }

    bool firstEntry(const Extent& extent, std::uint64_t at, std::uint32_t& target) const
    {
        std::uint32_t named = 0;
        std::uint32_t ids = 0;
        if (!directory(extent, at, named, ids) || named + ids == 0)
            return false;
        unsigned char e[8];
        if (!readWithin(extent, at + 16, e, sizeof e))
            return false;
        target = U32(e + 4);
        return true;
    }

    std::optional<FileVersion> readVersionInfo(std::uint32_t rva, std::uint32_t size) const
    {
        // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO", padding to 4,
        // then VS_FIXEDFILEINFO.
        static constexpr char16_t kKey[] = u"VS_VERSION_INFO";
        constexpr std::size_t keyBytes = sizeof kKey; // with its terminating NUL
        constexpr std::size_t valueAt = (6 + keyBytes + 3) & ~std::size_t(3);
        constexpr std::size_t needed = valueAt + kFixedInfoSize;

        Extent extent;
        if (size < needed || !mapRva(rva, extent))
            return std::nullopt;
        std::array<unsigned char, needed> block;
        if (!readWithin(extent, extent.begin, block.data(), block.size()))
            return std::nullopt;
        const std::uint16_t length = U16(&block[0]);
        const std::uint16_t valueLength = U16(&block[2]);
        if (length < needed || length > size || valueLength < kFixedInfoSize)
            return std::nullopt;
        for (std::size_t i = 0; i < keyBytes / 2; ++i)
            if (U16(&block[6 + 2 * i]) != kKey[i])
                return std::nullopt;

        const unsigned char* fixed = &block[valueAt];
        if (U32(fixed) != kFixedInfoSignature)
            return std::nullopt;
        const std::uint32_t ms = U32(fixed + 8);
        const std::uint32_t ls = U32(fixed + 12);
        return FileVersion{static_cast<std::uint16_t>(ms >> 16), static_cast<std::uint16_t>(ms),
                           static_cast<std::uint16_t>(ls >> 16), static_cast<std::uint16_t>(ls)};
    }

    const ImageBytes& m_image;
    std::uint32_t m_resourceRva = 0;
    std::vector<Section> m_sections;
};

} // namespace

bool MemoryImageBytes::read(std::uint64_t offset, void* out, std::size_t length) const
{
    if (offset > m_bytes.size() || m_bytes.size() - offset < length)
        return false;
    if (length != 0)
        std::memcpy(out, m_bytes.data() + offset, length);
    return true;
}

std::optional<FileVersion> ReadPeVersion(const ImageBytes& image)
{
    return PeReader(image).run();
}

std::optional<FileVersion> ReadPeVersion(std::span<const unsigned char> bytes)
{
    return ReadPeVersion(MemoryImageBytes(bytes));
}

} // namespace quillon
