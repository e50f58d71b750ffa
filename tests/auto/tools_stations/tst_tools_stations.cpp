#include "StationLookup.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace DriverTools;

Q_DECLARE_METATYPE(QList<DriverTools::StationEntry>)

namespace {

const QString Connection = QStringLiteral("tools_stations");

using Entries = QList<StationEntry>;

enum class Lookup { DefaultOfPort, Endpoint, Link };

} // namespace

Q_DECLARE_METATYPE(Lookup)

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
    void lookups_data();
    void lookups();
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
    QTest::newRow("beginning with ETHERNET") << "ETHERNET2" << 2000;
    QTest::newRow("lower case") << "ethernet" << 2000;
    QTest::newRow("ethernet later in the text") << "MY_ETHERNET" << -1;
    QTest::newRow("COM12") << "COM12" << 1012;
    QTest::newRow("only the trailing digits") << "COM3A12" << 1012;
    QTest::newRow("leading zeros") << "tty007" << 1007;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("ends in a letter") << "COMX" << -1;
    QTest::newRow("digits only") << "12" << -1;
    QTest::newRow("largest port") << "COM2147482647" << 2147483647;
    QTest::newRow("port beyond int") << "COM2147482648" << -1;
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
    QTest::newRow("neither") << QStringList() << "" << QStringLiteral("database");
    QTest::newRow("both") << QStringList{"compile", "compile/database"} << "compile"
                          << QStringLiteral("compile/database/database");
    QTest::newRow("database without compile")
        << QStringList{"database"} << "" << QStringLiteral("database/database");
    QTest::newRow("database beside compile")
        << QStringList{"compile", "database"} << "compile" << QStringLiteral("compile/database");
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
    QCOMPARE(compileDir(base.path()).absolutePath(),
             compile.isEmpty() ? root : root + "/" + compile);
    QCOMPARE(databaseFilePath(base.path()), root + "/" + database);
    // The forms without a base start from the application directory.
    const QString appDir = QCoreApplication::applicationDirPath();
    QCOMPARE(compileDir().absolutePath(), compileDir(appDir).absolutePath());
    QCOMPARE(databaseFilePath(), databaseFilePath(appDir));
}

void TestToolsStations::lookups_data()
{
    // key: the HMI port, or the link id for Lookup::Link.
    QTest::addColumn<Lookup>("lookup");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("tcpPort");
    QTest::addColumn<Entries>("before");
    QTest::addColumn<Entries>("after");
    QTest::addColumn<bool>("answer");
    auto row = [](const char *name, Lookup lookup, int key, const QString &ip, int tcpPort,
                  const Entries &before, const Entries &after, bool answer) {
        QTest::newRow(name) << lookup << key << ip << tcpPort << before << after << answer;
    };
    const QString ip10 = QStringLiteral("192.168.0.10");
    const Entries none, old{{9, 9}};
    const Lookup port = Lookup::DefaultOfPort, endpoint = Lookup::Endpoint, link = Lookup::Link;
    row("port with a default station", port, 1001, {}, 0, none, {{1, 5}}, true);
    row("port without default station", port, 1002, {}, 0, none, none, false);
    // Station 300 of link 3 is cut to 300 mod 256 = 44.
    row("two links on one endpoint", endpoint, 2000, ip10, 502, none, {{2, 10}, {2, 11}, {3, 44}},
        true);
    row("other tcp port", endpoint, 2000, ip10, 503, none, {{3, 13}}, true);
    row("appends to old entries", endpoint, 2000, "192.168.0.11", 502, old, {{9, 9}, {2, 12}},
        true);
    row("no row", endpoint, 2000, "10.0.0.1", 502, none, none, false);
    row("no row, old entry kept", endpoint, 2000, "10.0.0.1", 502, old, old, true);
    row("null ip is the empty text", endpoint, 1001, QString(), 0, none, {{1, 5}}, true);
    // The ip goes in as a bound value, never as SQL text.
    row("quoted injection", endpoint, 2000, "x' OR '1'='1", 502, none, none, false);
    row("default stations of a link", link, 2, {}, 0, none, {{2, 10}, {2, 11}, {2, 12}}, true);
    row("cut to 8 bits", link, 3, {}, 0, none, {{3, 44}, {3, 13}}, true);
    row("link without default", link, 4, {}, 0, none, none, false);
    row("link without default, old entry", link, 4, {}, 0, old, old, true);
}

void TestToolsStations::lookups()
{
    QFETCH(Lookup, lookup);
    QFETCH(int, key);
    QFETCH(QString, ip);
    QFETCH(int, tcpPort);
    QFETCH(Entries, before);
    QFETCH(Entries, after);
    QFETCH(bool, answer);
    Entries list = before;
    int linkId = -7;
    quint8 stationId = 99;
    switch (lookup) {
    case Lookup::DefaultOfPort:
        QCOMPARE(defaultStationOfPort(Connection, key, linkId, stationId), answer);
        if (answer)
            list.append({linkId, stationId});
        else // the outputs stay untouched
            QCOMPARE(QList<int>({linkId, stationId}), QList<int>({-7, 99}));
        break;
    case Lookup::Endpoint:
        QCOMPARE(stationsOfEndpoint(Connection, key, ip, quint16(tcpPort), list), answer);
        break;
    case Lookup::Link:
        QCOMPARE(stationsOfLink(Connection, key, list), answer);
        break;
    }
    QCOMPARE(list, after);
}

void TestToolsStations::unknownConnectionAndMissingTables()
{
    const QString empty = QStringLiteral("tools_stations_empty");
    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), empty)
        .setDatabaseName(m_dir.filePath(QStringLiteral("empty.sqlite")));
    for (const QString &connection : {QStringLiteral("no such connection"), empty}) {
        int link = 3;
        quint8 station = 4;
        Entries list;
        QVERIFY(!defaultStationOfPort(connection, 1001, link, station));
        QVERIFY(!stationsOfLink(connection, 1, list));
        QVERIFY(!stationsOfEndpoint(connection, 2000, QStringLiteral("192.168.0.10"), 502, list));
        QCOMPARE(QList<int>({link, station}), QList<int>({3, 4}));
    }
    QSqlDatabase::database(empty, false).close();
    QSqlDatabase::removeDatabase(empty);
}

QTEST_GUILESS_MAIN(TestToolsStations)

#include "tst_tools_stations.moc"
