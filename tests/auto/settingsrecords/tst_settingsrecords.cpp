#include "CommSettings.h"
#include "DriverDCP30.h"
#include "ProtocolSettings.h"

#include <QBuffer>
#include <QDataStream>
#include <QtTest>

#include <memory>

class tst_SettingsRecords : public QObject
{
    Q_OBJECT

private slots:
    void driverDefaults();
    void defaultsAreNewEachCall();
    void currentIndex_data();
    void currentIndex();
    void endpointAccess();
    void setEndpointsPorts_data();
    void setEndpointsPorts();
    void commSettingsStreamRoundTrip();
    void commSettingsStreamIndexTestedAgainstListRead_data();
    void commSettingsStreamIndexTestedAgainstListRead();
    void commSettingsStreamTruncated();
    void protocolSettingsStream();
    void protocolAssignmentKeepsFlag();
    void debugDumps();
};

void tst_SettingsRecords::driverDefaults()
{
    DriverDCP30 driver;
    std::unique_ptr<CommSettings> comm(driver.createDefaultCommSettings());
    QCOMPARE(comm->type, 64u);
    QCOMPARE(comm->string, QStringLiteral("COM1"));
    QCOMPARE(comm->baudrate, 9600);
    QCOMPARE(comm->databits, 8);
    QCOMPARE(comm->stopbits, 0);
    QCOMPARE(comm->parity, 2);
    QCOMPARE(comm->hostValue, 0);
    QVERIFY(comm->hostText.isEmpty());
    QCOMPARE(comm->linkID, -1);
    QCOMPARE(comm->currentIndex(), 0);
    QVERIFY(comm->endpoints().isEmpty());

    std::unique_ptr<ProtocolSettings> protocol(driver.createDefaultProtocolSettings());
    QCOMPARE(protocol->timeout, 500);
    QCOMPARE(protocol->retry, 3);
    QCOMPARE(protocol->stationid, 1);
    QCOMPARE(protocol->delay, 0);
    QVERIFY(protocol->hostText.isEmpty());
}

void tst_SettingsRecords::defaultsAreNewEachCall()
{
    DriverDCP30 driver;
    std::unique_ptr<CommSettings> a(driver.createDefaultCommSettings());
    std::unique_ptr<CommSettings> b(driver.createDefaultCommSettings());
    QVERIFY(a.get() != b.get());
    a->baudrate = 19200;
    QCOMPARE(b->baudrate, 9600);
    std::unique_ptr<ProtocolSettings> p(driver.createDefaultProtocolSettings());
    std::unique_ptr<ProtocolSettings> q(driver.createDefaultProtocolSettings());
    QVERIFY(p.get() != q.get());
}

static CommSettings withEndpoints(int n)
{
    CommSettings s(64, "COM1", 9600, 8, 0, 2);
    QList<QPair<QString, QString>> pairs;
    for (int i = 0; i < n; ++i)
        pairs.append({QStringLiteral("10.0.0.%1").arg(i + 1), QString::number(5000 + i)});
    s.setEndpoints(pairs);
    return s;
}

void tst_SettingsRecords::currentIndex_data()
{
    QTest::addColumn<int>("endpoints");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("expected");
    QTest::newRow("valid") << 3 << 1 << 2 << 2;
    QTest::newRow("first") << 3 << 1 << 0 << 0;
    QTest::newRow("minus one") << 3 << 1 << -1 << 1;
    QTest::newRow("equal to count") << 3 << 1 << 3 << 1;
    QTest::newRow("empty list") << 0 << 0 << 0 << 0;
}

void tst_SettingsRecords::currentIndex()
{
    QFETCH(int, endpoints);
    QFETCH(int, start);
    QFETCH(int, index);
    QFETCH(int, expected);
    CommSettings s = withEndpoints(endpoints);
    s.setCurrentIndex(start);
    s.setCurrentIndex(index);
    QCOMPARE(s.currentIndex(), expected);
}

