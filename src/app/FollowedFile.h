#pragma once

#include <QFile>
#include <QIODevice>
#include <atomic>

namespace quillon {

/// Reads a file while another thread still writes it, so a report can be read into its
/// document while its layout writes it. At the file's present end a read waits until more is
/// written or the writer's state says it is done (the end is then the end) or gave up (the
/// read then fails). The file may not exist yet when the reading starts.
class FollowedFile : public QIODevice {
public:
    enum class Writer { Writing, Done, GaveUp };

    /// writer is set by the writing thread, after it closed the file; it must outlive this.
    FollowedFile(const QString& path, const std::atomic<Writer>& writer);
    bool isSequential() const override { return true; }

    /// After the end was read with the writer done: true when what was read is the whole file
    /// now at path, not part of one that a retried layout put in its place.
    bool ReadWhole() const;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QFile m_file;
    const std::atomic<Writer>& m_writer;
    qint64 m_read = 0;
};

} // namespace quillon
