#include "LinePort.h"

#include "PortsLogging.h"

#include <cerrno>
#include <chrono>

#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

} // namespace

LinePort::LinePort(int fd, Kind kind, const QString &name) : m_fd(fd), m_kind(kind), m_name(name) {}

LinePort::~LinePort()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void LinePort::setRetryCount(int count)
{
    m_retryCount.store(count);
}

int LinePort::retryCount()
{
    return m_retryCount.load();
}

void LinePort::setReadTimeout(int milliseconds)
{
    m_readTimeout.store(qMax(0, milliseconds));
}

int LinePort::readTimeout() const
{
    return m_readTimeout.load();
}

void LinePort::setWriteTimeout(int milliseconds)
{
    m_writeTimeout.store(qMax(0, milliseconds));
}

bool LinePort::isDisconnected() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_disconnected;
}

bool LinePort::echoes(const PortObject *port)
{
    const LinePort *line = dynamic_cast<const LinePort *>(port);
    return line && line->echoSeen();
}

void LinePort::watchEchoLocked(const char *data, int length)
{
    if (m_lastWrite.isEmpty())
        return;
    m_sinceWrite.append(data, qMin(length, m_lastWrite.size() - m_sinceWrite.size()));
    if (!m_lastWrite.startsWith(m_sinceWrite)) {
        m_lastWrite.clear(); // an answer of its own: this request was not echoed
        return;
    }
    if (m_sinceWrite.size() < m_lastWrite.size())
        return; // the same so far; the rest is still on its way
    m_lastWrite.clear();
    if (!m_echoSeen.exchange(true))
        qCWarning(lcPorts) << m_name << "echoes every request: the bytes received after a write"
                           << "began with the request itself";
}

void LinePort::receiveLocked(int waitMs)
{
    pollfd p{m_fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, waitMs);
    if (ready <= 0)
        return; // timeout, or a signal: the caller's loop decides whether to wait again
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n > 0) {
            m_input.append(chunk, int(n));
            watchEchoLocked(chunk, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A terminal in raw mode without a minimum count answers 0 when it has nothing more;
        // only a socket's 0 means that the other end has closed.
        if ((n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) ||
            (n == 0 && m_kind == Kind::Serial)) {
            // A hang-up with nothing left to read means nothing more will come.
            if (p.revents & (POLLHUP | POLLERR))
                m_disconnected = true;
            return;
        }
        // End of stream (a closed connection) or a device error such as EIO on a pseudo-terminal
        // whose other side has gone.
        m_disconnected = true;
        return;
    }
}

int LinePort::read(char *buffer, int maxLength)
{
    if (!buffer || maxLength <= 0)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(m_readTimeout.load());
    for (;;) {
        if (m_input.hasWholeReply() || m_disconnected)
            break;
        const int left = millisecondsLeft(deadline);
        receiveLocked(left);
        if (left == 0)
            break;
    }
    const int n = m_input.take(buffer, maxLength);
    qCDebug(lcPorts) << m_name << "received" << QByteArray(buffer, n);
    return n;
}

int LinePort::write(const char *data, int length)
{
    if (!data || length <= 0)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    qCDebug(lcPorts) << m_name << "send" << QByteArray(data, length);
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(m_writeTimeout.load());
    int written = 0;
    while (written < length) {
        const size_t left = size_t(length - written);
        const ssize_t n = m_kind == Kind::Socket ? ::send(m_fd, data + written, left, MSG_NOSIGNAL)
                                                 : ::write(m_fd, data + written, left);
        if (n > 0) {
            written += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int wait = millisecondsLeft(deadline);
            if (wait == 0)
                break;
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, wait);
            continue;
        }
        m_disconnected = true;
        break;
    }
    m_sinceWrite.clear();
    m_lastWrite = written == length ? QByteArray(data, length) : QByteArray();
    return written;
}

void LinePort::drainLocked()
{
    if (m_input.pendingSize() > 0)
        qCDebug(lcPorts) << m_name << "discarded" << m_input.pending();
    m_input.clear();
    if (m_kind == Kind::Serial)
        ::tcflush(m_fd, TCIFLUSH);
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n > 0)
            continue;
        if (n < 0 && errno == EINTR)
            continue;
        if ((n == 0 && m_kind == Kind::Socket) ||
            (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            m_disconnected = true;
        break;
    }
}

bool LinePort::setOption(int key, const QVariant &value)
{
    bool isInt = false;
    const int number = value.toInt(&isInt);
    if (key != OptionDiscardInput || !isInt || number != 0)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    drainLocked();
    return true;
}
