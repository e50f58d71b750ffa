#include "SimulatorServer.h"

#include "Console.h"
#include "SimulatorLink.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Control characters as escapes, so a trace line shows exactly what went over the line.
QString printable(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes) {
        const uchar u = uchar(c);
        if (u == 0x02)
            text += QLatin1String("<STX>");
        else if (u == 0x03)
            text += QLatin1String("<ETX>");
        else if (u == '\r')
            text += QLatin1String("<CR>");
        else if (u == '\n')
            text += QLatin1String("<LF>");
        else if (u < 0x20 || u >= 0x7F)
            text += QStringLiteral("<%1>").arg(u, 2, 16, QLatin1Char('0'));
        else
            text += QLatin1Char(c);
    }
    return text;
}

} // namespace

SimulatorServer::SimulatorServer(const FaultPlan &plan, bool verbose, QObject *parent)
    : QObject(parent), m_plan(plan), m_verbose(verbose)
{
}

SimulatorServer::~SimulatorServer()
{
    delete m_ptyNotifier;
    delete m_ptyLink;
    delete m_tcpServer;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

FaultPlan::Delivery SimulatorServer::exchange(const QByteArray &frame, const QString &lineName)
{
    const FaultPlan::Delivery delivery = m_plan.exchange(m_controller, frame);
    if (m_verbose) {
        QString note;
        if (delivery.faulted)
            note = QStringLiteral(" [fault: %1]").arg(FaultRule::faultName(delivery.fault));
        Console::error(QStringLiteral("%1 -> %2").arg(lineName, printable(frame)));
        Console::error(QStringLiteral("%1 <- %2%3")
                           .arg(lineName,
                                delivery.chunks.isEmpty() ? QStringLiteral("(no reply)")
                                                          : printable(delivery.bytes()),
                                note));
    }
    return delivery;
}

bool SimulatorServer::startPty(QString *devicePath, QString *error)
{
    auto fail = [&](const QString &what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(what, systemError());
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return fail(QStringLiteral("cannot open a pseudo-terminal"));
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail(QStringLiteral("cannot unlock the pseudo-terminal"));
    char name[256];
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail(QStringLiteral("cannot name the pseudo-terminal"));
    // Holding the device side open keeps the line up while no client has it open, and setting
    // it raw keeps the line discipline from echoing or translating the protocol's bytes.
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail(QStringLiteral("cannot open %1").arg(QString::fromLocal8Bit(name)));
    termios tio;
    if (::tcgetattr(m_slave, &tio) != 0)
        return fail(QStringLiteral("cannot read the line settings"));
    ::cfmakeraw(&tio);
    if (::tcsetattr(m_slave, TCSANOW, &tio) != 0)
        return fail(QStringLiteral("cannot set the line raw"));
    const int flags = ::fcntl(m_master, F_GETFL);
    ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK);

    const QString path = QString::fromLocal8Bit(name);
    const int master = m_master;
    m_ptyLink = new SimulatorLink(
        this,
        [master](const QByteArray &bytes) -> qint64 {
            const ssize_t n = ::write(master, bytes.constData(), size_t(bytes.size()));
            return n < 0 ? 0 : qint64(n);
        },
        path);
    m_ptyNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read);
    connect(m_ptyNotifier, &QSocketNotifier::activated, this, &SimulatorServer::readPty);
    if (devicePath)
        *devicePath = path;
    return true;
}

void SimulatorServer::readPty()
{
    QByteArray received;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0) {
            received.append(chunk, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (!received.isEmpty())
        m_ptyLink->receive(received);
}

bool SimulatorServer::startTcp(quint16 port, quint16 *boundPort, QString *error)
{
    m_tcpServer = new QTcpServer;
    if (!m_tcpServer->listen(QHostAddress::LocalHost, port)) {
        if (error)
            *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                         .arg(port)
                         .arg(m_tcpServer->errorString());
        return false;
    }
    connect(m_tcpServer, &QTcpServer::newConnection, this, &SimulatorServer::acceptConnections);
    if (boundPort)
        *boundPort = m_tcpServer->serverPort();
    return true;
}

void SimulatorServer::acceptConnections()
{
    while (QTcpSocket *socket = m_tcpServer->nextPendingConnection()) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        const QString name = QStringLiteral("tcp:%1:%2")
                                 .arg(socket->peerAddress().toString())
                                 .arg(socket->peerPort());
        // The link is the socket's child and goes with it.
        auto *link = new SimulatorLink(
            this, [socket](const QByteArray &bytes) { return socket->write(bytes); }, name, socket);
        connect(socket, &QTcpSocket::readyRead, link,
                [socket, link] { link->receive(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (m_verbose)
            Console::error(QStringLiteral("%1 connected").arg(name));
    }
}
