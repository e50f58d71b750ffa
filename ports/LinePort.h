#ifndef LINEPORT_H
#define LINEPORT_H

#include "PortObject.h"
#include "ReplyAssembler.h"

#include <QString>

#include <atomic>
#include <mutex>

// The port object of a real line: a serial device or a TCP connection to a serial-to-Ethernet
// converter, held as a file descriptor.
//
// The plugin calls its port from the host's threads (tag reads, the range parameters) and from
// its transfer worker's thread, so every operation takes one lock for its whole duration: a read
// that waits for its reply keeps a write from another thread from slipping in between.
//
// Why a plain descriptor with termios and poll() and not QSerialPort or QTcpSocket: those objects
// belong to the thread they live in and may only be used there, with an event loop running, while
// this one object is called from whichever thread the plugin happens to use and has to wait for a
// reply right inside read(). A descriptor serves any thread under the lock, waits without an
// event loop, and treats a serial device and a socket alike.
//
// - read(buffer, max) waits until a whole reply is pending (up to the LF after ETX) or the read
//   timeout has passed since the call, whichever comes first, then hands over the first whole
//   reply, or whatever is pending when none is complete, at most max bytes. A pause between two
//   bursts of a reply never ends the wait. Bytes not taken stay pending.
// - write(data, length) sends every byte or answers how many went out before an error or the
//   write timeout.
// - setOption(12, 0) discards every byte already received, pending here or still queued in the
//   device, and answers true: the transfer worker sets it before each command, so a late reply
//   to an earlier request is never taken as the reply to the next one. Other keys or values
//   answer false and change nothing.
// - retryCount() answers the value set with setRetryCount (3 by default).
//
// A line that hands every request straight back (an RS-485 adapter with local echo on) makes each
// reply look like the request itself, which no driver can use: when the bytes received after a
// write begin with exactly the bytes written, the port notes it (echoSeen(), logged once under
// dcp30.ports) so the program can name the cause instead of a lost reply.
class LinePort : public PortObject
{
public:
    enum class Kind { Serial, Socket };

    // Takes ownership of fd, which must be in non-blocking mode; the destructor closes it.
    LinePort(int fd, Kind kind, const QString &name);
    ~LinePort() override;

    LinePort(const LinePort &) = delete;
    LinePort &operator=(const LinePort &) = delete;

    int read(char *buffer, int maxLength) override;
    int write(const char *data, int length) override;
    bool setOption(int key, const QVariant &value) override;
    int retryCount() override;

    void setRetryCount(int count);
    void setReadTimeout(int milliseconds);
    int readTimeout() const;
    void setWriteTimeout(int milliseconds);

    QString name() const { return m_name; }
    Kind kind() const { return m_kind; }
    // True once the other end has gone: a closed connection or a vanished device.
    bool isDisconnected() const;
    // True once the bytes received after a write began with every byte of that write.
    bool echoSeen() const { return m_echoSeen.load(); }
    // True when port is a LinePort that has seen its requests echoed; false for any other port.
    static bool echoes(const PortObject *port);

private:
    // Waits up to waitMs for bytes and moves everything readable into the assembler.
    void receiveLocked(int waitMs);
    void drainLocked();
    // Compares what arrived since the last write with the bytes of that write.
    void watchEchoLocked(const char *data, int length);

    const int m_fd;
    const Kind m_kind;
    const QString m_name;
    mutable std::mutex m_mutex;
    ReplyAssembler m_input;
    bool m_disconnected = false;
    QByteArray m_lastWrite;  // the bytes of the last whole write while its echo is still open
    QByteArray m_sinceWrite; // what arrived after it, at most as many bytes
    std::atomic<bool> m_echoSeen{false};
    std::atomic<int> m_retryCount{3};
    std::atomic<int> m_readTimeout{500};
    std::atomic<int> m_writeTimeout{2000};
};

#endif
