#include "StationLookup.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace DriverTools;

Q_DECLARE_METATYPE(QList<DriverTools::StationEntry>)

namespace DriverTools {
// Lets QCOMPARE print the lists it compares.
char *toString(const StationEntry &entry)
{
    return QTest::toString(QStringLiteral("(%1, %2)").arg(entry.linkId).arg(entry.stationId));
}
} // namespace DriverTools

namespace {

const QString Connection = QStringLiteral("tools_stations");

using Entries = QList<StationEntry>;

// Rows as the query written out in full selects them, for comparison with the bound form.
Entries literalEndpointRows(int hmiPort, const QString &ip, int tcpPort)
{
    QSqlQuery query(QSqlDatabase::database(Connection));
    Entries rows;
    const QString sql = QStringLiteral("SELECT LINK.LINKID, NODE.STATIONID FROM LINK, NODE WHERE "
                                       "LINK.HMIPORT = %1 AND NODE.LINKID = LINK.LINKID AND "
                                       "NODE.IP = '%2' AND NODE.PORT = %3 AND NODE.ISDEFAULT = 1;")
                            .arg(hmiPort)
                            .arg(ip)
                            .arg(tcpPort);
    if (query.exec(sql)) {
        while (query.next())
            rows.append({query.value(0).toInt(), quint8(query.value(1).toUInt())});
    }
    return rows;
}

} // namespace

class TestToolsStations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void hmiPortFromDevice_data();
    void hmiPortFromDevice();
    void directoryRules_data();
    void directoryRules();
    void noArgumentFormsUseApplicationDirectory();
    void defaultStationOfPort_data();
    void defaultStationOfPort();
    void stationsOfEndpoint_data();
    void stationsOfEndpoint();
    void stationsOfLink_data();
    void stationsOfLink();
    void unknownConnectionAndMissingTables();

private:
    QTemporaryDir m_dir;
};

void TestToolsStations::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection);
    db.setDatabaseName(m_dir.filePath(QStringLiteral("database")));
    QVERIFY(db.open());
    QSqlQuery query(db);
    const QStringList statements = {
        "CREATE TABLE LINK (LINKID INTEGER, HMIPORT INTEGER)",
        "CREATE TABLE NODE (LINKID INTEGER, STATIONID INTEGER, IP TEXT, PORT INTEGER, "
        "ISDEFAULT INTEGER)",
        "INSERT INTO LINK VALUES (1, 1001), (2, 2000), (3, 2000), (4, 1002)",
        "INSERT INTO NODE VALUES (1, 5, '', 0, 1), (1, 6, '', 0, 0), "
        "(2, 10, '192.168.0.10', 502, 1), (2, 11, '192.168.0.10', 502, 1), "
        "(2, 12, '192.168.0.11', 502, 1), (2, 14, '192.168.0.10', 502, 0), "
        "(3, 300, '192.168.0.10', 502, 1), (3, 13, '192.168.0.10', 503, 1), "
        "(4, 7, '', 0, 0)",
    };
    for (const QString &statement : statements)
        QVERIFY2(query.exec(statement), qPrintable(statement));
    // The functions open the connection themselves.
    db.close();
}

void TestToolsStations::cleanupTestCase()
{
    QSqlDatabase::database(Connection, false).close();
    QSqlDatabase::removeDatabase(Connection);
}

void TestToolsStations::hmiPortFromDevice_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("port");
    QTest::newRow("ETHERNET") << "ETHERNET" << 2000;
    QTest::newRow("beginning with it") << "ETHERNET2" << 2000;
    QTest::newRow("lower case") << "ethernet" << 2000;
    QTest::newRow("mixed case") << "EtherNet0" << 2000;
    QTest::newRow("COM1") << "COM1" << 1001;
    QTest::newRow("12 after a letter") << "COM12" << 1012;
    QTest::newRow("digits inside") << "COM3A12" << 1012;
    QTest::newRow("leading zeros") << "tty007" << 1007;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("ends in a letter") << "COMX" << -1;
    QTest::newRow("digits only") << "12" << -1;
    QTest::newRow("too large") << "COM99999999999" << -1;
    QTest::newRow("ethernet later in the text") << "MY_ETHERNET" << -1;
}

