// The link driver: which tag addresses, data types and counts it serves, the exact frames it
// sends, and which replies it accepts.

#include "CommSettings.h"
#include "CommunicatorCommand.h"
#include "ProtocolSettings.h"
#include "ScriptedPort.h"
#include "VorexDriver.h"

#include <QtTest>

#include <memory>

namespace {

// STX text ETX CR LF.
QByteArray frame(const QByteArray &text)
{
    return '\x02' + text + "\x03\r\n";
}

CommunicatorCommand command(const QString &address, int dataType, int count)
{
    CommunicatorCommand c;
    c.address = address;
    c.dataType = dataType;
    c.count = quint64(count);
    return c;
}

} // namespace

class tst_LinkDriver : public QObject
{
    Q_OBJECT

private slots:
    // "RAM" and a word number of one to five digits.
    void wordAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("word");
        QTest::newRow("min") << "RAM0" << 0;
        QTest::newRow("max") << "RAM65535" << 65535;
        QTest::newRow("five digits, leading zeros") << "RAM00001" << 1;
        QTest::newRow("past the last word") << "RAM65536" << -1;
    }

    void wordAddress()
    {
        QFETCH(QString, address);
        QFETCH(int, word);
        QCOMPARE(VorexDriver::wordAddress(address), word);
    }

    void read_data()
    {
        QTest::addColumn<int>("dataType");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("values"); // none: the reply is not usable
        QTest::newRow("two 32-bit") << 3 << 2 << frame("0100X00,-200,1300")
                                    << QByteArray("\x38\xff\xff\xff\x14\x05\x00\x00", 8);
        QTest::newRow("one 16-bit") << 2 << 1 << frame("0100X00,-2") << QByteArray("\xfe\xff", 2);
        QTest::newRow("end code 01")
            << 3 << 1 << frame("0100X01,7") << QByteArray::fromHex("07000000");
        QTest::newRow("sixteen 32-bit")
            << 3 << 16 << frame("0100X00,0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,-1")
            << QByteArray::fromHex("00000000010000000200000003000000"
                                   "04000000050000000600000007000000"
                                   "08000000090000000a0000000b000000"
                                   "0c0000000d0000000e000000ffffffff");
        QTest::newRow("nothing") << 3 << 2 << QByteArray() << QByteArray();
        QTest::newRow("end code 40") << 3 << 1 << frame("0100X40,7") << QByteArray();
        QTest::newRow("too many values") << 3 << 2 << frame("0100X00,1,2,3") << QByteArray();
        QTest::newRow("not a number") << 3 << 2 << frame("0100X00,1,x") << QByteArray();
        QTest::newRow("wrong station") << 3 << 2 << frame("0200X00,1,2") << QByteArray();
        QTest::newRow("another byte for STX")
            << 3 << 2 << 'x' + frame("0100X00,1,2").mid(1) << QByteArray();
    }

    // One request per read, after a discard of stale input: "RS,<word>W,<count>".
    void read()
    {
        QFETCH(int, dataType);
        QFETCH(int, count);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, values);
        VorexDriver driver;
        ScriptedPort port;
        port.queueReply(reply);
        CommunicatorCommand c = command("RAM4509", dataType, count);
        QCOMPARE(driver.readTag(&port, &c), values);
        QCOMPARE(port.written, QByteArrayList{frame("0100XRS,4509W," + QByteArray::number(count))});
        QCOMPARE(port.calls.size(), 3);
        QCOMPARE(port.calls.at(0).data, QByteArray("12=0"));
    }

    void write_data()
    {
        QTest::addColumn<int>("dataType");
        QTest::addColumn<QByteArray>("value"); // as many elements as it holds
        QTest::addColumn<QByteArray>("frame"); // none: refused, nothing sent
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("result");
        const auto hex = [](const char *digits) { return QByteArray::fromHex(digits); };
        const QByteArray ten("\x0a\x00\x00\x00", 4), sent = frame("0100XWS,0W,10");
        const QByteArray ok = frame("0100X00");
        QTest::newRow("one 32-bit") << 3 << ten << sent << ok << true;
        QTest::newRow("two 16-bit")
            << 2 << hex("ffff0500") << frame("0100XWS,0W,-1,5") << ok << true;
        QTest::newRow("end code 01") << 3 << ten << sent << frame("0100X01") << true;
        QTest::newRow("end code 40") << 3 << ten << sent << frame("0100X40") << false;
        QTest::newRow("ETX inside the end code") << 3 << ten << sent << frame("0100X0") << false;
        QTest::newRow("no ETX") << 3 << ten << sent << ok.chopped(3) << false;
        QTest::newRow("32-bit at the limits of a word")
            << 3 << hex("0080ffffff7f0000") << frame("0100XWS,0W,-32768,32767") << ok << true;
        QTest::newRow("sixteen 16-bit")
            << 2 << hex("00000100020003000400050006000700080009000a000b000c000d000e00ffff")
            << frame("0100XWS,0W,0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,-1") << ok << true;
        // A controller word holds -32768..32767: a 32-bit value beyond it is refused whole, never
        // sent cut to 16 bits.
        const QByteArray none;
        QTest::newRow("one above a word") << 3 << hex("00800000") << none << ok << false;
        QTest::newRow("one below a word") << 3 << hex("ff7fffff") << none << ok << false;
        QTest::newRow("second of two beyond a word")
            << 3 << hex("0100000000000100") << none << ok << false;
    }

    void write()
    {
        QFETCH(int, dataType);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, reply);
        QFETCH(bool, result);
        VorexDriver driver;
        ScriptedPort port;
        port.queueReply(reply);
        CommunicatorCommand c = command("RAM0", dataType, value.size() / (dataType == 3 ? 4 : 2));
        QCOMPARE(driver.writeTag(&port, &c, value), result);
        QCOMPARE(port.written, frame.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{frame});

        // Too few value bytes for the count: nothing is sent.
        ScriptedPort idle;
        QByteArray shortValue = value.chopped(1);
        QCOMPARE(driver.writeTag(&idle, &c, shortValue), false);
        QVERIFY(idle.calls.isEmpty());
    }

    void refused_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("dataType");
        QTest::addColumn<int>("count");
        QTest::newRow("another memory name") << "DB100" << 3 << 1;
        QTest::newRow("memory name in lower case") << "ram3501" << 3 << 1;
        QTest::newRow("six digits") << "RAM000001" << 3 << 1;
        QTest::newRow("word 65536") << "RAM65536" << 3 << 1;
        QTest::newRow("no digits") << "RAM" << 3 << 1;
        QTest::newRow("letters after digits") << "RAM12X" << 3 << 1;
        QTest::newRow("bytes") << "RAM3501" << 1 << 1;
        QTest::newRow("64-bit") << "RAM3501" << 4 << 1;
        QTest::newRow("no elements") << "RAM3501" << 3 << 0;
        QTest::newRow("seventeen elements") << "RAM3501" << 3 << 17;
    }

    // An address, a type or a count the controller cannot serve is refused before anything goes on
    // the line.
    void refused()
    {
        QFETCH(QString, address);
        QFETCH(int, dataType);
        QFETCH(int, count);
        VorexDriver driver;
        ScriptedPort port;
        CommunicatorCommand c = command(address, dataType, count);
        QByteArray value(8 * 17, '\0');
        QCOMPARE(driver.readTag(&port, &c), QByteArray());
        QCOMPARE(driver.writeTag(&port, &c, value), false);
        QVERIFY(port.calls.isEmpty());
    }

    // What a host shows for a new link: the defaults, and no answer for a missing command.
    void defaults()
    {
        VorexDriver driver;
        std::unique_ptr<CommSettings> comm(driver.createDefaultCommSettings());
        std::unique_ptr<ProtocolSettings> protocol(driver.createDefaultProtocolSettings());
        QCOMPARE(
            comm->debugText() + protocol->debugText(),
            QStringLiteral("type: 64 string: \"COM1\" baudrate: 9600 databits: 8 stopbits: 0 "
                           "parity: 2 linkID: -1 current ip: \"\" current port: 0 timeout: 500 "
                           "retry: 3 stationid: 1 delay: 0 "));
        QByteArray value(4, 0);
        QCOMPARE(driver.writeTag(nullptr, nullptr, value), false);
        QCOMPARE(driver.readTag(nullptr, nullptr), QByteArray());
    }
};

QTEST_GUILESS_MAIN(tst_LinkDriver)
#include "tst_linkdriver.moc"
