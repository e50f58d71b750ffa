#include "PortAddress.h"

bool PortAddress::parse(const QString &text, PortAddress &address, QString *error)
{
    auto fail = [&](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (text.isEmpty())
        return fail(QStringLiteral("--port needs a value: sim, a serial device or tcp:HOST:PORT"));
    PortAddress parsed;
    if (text == QLatin1String("sim")) {
        parsed.kind = Kind::Simulated;
    } else if (text.startsWith(QLatin1String("tcp:"))) {
        const QString rest = text.mid(4);
        const int colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon <= 0)
            return fail(
                QStringLiteral("port \"%1\" must have the form tcp:HOST:PORTNUMBER").arg(text));
        QString host = rest.left(colon);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        const QString number = rest.mid(colon + 1);
        bool ok = !number.isEmpty();
        for (const QChar c : number)
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const uint value = ok ? number.toUInt(&ok) : 0;
        if (host.isEmpty() || !ok || value < 1 || value > 65535)
            return fail(
                QStringLiteral("port \"%1\" must have the form tcp:HOST:PORTNUMBER with a port "
                               "number from 1 to 65535")
                    .arg(text));
        parsed.kind = Kind::Tcp;
        parsed.host = host;
        parsed.tcpPort = quint16(value);
    } else {
        parsed.kind = Kind::Serial;
        parsed.path = text;
    }
    address = parsed;
    return true;
}

QString PortAddress::toString() const
{
    switch (kind) {
    case Kind::Simulated:
        return QStringLiteral("sim");
    case Kind::Serial:
        return path;
    case Kind::Tcp:
        return host.contains(QLatin1Char(':'))
                   ? QStringLiteral("tcp:[%1]:%2").arg(host).arg(tcpPort)
                   : QStringLiteral("tcp:%1:%2").arg(host).arg(tcpPort);
    }
    return QString();
}
