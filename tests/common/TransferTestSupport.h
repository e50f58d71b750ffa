#ifndef TRANSFERTESTSUPPORT_H
#define TRANSFERTESTSUPPORT_H

#include "CommunicatorCommand.h"
#include "ControllerSimulator.h"
#include "DriverDCP30.h"
#include "ProgramFormat.h"

#include <QCoreApplication>
#include <QList>
#include <QStringList>
#include <QVariant>

// What the transfer tests share: tag access as the host does it, the bytes of a program CSV file
// and the rows a read must produce.
namespace TestSupport {

class Command : public CommunicatorCommand
{
public:
    explicit Command(const QString &a, int elements = 1)
    {
        address = a;
        count = quint64(elements);
    }
};

inline bool writeByte(DriverDCP30 &driver, PortObject *port, const QString &address, int value)
{
    Command c(address);
    QByteArray v(1, char(value));
    return driver.writeTag(port, &c, v);
}

// The one-byte value of a tag, -1 for any other answer.
inline int readByte(DriverDCP30 &driver, PortObject *port, const QString &address)
{
    Command c(address);
    const QByteArray v = driver.readTag(port, &c);
    return v.size() == 1 ? int(quint8(v.at(0))) : -1;
}

// The bytes the saver writes for rows without cells that need quoting (UTF-16LE, BOM, tabs,
// CR LF).
inline QByteArray csvBytes(const QList<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows)
        text += row.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    QByteArray bytes("\xff\xfe", 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xff));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

// The header row and one row per record, segment 1 first, as a read produces them.
inline QList<QStringList> rowsOf(const QStringList &records)
{
    ProgramFormat format;
    QList<QStringList> rows;
    format.generalHead(rows);
    for (int s = 1; s <= records.size(); ++s)
        format.HEX2CSV(s, records.at(s - 1) + QStringLiteral("\x03\r\n"), rows);
    return rows;
}

// The rows a read of these segments of a program must produce.
inline QList<QStringList> rowsOf(ControllerSimulator &sim, int program, const QList<int> &segments)
{
    ProgramFormat format;
    QList<QStringList> rows;
    format.generalHead(rows);
    for (int s : segments)
        format.HEX2CSV(s, sim.segmentRecord(program, s) + QStringLiteral("\x03\r\n"), rows);
    return rows;
}

// The host property that makes a driver build its worker and load the link driver.
struct ZelEnv
{
    ZelEnv() { QCoreApplication::instance()->setProperty("zel_env", 1); }
    ~ZelEnv() { QCoreApplication::instance()->setProperty("zel_env", QVariant()); }
};

} // namespace TestSupport

#endif
