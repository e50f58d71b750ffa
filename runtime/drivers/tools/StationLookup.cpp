#include "StationLookup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#include <limits>

namespace DriverTools {

namespace {

// Runs a prepared query with its values bound in order; false when the connection cannot be
// opened or the query cannot be prepared or run.
bool runQuery(QSqlQuery &query, const QString &sql, const QVariantList &values)
{
    if (!query.driver() || !query.driver()->isOpen() || !query.prepare(sql))
        return false;
    for (const QVariant &value : values)
        query.addBindValue(value);
    return query.exec();
}

QSqlDatabase openedDatabase(const QString &connection)
{
    return QSqlDatabase::database(connection, true);
}

// A null text would bind as SQL NULL, which equals nothing; the text between quotes of a query
// written out in full is the empty string, so bind that instead.
QVariant boundText(const QString &text)
{
    return text.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(text);
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

QDir compileDir()
{
    return compileDir(QCoreApplication::applicationDirPath());
}

QDir compileDir(const QString &baseDir)
{
    QDir dir(baseDir);
    if (dir.exists(QStringLiteral("compile")))
        dir.cd(QStringLiteral("compile"));
    return dir;
}

QString databaseFilePath()
{
    return databaseFilePath(QCoreApplication::applicationDirPath());
}

QString databaseFilePath(const QString &baseDir)
{
    QDir dir = compileDir(baseDir);
    if (dir.exists(QStringLiteral("database")))
        dir.cd(QStringLiteral("database"));
    return QFileInfo(dir, QStringLiteral("database")).absoluteFilePath();
}

int hmiPortFromDevice(const QString &device)
{
    if (device.startsWith(QStringLiteral("ETHERNET"), Qt::CaseInsensitive))
        return 2000;
    int first = device.size();
    while (first > 0 && isAsciiDigit(device.at(first - 1)))
        --first;
    if (first == device.size() || first == 0)
        return -1;
    qint64 number = 0;
    for (int i = first; i < device.size(); ++i) {
        number = number * 10 + (device.at(i).unicode() - '0');
        if (number + 1000 > std::numeric_limits<int>::max())
            return -1;
    }
    return int(number + 1000);
}

bool defaultStationOfPort(const QString &connection, int hmiPort, int &linkId, quint8 &stationId)
{
    QSqlQuery query(openedDatabase(connection));
    if (!runQuery(query,
                  QStringLiteral("SELECT LINK.LINKID, NODE.STATIONID FROM LINK, NODE WHERE "
                                 "LINK.HMIPORT = ? AND NODE.LINKID = LINK.LINKID AND "
                                 "NODE.ISDEFAULT = 1;"),
                  {hmiPort}))
        return false;
    if (!query.next())
        return false;
    linkId = query.value(0).toInt();
    stationId = quint8(query.value(1).toUInt() & 0xFF);
    return true;
}

bool stationsOfEndpoint(const QString &connection, int hmiPort, const QString &ip, quint16 tcpPort,
                        QList<StationEntry> &stations)
{
    QSqlQuery query(openedDatabase(connection));
    if (runQuery(query,
                 QStringLiteral("SELECT LINK.LINKID, NODE.STATIONID FROM LINK, NODE WHERE "
                                "LINK.HMIPORT = ? AND NODE.LINKID = LINK.LINKID AND NODE.IP = ? "
                                "AND NODE.PORT = ? AND NODE.ISDEFAULT = 1;"),
                 {hmiPort, boundText(ip), int(tcpPort)})) {
        while (query.next())
            stations.append({query.value(0).toInt(), quint8(query.value(1).toUInt() & 0xFF)});
    }
    return !stations.isEmpty();
}

bool stationsOfLink(const QString &connection, int linkId, QList<StationEntry> &stations)
{
    QSqlQuery query(openedDatabase(connection));
    if (runQuery(query,
                 QStringLiteral("SELECT NODE.STATIONID FROM NODE WHERE NODE.LINKID = ? AND "
                                "NODE.ISDEFAULT = 1"),
                 {linkId})) {
        while (query.next())
            stations.append({linkId, quint8(query.value(0).toUInt() & 0xFF)});
    }
    return !stations.isEmpty();
}

} // namespace DriverTools
