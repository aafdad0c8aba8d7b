#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

/// The checksum component of the CRC32 column, with its three operations: set the mode,
/// compute a file, read the result. The checksum is the CRC-32 of the zlib/PKZIP polynomial
/// over the file's whole content. One instance serves a whole report; it keeps a read buffer
/// between files, but no result carries over from one file to the next.
class CrcCtrl {
public:
    /// The only mode: CRC-32 written as 8 upper-case hexadecimal digits.
    static constexpr std::int32_t kModeCrc32 = 1;

    CrcCtrl();
    ~CrcCtrl();
    CrcCtrl(const CrcCtrl&) = delete;
    CrcCtrl& operator=(const CrcCtrl&) = delete;

    /// Sets the mode before a file is computed. Unknown modes fall back to kModeCrc32, the
    /// only form the report column has room for.
    void SetMode(std::int32_t mode) { m_mode = mode; }
    std::int32_t Mode() const { return m_mode; }

    /// Computes the checksum of the file at path, reading it from start to end. Clears the
    /// previous result first. Throws CommandError (errno and its description) when the file
    /// cannot be opened or read.
    void ComputeFile(const std::string& path);

    /// The checksum of the file last computed, e.g. "CBF43926"; empty after a failure or
    /// before the first file.
    const std::string& Result() const { return m_result; }

    /// The checksum value itself.
    std::uint32_t Value() const { return m_value; }

    /// The 8-digit upper-case hexadecimal text of a CRC value.
    static std::string HexText(std::uint32_t crc);

private:
    std::int32_t m_mode = kModeCrc32;
    std::uint32_t m_value = 0;
    std::string m_result;
    std::unique_ptr<unsigned char[]> m_buffer;
};

} // namespace quillon
