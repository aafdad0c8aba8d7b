#include "details/FileDetails.h"

#include "details/FileAttributes.h"
#include "details/FileOwner.h"
#include "details/FileVersion.h"
#include "platform/CommandError.h"
#include "platform/PathRules.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quillon {

std::string ContentDetailNames(unsigned details)
{
    std::string names;
    for (const auto& [bit, name] : {std::pair<unsigned, const char*>{kVersionDetail, "version"},
                                    {kTagDetail, "ID3 tag"},
                                    {kCrcDetail, "checksum"}}) {
        if (!(details & bit))
            continue;
        if (!names.empty())
            names.append(", ");
        names.append(name);
    }
    return names;
}

std::string UnreadableReason(int error, unsigned details)
{
    std::string reason = std::strerror(error);
    if (details != kCrcDetail)
        reason.append(" (")
            .append(details == 0 ? "status" : ContentDetailNames(details))
            .append(")");
    return reason;
}

int ReadStatus(const FileAt& file, struct stat& st)
{
    return StatNoFollow(file, st) ? 0 : errno;
}

namespace {

// The content details to read of the regular file with status st.
unsigned WantedContent(const FileAt& file, const struct stat& st, const DetailChoice& choice)
{
    // A plain directory lookup does not see hidden files: they show no tag and no checksum,
    // unless hidden files are listed like any other.
    const bool hidden = !choice.hiddenLikeAny && IsHiddenName(LastComponent(file.name));
    unsigned wanted = 0;
    if (choice.version && HasVersionExtension(file.name))
        wanted |= kVersionDetail;
    if (choice.tag && !hidden && st.st_size >= 128)
        wanted |= kTagDetail;
    if (choice.crc32 && !hidden)
        wanted |= kCrcDetail;
    return wanted;
}

} // namespace

void FileDetailReader::Read(const FileAt& file, const struct stat& st, const DetailChoice& choice,
                            const std::string& shownPath, FileDetails& out,
                            const UnreadableHook& unreadable)
{
    out.attributes.clear();
    out.version.clear();
    out.owner.clear();
    out.crcState = CrcState::None;
    out.crc = 0;
    out.tag = Mp3Tag();
    out.unreadable = 0;

    if (choice.attributes) {
        std::uint32_t bits = 0;
        out.attributes =
            ReadFileAttributes(file, st, bits) ? AttributeLettersOf(bits) : AttributeLettersOf(0);
    }
    if (choice.owner)
        out.owner = AccountName(st.st_uid);
    if (!S_ISREG(st.st_mode))
        return;
    const unsigned wanted = WantedContent(file, st, choice);
    if (wanted == 0)
        return;

    // O_NONBLOCK: a FIFO put in the file's place meanwhile must not block; fstat turns it away.
    const int fd = ::openat(file.folder, file.name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        // Replaced by a link since its status was read: like a link, it has no content here.
        if (errno == ELOOP)
            return;
        out.unreadable = wanted;
        if (wanted & kCrcDetail)
            out.crcState = CrcState::Unreadable;
        if (unreadable)
            unreadable(wanted, errno);
        return;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode))
        return;
    readContent(fd, opened, wanted, shownPath, out, unreadable);
}

void FileDetailReader::readContent(int fd, const struct stat& opened, unsigned wanted,
                                   const std::string& shownPath, FileDetails& out,
                                   const UnreadableHook& unreadable)
{
    unsigned failed = 0;
    int failure = 0;
    const auto fail = [&](unsigned detail, int error) {
        failed |= detail;
        if (failure == 0)
            failure = error;
    };
    if (wanted & kVersionDetail) {
        int error = 0;
        out.version = FileVersionOf(fd, static_cast<std::uint64_t>(opened.st_size), error);
        if (error != 0)
            fail(kVersionDetail, error);
    }
    if (wanted & kTagDetail) {
        int error = 0;
        out.tag = ReadMp3TagOf(fd, static_cast<std::int64_t>(opened.st_size), error);
        if (error != 0)
            fail(kTagDetail, error);
    }
    if (int error = 0; (wanted & kCrcDetail) && !readCrc(fd, shownPath, out, error))
        fail(kCrcDetail, error);
    out.unreadable = failed;
    if (failed != 0 && unreadable)
        unreadable(failed, failure);
}

// The checksum of the open file into out; false with error when it could not be read.
bool FileDetailReader::readCrc(int fd, const std::string& shownPath, FileDetails& out, int& error)
{
    try {
        switch (m_crc.ComputeOpen(fd, shownPath)) {
        case CrcCtrl::Outcome::Done:
            out.crcState = CrcState::Known;
            out.crc = m_crc.Value();
            break;
        case CrcCtrl::Outcome::Cancelled:
            out.crcState = CrcState::Cancelled;
            break;
        case CrcCtrl::Outcome::Skipped:
            break;
        }
    } catch (const CommandError& thrown) {
        out.crcState = CrcState::Unreadable;
        error = thrown.number();
        return false;
    }
    return true;
}

} // namespace quillon