void tst_SettingsRecords::endpointAccess()
{
    CommSettings s = withEndpoints(2);
    QCOMPARE(s.endpointIp(0), QStringLiteral("10.0.0.1"));
    QCOMPARE(s.endpointPort(1), quint16(5001));
    QCOMPARE(s.endpointIp(5), QString());
    QCOMPARE(s.endpointPort(5), quint16(0));
    QCOMPARE(s.endpointIp(-2), QString());

    s.setCurrentIndex(1);
    QCOMPARE(s.endpointIp(-1), QStringLiteral("10.0.0.2"));
    s.setEndpointIp(QStringLiteral("192.168.1.9"), -1);
    QCOMPARE(s.endpointIp(1), QStringLiteral("192.168.1.9"));
    QCOMPARE(s.endpointPort(1), quint16(5001)); // the other member stays
    s.setEndpointPort(502, 0);
    QCOMPARE(s.endpointPort(0), quint16(502));
    QCOMPARE(s.endpointIp(0), QStringLiteral("10.0.0.1"));

    s.setEndpointIp(QStringLiteral("x"), 7); // no entry: nothing changes
    s.setEndpointPort(1, 7);
    QCOMPARE(s.endpoints().size(), 2);

    // Replacing the list keeps the current index.
    s.setEndpoints({{"a", "1"}, {"b", "2"}, {"c", "3"}});
    QCOMPARE(s.currentIndex(), 1);
    QCOMPARE(s.endpointIp(), QStringLiteral("b"));
}

void tst_SettingsRecords::setEndpointsPorts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("plain") << "502" << 502;
    QTest::newRow("max") << "65535" << 65535;
    QTest::newRow("above 16 bits") << "65536" << 0;
    QTest::newRow("letter") << "50a2" << 0;
    QTest::newRow("negative") << "-1" << 0;
    QTest::newRow("empty") << "" << 0;
}

void tst_SettingsRecords::setEndpointsPorts()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    CommSettings s(64, "COM1", 9600, 8, 0, 2);
    s.setEndpoints({{"h", text}});
    QCOMPARE(s.endpoints().size(), 1);
    QCOMPARE(int(s.endpointPort(0)), port);
}

void tst_SettingsRecords::commSettingsStreamRoundTrip()
{
    CommSettings out(7, QStringLiteral("ETHERNET1"), 38400, 7, 1, 1, 42, QStringLiteral("host"));
    out.linkID = 12;
    out.setEndpoints({{"10.1.1.1", "502"}, {"10.1.1.2", "65535"}});
    out.setCurrentIndex(1);
    QByteArray bytes;
    {
        QDataStream ds(&bytes, QIODevice::WriteOnly);
        ds << out;
    }
    CommSettings in(0, QString(), 0, 0, 0, 0);
    QDataStream ds(bytes);
    ds >> in;
    QCOMPARE(ds.status(), QDataStream::Ok);
    QCOMPARE(in.type, 7u);
    QCOMPARE(in.string, out.string);
    QCOMPARE(in.baudrate, 38400);
    QCOMPARE(in.databits, 7);
    QCOMPARE(in.stopbits, 1);
    QCOMPARE(in.parity, 1);
    QCOMPARE(in.hostValue, 42);
    QVERIFY(in.hostText.isEmpty()); // the text is not part of the stream form
    QCOMPARE(in.linkID, 12);
    QCOMPARE(in.endpoints().size(), 2);
    QCOMPARE(in.endpointIp(1), QStringLiteral("10.1.1.2"));
    QCOMPARE(in.endpointPort(1), quint16(65535));
    QCOMPARE(in.currentIndex(), 1);
    QVERIFY(ds.atEnd());
}

void tst_SettingsRecords::commSettingsStreamIndexTestedAgainstListRead_data()
{
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("endpointsWritten");
    QTest::addColumn<int>("receiverIndex");
    QTest::addColumn<int>("receiverEndpoints");
    QTest::addColumn<int>("expected");
    // The receiver starts with an empty list: the index read is still applied.
    QTest::newRow("into empty record") << 2 << 3 << 0 << 0 << 2;
    QTest::newRow("receiver index kept when written one names nothing") << 0 << 0 << 0 << 2 << 0;
    QTest::newRow("list shrinks below receiver index") << 0 << 1 << 2 << 3 << 0;
}

