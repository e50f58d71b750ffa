#include "CommSettings.h"
#include "CommunicatorCommand.h"
#include "DriverDCP30.h"
#include "ProtocolSettings.h"

#include <QDataStream>
#include <QtTest>

#include <memory>

namespace {

CommSettings withEndpoints(int n)
{
    CommSettings s(64, "COM1", 9600, 8, 0, 2);
    QList<QPair<QString, QString>> pairs;
    for (int i = 0; i < n; ++i)
        pairs.append({QStringLiteral("10.0.0.%1").arg(i + 1), QString::number(5000 + i)});
    s.setEndpoints(pairs);
    return s;
}

// "ip:port" of an entry.
QString entry(const CommSettings &s, int index)
{
    return s.endpointIp(index) + ':' + QString::number(s.endpointPort(index));
}

template <typename T> QByteArray streamed(const T &settings)
{
    QByteArray bytes;
    QDataStream ds(&bytes, QIODevice::WriteOnly);
    ds << settings;
    return bytes;
}

} // namespace

class tst_SettingsRecords : public QObject
{
    Q_OBJECT

private slots:
    void driverDefaults();
    void endpoints();
    void commSettingsStream_data();
    void commSettingsStream();
    void protocolSettings();
    void commandKey_data();
    void commandKey();
};

// The defaults the host gets from the driver, as their debug texts show them; each call makes
// new records, which the host owns.
void tst_SettingsRecords::driverDefaults()
{
    DriverDCP30 driver;
    std::unique_ptr<CommSettings> comm(driver.createDefaultCommSettings());
    std::unique_ptr<ProtocolSettings> protocol(driver.createDefaultProtocolSettings());
    QCOMPARE(comm->debugText(), QStringLiteral("type: 64 string: \"COM1\" baudrate: 9600 "
                                               "databits: 8 stopbits: 0 parity: 2 linkID: -1 "
                                               "current ip: \"\" current port: 0 "));
    QCOMPARE(protocol->debugText(), QStringLiteral("timeout: 500 retry: 3 stationid: 1 delay: 0 "));
    QCOMPARE(comm->hostValue, 0);
    QVERIFY(comm->hostText.isEmpty() && protocol->hostText.isEmpty());
    QVERIFY(comm->endpoints().isEmpty());
    std::unique_ptr<CommSettings> again(driver.createDefaultCommSettings());
    std::unique_ptr<ProtocolSettings> protocolAgain(driver.createDefaultProtocolSettings());
    QVERIFY(again.get() != comm.get() && protocolAgain.get() != protocol.get());
}

void tst_SettingsRecords::endpoints()
{
    CommSettings s = withEndpoints(3);
    // An index naming no entry changes nothing.
    s.setCurrentIndex(0);
    s.setCurrentIndex(3);
    s.setCurrentIndex(-1);
    QCOMPARE(s.currentIndex(), 0);
    s.setCurrentIndex(2);
    QCOMPARE(s.currentIndex(), 2);
    QCOMPARE(entry(s, -1), QStringLiteral("10.0.0.3:5002"));
    QVERIFY(s.debugText().endsWith("current ip: \"10.0.0.3\" current port: 5002 "));
    QCOMPARE(entry(s, 3), QStringLiteral(":0"));
    QCOMPARE(entry(s, -2), QStringLiteral(":0"));

    // Setting one member of an entry (by default the current one) keeps the other.
    s.setEndpointPort(502);
    s.setEndpointIp(QStringLiteral("x"), 3);
    QCOMPARE(entry(s, 2), QStringLiteral("10.0.0.3:502"));
    QCOMPARE(s.endpoints().size(), 3);

    // Ports are unsigned 16-bit decimal numbers, anything else 0; the current index stays.
    s.setEndpoints({{"a", "65535"}, {"b", "65536"}, {"c", "50a2"}, {"d", "-1"}});
    QCOMPARE(s.currentIndex(), 2);
    QCOMPARE(entry(s, 0) + entry(s, 1) + entry(s, 2) + entry(s, 3),
             QStringLiteral("a:65535b:0c:0d:0"));
}

