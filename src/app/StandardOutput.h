#pragma once

#include <QFile>
#include <functional>
#include <string>

namespace quillon {

/// Standard output for batch mode's writers, gathered in large pieces. QFile repeats a write
/// that a signal interrupts, so a Ctrl+C while a stopped reader holds the pipe would wait with
/// it; here the write gives up as soon as keepGoing says so.
class StandardOutput : public QFile {
public:
    explicit StandardOutput(std::function<bool()> keepGoing);

    /// Opens descriptor 1 for writing; it stays open when the object goes.
    bool openDescriptor();
    /// Writes out what is gathered; false when that fails or is given up (errno tells why).
    bool flush();

protected:
    qint64 writeData(const char* data, qint64 size) override;

private:
    std::function<bool()> m_keepGoing;
    std::string m_pending;
};

} // namespace quillon
