#include "details/FileVersion.h"

#include "details/PeVersion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quillon {

namespace {

// Image bytes read on demand with pread, so a large executable is never read whole.
class FileImageBytes final : public ImageBytes {
public:
    FileImageBytes(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    std::uint64_t size() const override { return m_size; }
    int error() const { return m_error; }

    bool read(std::uint64_t offset, void* out, std::size_t length) const override
    {
        if (offset > m_size || m_size - offset < length)
            return false;
        auto* to = static_cast<char*>(out);
        while (length > 0) {
            const ssize_t got = ::pread(m_fd, to, length, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                m_error = errno;
            if (got <= 0)
                return false; // error, or the file shrank under us
            to += got;
            offset += static_cast<std::uint64_t>(got);
            length -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int m_fd;
    std::uint64_t m_size;
    mutable int m_error = 0;
};

} // namespace

bool HasVersionExtension(std::string_view path)
{
    if (path.size() < 4)
        return false;
    std::string last(path.substr(path.size() - 4));
    for (char& c : last)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    // Any run of four characters of ".exe .dll .ocx" counts, so a few odd endings ("e .d") pass
    // too: they only cost a look for a version resource, which such a file lacks.
    return std::string_view(".exe .dll .ocx").find(last) != std::string_view::npos;
}

std::string FileVersionText(const FileAt& file)
{
    if (!HasVersionExtension(file.name))
        return {};
    // O_NONBLOCK: a FIFO named like an executable must not block the report.
    const int fd = ::openat(file.folder, file.name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    std::string text;
    struct stat st;
    int error = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        text = FileVersionOf(fd, static_cast<std::uint64_t>(st.st_size), error);
    ::close(fd);
    return text;
}

std::string FileVersionOf(int fd, std::uint64_t size, int& error)
{
    const FileImageBytes image(fd, size);
    const auto version = ReadPeVersion(image);
    error = image.error();
    if (!version || error != 0)
        return {};
    return std::to_string(version->major) + '.' + std::to_string(version->minor) + '.' +
           std::to_string(version->build) + '.' + std::to_string(version->revision);
}

} // namespace quillon
