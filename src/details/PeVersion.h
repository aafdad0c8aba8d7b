#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quillon {

/// The file version of a version resource's fixed record: major.minor.build.revision.
struct FileVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t build = 0;
    std::uint16_t revision = 0;

    bool operator==(const FileVersion&) const = default;
};

/// Random access to the bytes of an executable image, whatever holds them.
class ImageBytes {
public:
    virtual ~ImageBytes() = default;
    /// Total number of bytes.
    virtual std::uint64_t size() const = 0;
    /// Copies length bytes at offset into out; false when they are not all there.
    virtual bool read(std::uint64_t offset, void* out, std::size_t length) const = 0;
};

/// ImageBytes over a buffer in memory.
class MemoryImageBytes final : public ImageBytes {
public:
    explicit MemoryImageBytes(std::span<const unsigned char> bytes) : m_bytes(bytes) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    bool read(std::uint64_t offset, void* out, std::size_t length) const override;

private:
    std::span<const unsigned char> m_bytes;
};

/// Finds the fixed file-information record of a PE image (PE32 or PE32+): DOS header, PE
/// header, section table, resource directory, the first name and language of type RT_VERSION,
/// VS_VERSIONINFO. Every offset and length is checked against the image; the work is bounded
/// (the resource tree is only ever three levels deep and each directory is scanned a limited
/// number of entries). nullopt when anything is missing, truncated or inconsistent.
std::optional<FileVersion> ReadPeVersion(const ImageBytes& image);

/// ReadPeVersion over bytes in memory.
std::optional<FileVersion> ReadPeVersion(std::span<const unsigned char> bytes);

} // namespace quillon
