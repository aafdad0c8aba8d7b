#pragma once

#include <QIODevice>
#include <functional>

namespace quillon {

/// Hands on what it reads from another device and fails (a read error) once keepGoing says
/// stop, so that a reader with no hook of its own ends early on Ctrl+C. keepGoing is asked
/// before each read and must outlive this device.
class StoppableInput : public QIODevice {
public:
    StoppableInput(QIODevice& in, const std::function<bool()>& keepGoing)
        : m_in(in), m_keepGoing(keepGoing)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    /// True once a read was refused because keepGoing said stop.
    bool stopped() const { return m_stopped; }

protected:
    qint64 readData(char* data, qint64 size) override
    {
        if (m_keepGoing && !m_keepGoing()) {
            m_stopped = true;
            return -1;
        }
        return m_in.read(data, size);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& m_in;
    const std::function<bool()>& m_keepGoing;
    bool m_stopped = false;
};

} // namespace quillon
