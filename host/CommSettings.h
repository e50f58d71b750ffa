#ifndef COMMSETTINGS_H
#define COMMSETTINGS_H

#include "CommEndpoint.h"

#include <QDataStream>
#include <QList>
#include <QPair>
#include <QString>

// A driver's link settings as the host stores them: link type, port text, serial line
// parameters, link id and a list of network endpoints with a current entry. A plain value type.
//
// Stream form choices:
// - an endpoint's port is written and read as a 16-bit integer, so a list written by one record
//   is read back by another;
// - the current index read from a stream is tested against the endpoint list read with it (it is
//   applied when it names an entry of that list; otherwise the record keeps its own index when
//   that still names an entry, else 0).
class CommSettings
{
public:
    CommSettings(quint32 type, const QString &string, qint32 baudrate, qint32 databits,
                 qint32 stopbits, qint32 parity);
    CommSettings(quint32 type, const QString &string, qint32 baudrate, qint32 databits,
                 qint32 stopbits, qint32 parity, qint32 hostValue, const QString &hostText);

    // Sets the current index when 0 <= i < number of endpoints; otherwise nothing changes.
    void setCurrentIndex(int i);
    int currentIndex() const { return m_currentIndex; }

    // index -1 stands for the current index; an index naming no entry answers "" / 0.
    QString endpointIp(int index = -1) const;
    quint16 endpointPort(int index = -1) const;
    // Replace one member of the entry at index (-1: current); no entry, no change.
    void setEndpointIp(const QString &ip, int index = -1);
    void setEndpointPort(quint16 port, int index = -1);
    // Replaces the list: ip from the first text, port from the second read as an unsigned 16-bit
    // decimal number (0 when it is not one). The current index is left as it is.
    void setEndpoints(const QList<QPair<QString, QString>> &pairs);
    const QList<CommEndpoint> &endpoints() const { return m_endpoints; }

    // "type: 64 string: "COM1" ... current port: 0 ", every item followed by one space.
    QString debugText() const;
    // Writes debugText() as one message on the debug output.
    void dump() const;

    quint32 type;
    QString string;
    qint32 baudrate;
    qint32 databits;
    qint32 stopbits;
    qint32 parity;
    qint32 hostValue = 0;
    QString hostText;
    qint32 linkID = -1;

private:
    friend QDataStream &operator<<(QDataStream &out, const CommSettings &settings);
    friend QDataStream &operator>>(QDataStream &in, CommSettings &settings);

    const CommEndpoint *entry(int index) const;
    CommEndpoint *entry(int index);

    qint32 m_currentIndex = 0;
    QList<CommEndpoint> m_endpoints;
};

QDataStream &operator<<(QDataStream &out, const CommSettings &settings);
QDataStream &operator>>(QDataStream &in, CommSettings &settings);

#endif
