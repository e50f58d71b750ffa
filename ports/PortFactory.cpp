#include "PortFactory.h"

#include "LinePort.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// How long a TCP connection may take to come up; converters on a busy network answer slowly.
const int MinConnectTimeoutMs = 3000;

} // namespace

std::unique_ptr<PortObject> PortFactory::open(const PortAddress &address, const Options &options,
                                              QString *error)
{
    switch (address.kind) {
    case PortAddress::Kind::Simulated:
        if (error)
            *error = QStringLiteral("\"sim\" names the built-in simulated controller, not a line");
        return nullptr;
    case PortAddress::Kind::Serial: {
        const int fd = openSerial(address.path, options.serial, error);
        if (fd < 0)
            return nullptr;
        auto port = std::make_unique<LinePort>(fd, LinePort::Kind::Serial, address.path);
        port->setRetryCount(options.retries);
        port->setReadTimeout(options.timeoutMs);
        return port;
    }
    case PortAddress::Kind::Tcp: {
        const int fd = connectTcp(address.host, address.tcpPort,
                                  qMax(MinConnectTimeoutMs, options.timeoutMs), error);
        if (fd < 0)
            return nullptr;
        auto port = std::make_unique<LinePort>(fd, LinePort::Kind::Socket, address.toString());
        port->setRetryCount(options.retries);
        port->setReadTimeout(options.timeoutMs);
        return port;
    }
    }
    return nullptr;
}

int PortFactory::openSerial(const QString &path, const SerialSettings &settings, QString *error)
{
    const QByteArray name = path.toLocal8Bit();
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(path, systemError(errno));
        return -1;
    }
    if (!::isatty(fd)) {
        if (error)
            *error = QStringLiteral("%1 is not a serial device").arg(path);
        ::close(fd);
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        if (error) {
            *error = code == EWOULDBLOCK
                         ? QStringLiteral("%1 is in use by another program").arg(path)
                         : QStringLiteral("cannot lock %1: %2").arg(path, systemError(code));
        }
        ::close(fd);
        return -1;
    }
    QString reason;
    if (!settings.apply(fd, &reason)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, reason);
        ::close(fd);
        return -1;
    }
    // Whatever the line carried before we opened it belongs to nobody.
    ::tcflush(fd, TCIOFLUSH);
    return fd;
}

int PortFactory::connectTcp(const QString &host, quint16 port, int timeoutMs, QString *error)
{
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const QByteArray hostName = host.toUtf8();
    const QByteArray service = QByteArray::number(port);
    const int lookup = ::getaddrinfo(hostName.constData(), service.constData(), &hints, &found);
    if (lookup != 0) {
        if (error)
            *error = QStringLiteral("cannot resolve %1: %2")
                         .arg(host, QString::fromLocal8Bit(::gai_strerror(lookup)));
        return -1;
    }
    int lastError = ECONNREFUSED;
    int connected = -1;
    for (addrinfo *a = found; a && connected < 0; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        int result = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (result != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            result = ::poll(&p, 1, timeoutMs);
            if (result == 0) {
                lastError = ETIMEDOUT;
                result = -1;
            } else if (result > 0) {
                int code = 0;
                socklen_t length = sizeof code;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &length);
                lastError = code;
                result = code == 0 ? 0 : -1;
            } else {
                lastError = errno;
            }
        } else if (result != 0) {
            lastError = errno;
        }
        if (result == 0) {
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            connected = fd;
        } else {
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    if (connected < 0 && error)
        *error = QStringLiteral("cannot connect to %1:%2: %3")
                     .arg(host)
                     .arg(port)
                     .arg(systemError(lastError));
    return connected;
}