void TestToolsStations::hmiPortFromDevice()
{
    QFETCH(QString, device);
    QFETCH(int, port);
    QCOMPARE(DriverTools::hmiPortFromDevice(device), port);
}

void TestToolsStations::directoryRules_data()
{
    QTest::addColumn<QStringList>("directories");
    QTest::addColumn<QString>("compile");
    QTest::addColumn<QString>("database");
    QTest::newRow("neither") << QStringList() << ""
                             << "database";
    QTest::newRow("compile only") << QStringList{"compile"} << "compile"
                                  << "compile/database";
    QTest::newRow("both") << QStringList{"compile", "compile/database"} << "compile"
                          << "compile/database/database";
    QTest::newRow("database without compile") << QStringList{"database"} << ""
                                              << "database/database";
    QTest::newRow("database beside compile") << QStringList{"compile", "database"} << "compile"
                                             << "compile/database";
}

void TestToolsStations::directoryRules()
{
    QFETCH(QStringList, directories);
    QFETCH(QString, compile);
    QFETCH(QString, database);
    QTemporaryDir base;
    QVERIFY(base.isValid());
    for (const QString &dir : directories)
        QVERIFY(QDir(base.path()).mkpath(dir));
    const QString root = QDir(base.path()).absolutePath();
    const QString expectedCompile = compile.isEmpty() ? root : root + "/" + compile;
    QCOMPARE(compileDir(base.path()).absolutePath(), expectedCompile);
    QCOMPARE(databaseFilePath(base.path()), root + "/" + database);
}

void TestToolsStations::noArgumentFormsUseApplicationDirectory()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    QCOMPARE(compileDir().absolutePath(), compileDir(appDir).absolutePath());
    QCOMPARE(databaseFilePath(), databaseFilePath(appDir));
    QVERIFY(databaseFilePath().startsWith(QDir(appDir).absolutePath() + "/"));
    QVERIFY(databaseFilePath().endsWith(QLatin1String("/database")));
}

void TestToolsStations::defaultStationOfPort_data()
{
    QTest::addColumn<int>("hmiPort");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("linkId");
    QTest::addColumn<int>("stationId");
    QTest::newRow("serial port with default") << 1001 << true << 1 << 5;
    QTest::newRow("link without default node") << 1002 << false << -7 << 99;
    QTest::newRow("unknown port") << 1009 << false << -7 << 99;
}

void TestToolsStations::defaultStationOfPort()
{
    QFETCH(int, hmiPort);
    QFETCH(bool, found);
    QFETCH(int, linkId);
    QFETCH(int, stationId);
    int link = -7;
    quint8 station = 99;
    QCOMPARE(DriverTools::defaultStationOfPort(Connection, hmiPort, link, station), found);
    QCOMPARE(link, linkId);
    QCOMPARE(int(station), stationId);
    QVERIFY(QSqlDatabase::database(Connection, false).isOpen());
}

void TestToolsStations::stationsOfEndpoint_data()
{
    QTest::addColumn<int>("hmiPort");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("tcpPort");
    QTest::addColumn<Entries>("before");
    QTest::addColumn<Entries>("after");
    QTest::addColumn<bool>("answer");
    const Entries none;
    const Entries old{{9, 9}};
    // Station 300 of link 3 is cut to 300 mod 256 = 44.
    QTest::newRow("two links on one endpoint")
        << 2000 << "192.168.0.10" << 502 << none << Entries{{2, 10}, {2, 11}, {3, 44}} << true;
    QTest::newRow("other ip") << 2000 << "192.168.0.11" << 502 << none << Entries{{2, 12}} << true;
    QTest::newRow("other tcp port")
        << 2000 << "192.168.0.10" << 503 << none << Entries{{3, 13}} << true;
    QTest::newRow("appends to old entries")
        << 2000 << "192.168.0.11" << 502 << old << Entries{{9, 9}, {2, 12}} << true;
    QTest::newRow("no row") << 2000 << "10.0.0.1" << 502 << none << none << false;
    QTest::newRow("no row, old entry kept") << 2000 << "10.0.0.1" << 502 << old << old << true;
    QTest::newRow("injection selects nothing")
        << 2000 << "' OR 1=1 --" << 502 << none << none << false;
    QTest::newRow("quoted injection selects nothing")
        << 2000 << "x' OR '1'='1" << 502 << none << none << false;
    QTest::newRow("statement injection selects nothing")
        << 2000 << "'; DROP TABLE NODE; --" << 502 << none << none << false;
    QTest::newRow("null ip is the empty text")
        << 1001 << QString() << 0 << none << Entries{{1, 5}} << true;
}

