#pragma once

#include "details/CrcCtrl.h"
#include "details/FileAt.h"
#include "details/Mp3Tag.h"

#include <cstdint>
#include <functional>
#include <string>
#include <sys/stat.h>

namespace quillon {

/// Which details of a file to read.
struct DetailChoice {
    bool attributes = false;
    bool version = false;
    bool owner = false;
    bool crc32 = false;
    bool tag = false;
    bool hiddenLikeAny = false; ///< hidden files are listed: they get tag and checksum too

    bool any() const { return attributes || version || owner || crc32 || tag; }
};

/// The details read from a file's content, as bits: what the reader's hook is told could not
/// be read.
enum ContentDetail : unsigned { kVersionDetail = 1, kTagDetail = 2, kCrcDetail = 4 };

/// "version", "ID3 tag", "checksum" joined by ", ".
std::string ContentDetailNames(unsigned details);

/// The reason told for a file detail that could not be read: the error's text, then which
/// details in brackets unless it is the checksum alone ("(status)" for details 0), e.g.
/// "Permission denied (version, ID3 tag)".
std::string UnreadableReason(int error, unsigned details);

/// What became of a file's checksum.
enum class CrcState : std::uint8_t {
    None,       ///< not asked for, or the file has none (folder, link, pipe, hidden name)
    Known,      ///< crc holds it
    Unreadable, ///< the file could not be read (the reader's hook was told)
    Cancelled,  ///< Cancel or Ctrl+C came while it was read
};

/// The details of one file from one read. A detail not asked for, not there or unreadable
/// is empty; the unreadable ones are also in the unreadable bits.
struct FileDetails {
    std::string attributes; ///< AttributeLettersOf the file's value, four characters
    std::string version;
    std::string owner;
    CrcState crcState = CrcState::None;
    std::uint32_t crc = 0;
    Mp3Tag tag;              ///< found false when not asked for, absent or unreadable
    unsigned unreadable = 0; ///< ContentDetail bits of the details that could not be read
};

/// The one reader of a file's details, for report lines, listings and comparisons alike. The
/// file is named relative to an open folder (FileAt), so a path of any length works; its
/// status is the one the caller read without following a link, and a link is never followed
/// to read content: version, tag and checksum come from one descriptor opened with O_NOFOLLOW.
/// Attributes describe what a link points at (a dangling one is a bare reparse point), as the
/// Attribute column always has.
class FileDetailReader {
public:
    /// Told once per file whose content could not be read: the ContentDetail bits asked for
    /// and the errno. It may throw to stop the read (the window's error convention).
    using UnreadableHook = std::function<void(unsigned details, int error)>;

    /// The checksum component, for its interrupt hook.
    CrcCtrl& crc() { return m_crc; }

    /// Reads the chosen details of file (status st). shownPath names the file in an error the
    /// checksum throws.
    void Read(const FileAt& file, const struct stat& st, const DetailChoice& choice,
              const std::string& shownPath, FileDetails& out, const UnreadableHook& unreadable);

private:
    void readContent(int fd, const struct stat& opened, unsigned wanted,
                     const std::string& shownPath, FileDetails& out,
                     const UnreadableHook& unreadable);
    bool readCrc(int fd, const std::string& shownPath, FileDetails& out, int& error);

    CrcCtrl m_crc;
};

/// The status of a file without following a link: 0, or the errno that kept it (ENOENT alone
/// means the file is gone; anything else is a file that is there but could not be read).
int ReadStatus(const FileAt& file, struct stat& st);

} // namespace quillon
