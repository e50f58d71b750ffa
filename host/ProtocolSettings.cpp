#include "ProtocolSettings.h"

#include <QDebug>

ProtocolSettings::ProtocolSettings(qint32 timeout, qint32 retry, qint32 stationid, qint32 delay)
    : timeout(timeout), retry(retry), stationid(stationid), delay(delay)
{
}

ProtocolSettings::ProtocolSettings(qint32 timeout, qint32 retry, qint32 stationid, qint32 delay,
                                   const QString &hostText, bool hostFlag)
    : timeout(timeout), retry(retry), stationid(stationid), delay(delay), hostText(hostText),
      hostFlag(hostFlag)
{
}

ProtocolSettings &ProtocolSettings::operator=(const ProtocolSettings &other)
{
    timeout = other.timeout;
    retry = other.retry;
    stationid = other.stationid;
    delay = other.delay;
    hostText = other.hostText;
    return *this;
}

QString ProtocolSettings::debugText() const
{
    return QStringLiteral("timeout: %1 retry: %2 stationid: %3 delay: %4 ")
        .arg(timeout)
        .arg(retry)
        .arg(stationid)
        .arg(delay);
}

void ProtocolSettings::dump() const
{
    qDebug().noquote().nospace() << debugText();
}

QDataStream &operator<<(QDataStream &out, const ProtocolSettings &s)
{
    return out << s.timeout << s.retry << s.stationid << s.delay;
}

QDataStream &operator>>(QDataStream &in, ProtocolSettings &s)
{
    return in >> s.timeout >> s.retry >> s.stationid >> s.delay;
}
