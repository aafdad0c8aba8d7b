#pragma once

// Builds small PE images with a version resource, so the version reader can be tested against
// files whose every byte is known.

#include <cstdint>
#include <string>

namespace quillon::test {

struct PeImageOptions {
    bool pe32Plus = false;
    std::uint16_t major = 5, minor = 1, build = 2600, revision = 0;
    bool withVersion = true;    ///< false: the resource tree holds only an RT_ICON entry
    bool namedTypeFirst = true; ///< put a named type entry before the RT_VERSION id entry
};

/// Offsets inside the image the tests corrupt.
struct PeLayout {
    static constexpr std::size_t kPeHeader = 0x40;
    static constexpr std::size_t kSectionTable(bool plus) { return 0x40 + 24 + (plus ? 240 : 224); }
    static constexpr std::size_t kResources = 0x200;
    static constexpr std::size_t kTypeDirectory = kResources;
    static constexpr std::size_t kNameDirectory = kResources + 0x20;
    static constexpr std::size_t kDataEntry = kResources + 0x50;
    static constexpr std::size_t kVersionInfo = kResources + 0x60;
    static constexpr std::size_t kFixedInfo = kVersionInfo + 40;
};

inline void Put16(std::string& image, std::size_t at, std::uint32_t value)
{
    image[at] = static_cast<char>(value & 0xFF);
    image[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

inline void Put32(std::string& image, std::size_t at, std::uint32_t value)
{
    Put16(image, at, value & 0xFFFF);
    Put16(image, at + 2, value >> 16);
}

inline std::string BuildPeImage(const PeImageOptions& options = {})
{
    using L = PeLayout;
    constexpr std::uint32_t rva = 0x1000;
    constexpr std::uint32_t versionSize = 92; // 40 bytes of head and key + 52 of fixed info
    std::string image(L::kVersionInfo + versionSize, '\0');

    image[0] = 'M', image[1] = 'Z';
    Put32(image, 0x3C, L::kPeHeader);
    image.replace(L::kPeHeader, 4, std::string("PE\0\0", 4));
    Put16(image, L::kPeHeader + 4, options.pe32Plus ? 0x8664 : 0x14c);
    Put16(image, L::kPeHeader + 6, 1); // one section
    Put16(image, L::kPeHeader + 20, options.pe32Plus ? 240 : 224);
    const std::size_t optional = L::kPeHeader + 24;
    Put16(image, optional, options.pe32Plus ? 0x20b : 0x10b);
    const std::size_t countAt = optional + (options.pe32Plus ? 108 : 92);
    Put32(image, countAt, 16);
    Put32(image, countAt + 4 + 16, rva); // resource directory RVA
    Put32(image, countAt + 4 + 20, static_cast<std::uint32_t>(image.size() - L::kResources));

    const std::size_t section = L::kSectionTable(options.pe32Plus);
    image.replace(section, 5, ".rsrc");
    const auto rawSize = static_cast<std::uint32_t>(image.size() - L::kResources);
    Put32(image, section + 8, rawSize);
    Put32(image, section + 12, rva);
    Put32(image, section + 16, rawSize);
    Put32(image, section + 20, L::kResources);

    // Type directory: optionally one named entry, then the id entry (16 or 3 = RT_ICON).
    const std::size_t types = L::kTypeDirectory;
    const bool named = options.namedTypeFirst;
    Put16(image, types + 12, named ? 1 : 0);
    Put16(image, types + 14, 1);
    std::size_t entry = types + 16;
    if (named) {
        Put32(image, entry, 0x80000000u | 0x40); // name string offset (never followed)
        Put32(image, entry + 4, 0x80000000u | (L::kNameDirectory - L::kResources));
        entry += 8;
    }
    Put32(image, entry, options.withVersion ? 16 : 3);
    Put32(image, entry + 4, 0x80000000u | (L::kNameDirectory - L::kResources));

    // Name directory -> language directory -> data entry.
    const std::size_t names = L::kNameDirectory;
    const std::size_t languages = names + 24;
    Put16(image, names + 14, 1);
    Put32(image, names + 16, 1);
    Put32(image, names + 20, 0x80000000u | (languages - L::kResources));
    Put16(image, languages + 14, 1);
    Put32(image, languages + 16, 0x409);
    Put32(image, languages + 20, L::kDataEntry - L::kResources);
    Put32(image, L::kDataEntry, rva + (L::kVersionInfo - L::kResources));
    Put32(image, L::kDataEntry + 4, versionSize);

    // VS_VERSIONINFO with its fixed record.
    Put16(image, L::kVersionInfo, versionSize);
    Put16(image, L::kVersionInfo + 2, 52);
    const std::u16string key = u"VS_VERSION_INFO";
    for (std::size_t i = 0; i < key.size(); ++i)
        Put16(image, L::kVersionInfo + 6 + 2 * i, key[i]);
    Put32(image, L::kFixedInfo, 0xFEEF04BD);
    Put32(image, L::kFixedInfo + 4, 0x00010000);
    Put32(image, L::kFixedInfo + 8, (std::uint32_t(options.major) << 16) | options.minor);
    Put32(image, L::kFixedInfo + 12, (std::uint32_t(options.build) << 16) | options.revision);
    return image;
}

} // namespace quillon::test
