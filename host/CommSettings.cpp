#include "CommSettings.h"

#include <QDebug>

CommSettings::CommSettings(quint32 type, const QString &string, qint32 baudrate, qint32 databits,
                           qint32 stopbits, qint32 parity)
    : type(type), string(string), baudrate(baudrate), databits(databits), stopbits(stopbits),
      parity(parity)
{
}

CommSettings::CommSettings(quint32 type, const QString &string, qint32 baudrate, qint32 databits,
                           qint32 stopbits, qint32 parity, qint32 hostValue,
                           const QString &hostText)
    : type(type), string(string), baudrate(baudrate), databits(databits), stopbits(stopbits),
      parity(parity), hostValue(hostValue), hostText(hostText)
{
}

void CommSettings::setCurrentIndex(int i)
{
    if (i >= 0 && i < m_endpoints.size())
        m_currentIndex = i;
}

const CommEndpoint *CommSettings::entry(int index) const
{
    const int i = index == -1 ? m_currentIndex : index;
    return (i >= 0 && i < m_endpoints.size()) ? &m_endpoints.at(i) : nullptr;
}

CommEndpoint *CommSettings::entry(int index)
{
    const int i = index == -1 ? m_currentIndex : index;
    return (i >= 0 && i < m_endpoints.size()) ? &m_endpoints[i] : nullptr;
}

QString CommSettings::endpointIp(int index) const
{
    const CommEndpoint *e = entry(index);
    return e ? e->ip : QString();
}

quint16 CommSettings::endpointPort(int index) const
{
    const CommEndpoint *e = entry(index);
    return e ? e->port : 0;
}

void CommSettings::setEndpointIp(const QString &ip, int index)
{
    if (CommEndpoint *e = entry(index))
        e->ip = ip;
}

void CommSettings::setEndpointPort(quint16 port, int index)
{
    if (CommEndpoint *e = entry(index))
        e->port = port;
}

void CommSettings::setEndpoints(const QList<QPair<QString, QString>> &pairs)
{
    m_endpoints.clear();
    for (const auto &pair : pairs) {
        bool ok = false;
        const quint16 port = pair.second.toUShort(&ok, 10);
        m_endpoints.append(CommEndpoint{pair.first, ok ? port : quint16(0)});
    }
}

QString CommSettings::debugText() const
{
    auto quoted = [](const QString &s) { return QLatin1Char('"') + s + QLatin1Char('"'); };
    QString text;
    text += QStringLiteral("type: %1 ").arg(type);
    text += QStringLiteral("string: %1 ").arg(quoted(string));
    text += QStringLiteral("baudrate: %1 ").arg(baudrate);
    text += QStringLiteral("databits: %1 ").arg(databits);
    text += QStringLiteral("stopbits: %1 ").arg(stopbits);
    text += QStringLiteral("parity: %1 ").arg(parity);
    text += QStringLiteral("linkID: %1 ").arg(linkID);
    text += QStringLiteral("current ip: %1 ").arg(quoted(endpointIp(-1)));
    text += QStringLiteral("current port: %1 ").arg(endpointPort(-1));
    return text;
}

void CommSettings::dump() const
{
    qDebug().noquote().nospace() << debugText();
}

QDataStream &operator<<(QDataStream &out, const CommSettings &s)
{
    out << s.type << s.string << s.baudrate << s.databits << s.stopbits << s.parity << s.hostValue
        << s.linkID << s.m_currentIndex << qint32(s.m_endpoints.size());
    for (const CommEndpoint &e : s.m_endpoints)
        out << e.ip << e.port;
    return out;
}

QDataStream &operator>>(QDataStream &in, CommSettings &s)
{
    qint32 index = 0;
    qint32 count = 0;
    in >> s.type >> s.string >> s.baudrate >> s.databits >> s.stopbits >> s.parity >> s.hostValue >>
        s.linkID >> index;
    s.m_endpoints.clear();
    in >> count;
    for (qint32 i = 0; i < count && in.status() == QDataStream::Ok && !in.atEnd(); ++i) {
        CommEndpoint e;
        in >> e.ip >> e.port;
        if (in.status() != QDataStream::Ok)
            break;
        s.m_endpoints.append(e);
    }
    if (index >= 0 && index < s.m_endpoints.size())
        s.m_currentIndex = index;
    else if (s.m_currentIndex >= s.m_endpoints.size())
        s.m_currentIndex = 0;
    return in;
}
