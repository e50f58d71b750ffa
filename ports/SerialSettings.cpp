#include "SerialSettings.h"

#include "PortsLogging.h"

#include <QStringList>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

namespace {

struct BaudEntry
{
    int rate;
    speed_t speed;
};

const BaudEntry baudTable[] = {
    {50, B50},         {75, B75},         {110, B110},         {134, B134},
    {150, B150},       {200, B200},       {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
};

bool speedOf(int rate, speed_t &speed)
{
    for (const BaudEntry &entry : baudTable) {
        if (entry.rate == rate) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

bool strictInt(const QString &text, int &value)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    for (const QChar c : trimmed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    value = trimmed.toInt(&ok);
    return ok;
}

// Unix98 pseudo-terminal devices (/dev/pts/N) have the major numbers 136 to 143.
bool isPseudoTerminal(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned int number = major(info.st_rdev);
    return number >= 136 && number <= 143;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

bool SerialSettings::parseParity(const QString &text, Parity &parity)
{
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("NONE") || t == QLatin1String("N"))
        parity = Parity::None;
    else if (t == QLatin1String("EVEN") || t == QLatin1String("E"))
        parity = Parity::Even;
    else if (t == QLatin1String("ODD") || t == QLatin1String("O"))
        parity = Parity::Odd;
    else
        return false;
    return true;
}

QString SerialSettings::parityName(Parity parity)
{
    switch (parity) {
    case Parity::None:
        return QStringLiteral("NONE");
    case Parity::Even:
        return QStringLiteral("EVEN");
    case Parity::Odd:
        return QStringLiteral("ODD");
    }
    return QString();
}

bool SerialSettings::isSupportedBaudRate(int baudRate)
{
    speed_t speed;
    return speedOf(baudRate, speed);
}

bool SerialSettings::fromCommText(const QString &text, SerialSettings &settings, QString *error)
{
    const QStringList fields = text.split(QLatin1Char(','));
    auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("communication text \"%1\": %2").arg(text, reason);
        return false;
    };
    if (fields.size() != 5)
        return fail(
            QStringLiteral("expected 5 fields (interface,baud,parity,data bits,stop bits)"));
    SerialSettings parsed;
    parsed.interfaceName = fields.at(0).trimmed();
    if (!strictInt(fields.at(1), parsed.baudRate) || !isSupportedBaudRate(parsed.baudRate))
        return fail(QStringLiteral("unsupported baud rate \"%1\"").arg(fields.at(1)));
    if (!parseParity(fields.at(2), parsed.parity))
        return fail(QStringLiteral("unknown parity \"%1\"").arg(fields.at(2)));
    if (!strictInt(fields.at(3), parsed.dataBits) || parsed.dataBits < 5 || parsed.dataBits > 8)
        return fail(QStringLiteral("data bits must be 5 to 8, not \"%1\"").arg(fields.at(3)));
    if (!strictInt(fields.at(4), parsed.stopBits) || parsed.stopBits < 1 || parsed.stopBits > 2)
        return fail(QStringLiteral("stop bits must be 1 or 2, not \"%1\"").arg(fields.at(4)));
    settings = parsed;
    return true;
}

QString SerialSettings::toString() const
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baudRate)
        .arg(parityName(parity))
        .arg(dataBits)
        .arg(stopBits);
}

bool SerialSettings::apply(int fd, QString *error) const
{
    speed_t speed;
    if (!speedOf(baudRate, speed)) {
        if (error)
            *error = QStringLiteral("unsupported baud rate %1").arg(baudRate);
        return false;
    }
    termios tio;
    if (::tcgetattr(fd, &tio) != 0) {
        if (error)
            *error = QStringLiteral("not a serial device (%1)").arg(systemError());
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    switch (dataBits) {
    case 5:
        tio.c_cflag |= CS5;
        break;
    case 6:
        tio.c_cflag |= CS6;
        break;
    case 7:
        tio.c_cflag |= CS7;
        break;
    default:
        tio.c_cflag |= CS8;
        break;
    }
    if (parity != Parity::None)
        tio.c_cflag |= PARENB;
    if (parity == Parity::Odd)
        tio.c_cflag |= PARODD;
    if (stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    // The port waits with poll(); the line discipline must never hold a read back.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd, TCSANOW, &tio) == 0)
        return true;
    const QString reason = systemError();
    // The C library reports when the device changed the character framing it was asked for. A
    // pseudo-terminal has no framing (it forces 8 bits without parity); on one, everything else
    // must have been taken as asked.
    termios taken;
    const tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    if (errno == EINVAL && isPseudoTerminal(fd) && ::tcgetattr(fd, &taken) == 0 &&
        (taken.c_cflag & ~framing) == (tio.c_cflag & ~framing) && taken.c_iflag == tio.c_iflag &&
        taken.c_oflag == tio.c_oflag && taken.c_lflag == tio.c_lflag &&
        ::cfgetispeed(&taken) == speed && ::cfgetospeed(&taken) == speed) {
        qCDebug(lcPorts) << "line framing" << toString() << "not supported by the device; kept"
                         << taken.c_cflag;
        return true;
    }
    if (error)
        *error = QStringLiteral("cannot set %1 (%2)").arg(toString(), reason);
    return false;
}