void tst_SettingsRecords::commSettingsStreamIndexTestedAgainstListRead()
{
    QFETCH(int, written);
    QFETCH(int, endpointsWritten);
    QFETCH(int, receiverIndex);
    QFETCH(int, receiverEndpoints);
    QFETCH(int, expected);
    CommSettings out = withEndpoints(endpointsWritten);
    out.setCurrentIndex(written);
    QByteArray bytes;
    {
        QDataStream ds(&bytes, QIODevice::WriteOnly);
        ds << out;
    }
    CommSettings in = withEndpoints(receiverEndpoints);
    in.setCurrentIndex(receiverIndex);
    QDataStream ds(bytes);
    ds >> in;
    QCOMPARE(in.endpoints().size(), endpointsWritten);
    QCOMPARE(in.currentIndex(), expected);
}

void tst_SettingsRecords::commSettingsStreamTruncated()
{
    CommSettings out = withEndpoints(3);
    QByteArray bytes;
    {
        QDataStream ds(&bytes, QIODevice::WriteOnly);
        ds << out;
    }
    bytes.chop(6); // the last endpoint is cut short
    CommSettings in(0, QString(), 0, 0, 0, 0);
    QDataStream ds(bytes);
    ds >> in;
    QCOMPARE(in.endpoints().size(), 2);
    QCOMPARE(in.endpointIp(1), QStringLiteral("10.0.0.2"));
}

void tst_SettingsRecords::protocolSettingsStream()
{
    ProtocolSettings out(1500, 5, 7, 20, QStringLiteral("sender text"), true);
    QByteArray bytes;
    {
        QDataStream ds(&bytes, QIODevice::WriteOnly);
        ds << out;
    }
    QCOMPARE(bytes.size(), 16); // four 32-bit integers and nothing else
    ProtocolSettings in(0, 0, 0, 0, QStringLiteral("receiver text"), false);
    QDataStream ds(bytes);
    ds >> in;
    QCOMPARE(in.timeout, 1500);
    QCOMPARE(in.retry, 5);
    QCOMPARE(in.stationid, 7);
    QCOMPARE(in.delay, 20);
    QCOMPARE(in.hostText, QStringLiteral("receiver text"));
    QCOMPARE(in.hostFlag, false);
}

void tst_SettingsRecords::protocolAssignmentKeepsFlag()
{
    ProtocolSettings a(1, 2, 3, 4, QStringLiteral("a"), true);
    ProtocolSettings b(9, 9, 9, 9, QStringLiteral("b"), false);
    b = a;
    QCOMPARE(b.timeout, 1);
    QCOMPARE(b.delay, 4);
    QCOMPARE(b.hostText, QStringLiteral("a"));
    QCOMPARE(b.hostFlag, false);
    ProtocolSettings plain(1, 2, 3, 4);
    QCOMPARE(plain.hostFlag, false);
}

static QStringList captured;
static void captureMessage(QtMsgType, const QMessageLogContext &, const QString &text)
{
    captured << text;
}

void tst_SettingsRecords::debugDumps()
{
    DriverDCP30 driver;
    std::unique_ptr<CommSettings> comm(driver.createDefaultCommSettings());
    std::unique_ptr<ProtocolSettings> protocol(driver.createDefaultProtocolSettings());
    captured.clear();
    QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    comm->dump();
    protocol->dump();
    CommSettings two = withEndpoints(2);
    two.setCurrentIndex(1);
    two.dump();
    qInstallMessageHandler(previous);
    QCOMPARE(captured.size(), 3);
    QCOMPARE(captured.at(0), QStringLiteral("type: 64 string: \"COM1\" baudrate: 9600 databits: 8 "
                                            "stopbits: 0 parity: 2 linkID: -1 current ip: \"\" "
                                            "current port: 0 "));
    QCOMPARE(captured.at(1), QStringLiteral("timeout: 500 retry: 3 stationid: 1 delay: 0 "));
    QVERIFY(
        captured.at(2).endsWith(QStringLiteral("current ip: \"10.0.0.2\" current port: 5001 ")));
}

QTEST_GUILESS_MAIN(tst_SettingsRecords)
#include "tst_settingsrecords.moc"
