#pragma once

#include "details/FileAt.h"

#include <cstdint>
#include <functional>
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

    /// What ComputeFile did.
    enum class Outcome {
        Done,      ///< the whole file was read; Result() holds its checksum
        Skipped,   ///< not a regular file reached without following a link, or a size-0 file
                   ///< of a pseudo file system (proc, sysfs) that only pretends to be empty
        Cancelled, ///< the interrupt hook asked to stop between two blocks
    };

    /// Called between two blocks of a file (every MiB): lets the caller keep its window alive
    /// and returns true to stop reading (Cancel, Ctrl+C).
    void SetInterrupt(std::function<bool()> interrupt) { m_interrupt = std::move(interrupt); }

    /// Computes the checksum of a regular file reached without following a link, reading it
    /// from start to end. Clears the previous result first. Throws CommandError (errno and its
    /// description) when the file is missing or cannot be opened or read.
    Outcome ComputeFile(const FileAt& file, const std::string& shownPath);

    /// The same over a regular file already open for reading (which stays open), from its
    /// first byte; shownPath names it in an error.
    Outcome ComputeOpen(int fd, const std::string& shownPath);

    /// The checksum of at most the first limit bytes of a regular file already open, read
    /// from its first byte in one go: enough to tell most files of one size apart before any
    /// is read whole. BytesRead() says how many there were.
    Outcome ComputePrefix(int fd, std::size_t limit, const std::string& shownPath);
    std::size_t BytesRead() const { return m_read; }

    /// The checksum value itself.
    std::uint32_t Value() const { return m_value; }

    /// The 8-digit upper-case hexadecimal text of a CRC value.
    static std::string HexText(std::uint32_t crc);

    // Test and benchmark probes, not used by the program itself.
    /// Sets the mode before a file is computed. Unknown modes fall back to kModeCrc32, the
    /// only form the report column has room for.
    void SetMode(std::int32_t mode) { m_mode = mode; }

    Outcome ComputeFile(const std::string& path) { return ComputeFile(FileAt::Path(path), path); }

    /// The checksum of the file last computed, e.g. "CBF43926"; empty after a failure or
    /// before the first file.
    const std::string& Result() const { return m_result; }

private:
    std::int32_t m_mode = kModeCrc32;
    std::uint32_t m_value = 0;
    std::size_t m_read = 0;
    std::string m_result;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::function<bool()> m_interrupt;
};

} // namespace quillon
