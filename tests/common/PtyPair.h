#ifndef PTYPAIR_H
#define PTYPAIR_H

// A pseudo-terminal standing in for a serial device: the code under test opens name(), the test
// plays the device (an adapter, a controller) on the non-blocking master side. Link with util.

#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

class PtyPair
{
public:
    PtyPair()
    {
        int slave = -1;
        char name[256];
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0)
            return;
        ::close(slave);
        m_name = QString::fromLocal8Bit(name);
        if (::fcntl(m_master, F_SETFL, O_NONBLOCK) != 0) {
            ::close(m_master);
            m_master = -1;
        }
    }
    ~PtyPair()
    {
        if (m_master >= 0)
            ::close(m_master);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // False when no pseudo-terminal could be opened.
    bool isValid() const { return m_master >= 0; }
    // The device side: what the code under test opens.
    QString name() const { return m_name; }
    // The file descriptor the test reads and writes as the device.
    int master() const { return m_master; }

private:
    int m_master = -1;
    QString m_name;
};

#endif