void TestToolsStations::stationsOfEndpoint()
{
    QFETCH(int, hmiPort);
    QFETCH(QString, ip);
    QFETCH(int, tcpPort);
    QFETCH(Entries, before);
    QFETCH(Entries, after);
    QFETCH(bool, answer);
    Entries list = before;
    QCOMPARE(DriverTools::stationsOfEndpoint(Connection, hmiPort, ip, quint16(tcpPort), list),
             answer);
    QCOMPARE(list, after);
    if (!ip.contains(QLatin1Char('\'')))
        QCOMPARE(list.mid(before.size()), literalEndpointRows(hmiPort, ip, tcpPort));
    // The tables survive every payload.
    Entries check;
    QVERIFY(DriverTools::stationsOfLink(Connection, 2, check));
}

void TestToolsStations::stationsOfLink_data()
{
    QTest::addColumn<int>("linkId");
    QTest::addColumn<Entries>("before");
    QTest::addColumn<Entries>("after");
    QTest::addColumn<bool>("answer");
    QTest::newRow("default stations only")
        << 2 << Entries() << Entries{{2, 10}, {2, 11}, {2, 12}} << true;
    QTest::newRow("cut to 8 bits") << 3 << Entries() << Entries{{3, 44}, {3, 13}} << true;
    QTest::newRow("no default") << 4 << Entries() << Entries() << false;
    QTest::newRow("no default, old entry") << 4 << Entries{{1, 1}} << Entries{{1, 1}} << true;
    QTest::newRow("unknown link") << 77 << Entries() << Entries() << false;
}

void TestToolsStations::stationsOfLink()
{
    QFETCH(int, linkId);
    QFETCH(Entries, before);
    QFETCH(Entries, after);
    QFETCH(bool, answer);
    Entries list = before;
    QCOMPARE(DriverTools::stationsOfLink(Connection, linkId, list), answer);
    QCOMPARE(list, after);
}

void TestToolsStations::unknownConnectionAndMissingTables()
{
    int link = 3;
    quint8 station = 4;
    Entries list;
    QVERIFY(!DriverTools::defaultStationOfPort(QStringLiteral("no such connection"), 1001, link,
                                               station));
    QVERIFY(!DriverTools::stationsOfLink(QStringLiteral("no such connection"), 1, list));
    QVERIFY(!DriverTools::stationsOfEndpoint(QStringLiteral("no such connection"), 2000,
                                             QStringLiteral("192.168.0.10"), 502, list));

    const QString empty = QStringLiteral("tools_stations_empty");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), empty);
        db.setDatabaseName(m_dir.filePath(QStringLiteral("empty.sqlite")));
    }
    QVERIFY(!DriverTools::defaultStationOfPort(empty, 1001, link, station));
    QVERIFY(!DriverTools::stationsOfLink(empty, 1, list));
    QVERIFY(
        !DriverTools::stationsOfEndpoint(empty, 2000, QStringLiteral("192.168.0.10"), 502, list));
    QCOMPARE(link, 3);
    QCOMPARE(int(station), 4);
    QVERIFY(list.isEmpty());
    QSqlDatabase::database(empty, false).close();
    QSqlDatabase::removeDatabase(empty);
}

QTEST_GUILESS_MAIN(TestToolsStations)

#include "tst_tools_stations.moc"