void tst_SettingsRecords::commSettingsStream_data()
{
    QTest::addColumn<int>("chop");
    QTest::addColumn<int>("receiverIndex");
    QTest::addColumn<int>("endpoints");
    QTest::addColumn<int>("index");
    // Three endpoints with index 2 are written; a stream cut short loses the last one.
    QTest::newRow("whole") << 0 << 1 << 3 << 2;
    QTest::newRow("cut short, own index kept") << 6 << 1 << 2 << 1;
    QTest::newRow("cut short, own index names nothing") << 6 << 2 << 2 << 0;
}

// Everything but the host's text travels. The index read is tested against the endpoint list
// read with it; when it names no entry the record keeps its own index if that still names one,
// else takes 0.
void tst_SettingsRecords::commSettingsStream()
{
    QFETCH(int, chop);
    QFETCH(int, receiverIndex);
    QFETCH(int, endpoints);
    QFETCH(int, index);
    CommSettings out(7, QStringLiteral("ETHERNET1"), 38400, 7, 1, 1, 42, QStringLiteral("host"));
    out.linkID = 12;
    out.setEndpoints({{"10.0.0.1", "502"}, {"10.0.0.2", "5001"}, {"10.0.0.3", "65535"}});
    out.setCurrentIndex(2);
    QByteArray bytes = streamed(out);
    bytes.chop(chop);
    CommSettings in = withEndpoints(3);
    in.hostText = QStringLiteral("receiver");
    in.setCurrentIndex(receiverIndex);
    QDataStream ds(bytes);
    ds >> in;
    QCOMPARE(ds.status() == QDataStream::Ok && ds.atEnd(), chop == 0);
    QCOMPARE(in.debugText().section("current", 0, 0), out.debugText().section("current", 0, 0));
    QCOMPARE(in.hostValue, 42);
    QCOMPARE(in.hostText, QStringLiteral("receiver"));
    QCOMPARE(in.endpoints().size(), endpoints);
    QCOMPARE(entry(in, endpoints - 1), entry(out, endpoints - 1));
    QCOMPARE(in.currentIndex(), index);
}

// Four 32-bit integers travel, the host's text and flag do not; assignment copies the text but
// leaves the flag as it is.
void tst_SettingsRecords::protocolSettings()
{
    const ProtocolSettings out(1500, 5, 7, 20, QStringLiteral("sender text"), true);
    const QByteArray bytes = streamed(out);
    QCOMPARE(bytes.size(), 16);
    ProtocolSettings in(0, 0, 0, 0, QStringLiteral("receiver text"), false);
    QDataStream ds(bytes);
    ds >> in;
    QCOMPARE(in.debugText(), QStringLiteral("timeout: 1500 retry: 5 stationid: 7 delay: 20 "));
    QCOMPARE(in.hostText, QStringLiteral("receiver text"));
    QCOMPARE(in.hostFlag, false);

    in = out;
    QCOMPARE(in.debugText(), out.debugText());
    QCOMPARE(in.hostText, QStringLiteral("sender text"));
    QCOMPARE(in.hostFlag, false);
}

// The key of a tag command: address, data type and count, the address taken as it is.
void tst_SettingsRecords::commandKey_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<quint64>("count");
    QTest::addColumn<QString>("key");
    QTest::newRow("word") << "RAM3501" << 3 << quint64(1) << "RAM3501_3_1";
    QTest::newRow("two words") << "RAM4509" << 3 << quint64(2) << "RAM4509_3_2";
    QTest::newRow("bits beyond 32 bits") << "M0" << 0 << quint64(5000000000) << "M0_0_5000000000";
    QTest::newRow("markers in the address") << "A%2B" << 3 << quint64(1) << "A%2B_3_1";
    QTest::newRow("address of markers only") << "%1%3%2" << 1 << quint64(4) << "%1%3%2_1_4";
}

void tst_SettingsRecords::commandKey()
{
    QFETCH(QString, address);
    QFETCH(int, dataType);
    QFETCH(quint64, count);
    QFETCH(QString, key);
    CommunicatorCommand command;
    command.address = address;
    command.dataType = dataType;
    command.count = count;
    QCOMPARE(command.key(), key);
}

QTEST_GUILESS_MAIN(tst_SettingsRecords)
#include "tst_settingsrecords.moc"
