#ifndef PROTOCOLSETTINGS_H
#define PROTOCOLSETTINGS_H

#include <QDataStream>
#include <QString>

// A driver's protocol settings: timeout, retry count, station id and delay, plus a host-defined
// text and flag that are not part of the stream form. A plain value type.
class ProtocolSettings
{
public:
    // The flag starts false with this constructor.
    ProtocolSettings(qint32 timeout, qint32 retry, qint32 stationid, qint32 delay);
    ProtocolSettings(qint32 timeout, qint32 retry, qint32 stationid, qint32 delay,
                     const QString &hostText, bool hostFlag);
    ProtocolSettings(const ProtocolSettings &other) = default;

    // Copies the four integers and the text; the flag keeps its value.
    ProtocolSettings &operator=(const ProtocolSettings &other);

    // "timeout: 500 retry: 3 stationid: 1 delay: 0 ", every item followed by one space.
    QString debugText() const;
    void dump() const;

    qint32 timeout;
    qint32 retry;
    qint32 stationid;
    qint32 delay;
    QString hostText;
    bool hostFlag = false;
};

QDataStream &operator<<(QDataStream &out, const ProtocolSettings &settings);
QDataStream &operator>>(QDataStream &in, ProtocolSettings &settings);

#endif
