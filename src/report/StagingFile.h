#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quillon {

/// The staging file "tmpfile.dmp" that a layout writes its document into, line by line, before
/// the report pane loads it. Lines are ended by CR LF and written as single-byte
/// Windows-1252 bytes. Writes are buffered; a failed write throws CommandError with errno, and
/// the bytes not yet written stay buffered, so repeating the failed call after the cause is
/// mended writes each line exactly once. The file is always closed when the object goes,
/// also when a layout stops on an error.
class ReportStagingFile {
public:
    /// Deletes the file at path if it exists and creates it empty. Throws CommandError when
    /// either fails.
    explicit ReportStagingFile(const QString& path);
    ~ReportStagingFile();

    ReportStagingFile(const ReportStagingFile&) = delete;
    ReportStagingFile& operator=(const ReportStagingFile&) = delete;

    /// Writes bytes that are already Windows-1252 (escaped report text, ASCII control words)
    /// followed by CR LF.
    void writeLine(std::string_view bytes);

    /// Writes text encoded as Windows-1252 ("?" for what it lacks) followed by CR LF.
    void writeLine(const QString& text);

    /// Writes what is buffered and closes the file; throws CommandError when that fails.
    void close();

    const QString& path() const { return m_path; }

    // Test and benchmark probes, not used by the program itself.
    bool isOpen() const { return m_fd >= 0; }

private:
    void flush();

    QString m_path;
    int m_fd = -1;
    std::string m_buffer;
};

} // namespace quillon
