#include "CommunicatorCommand.h"
#include "ScriptedPort.h"
#include "VorexDriver.h"

#include <QLibrary>
#include <QtTest>

class tst_VorexDriver : public QObject
{
    Q_OBJECT

private slots:
    void wordAddress_data();
    void wordAddress();
    void readFrameAndValues_data();
    void readFrameAndValues();
    void unusableReplies_data();
    void unusableReplies();
    void writeFrame_data();
    void writeFrame();
    void discardsStaleInputFirst();
    void loadsFromDriversDirectory();
};

void tst_VorexDriver::wordAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("word");
    QTest::newRow("RAM4509") << "RAM4509" << 4509;
    QTest::newRow("digits only") << "3501" << 3501;
    QTest::newRow("max") << "RAM65535" << 65535;
    QTest::newRow("too large") << "RAM65536" << -1;
    QTest::newRow("no digits") << "RAM" << -1;
    QTest::newRow("letters after digits") << "RAM12X" << -1;
    QTest::newRow("sign") << "RAM-1" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("any memory name") << "Dm12" << 12;
}

void tst_VorexDriver::wordAddress()
{
    QFETCH(QString, address);
    QFETCH(int, word);
    QCOMPARE(VorexDriver::wordAddress(address), word);
}

void tst_VorexDriver::readFrameAndValues_data()
{
    QTest::addColumn<int>("dataType");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("values");
    QTest::newRow("two 32-bit") << 3 << 2
                                << QByteArray("\x02"
                                              "0100X00,-200,1300\x03\r\n")
                                << QByteArray("\x02"
                                              "0100XRS,4509W,2\x03\r\n")
                                << QByteArray("\x38\xff\xff\xff\x14\x05\x00\x00", 8);
    QTest::newRow("one 16-bit") << 2 << 1
                                << QByteArray("\x02"
                                              "0100X00,-2\x03\r\n")
                                << QByteArray("\x02"
                                              "0100XRS,4509W,1\x03\r\n")
                                << QByteArray("\xfe\xff", 2);
    QTest::newRow("end code 01") << 3 << 1
                                 << QByteArray("\x02"
                                               "0100X01,7\x03\r\n")
                                 << QByteArray("\x02"
                                               "0100XRS,4509W,1\x03\r\n")
                                 << QByteArray("\x07\x00\x00\x00", 4);
}

void tst_VorexDriver::readFrameAndValues()
{
    QFETCH(int, dataType);
    QFETCH(int, count);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, values);
    VorexDriver driver;
    ScriptedPort port;
    port.queueReply(reply);
    CommunicatorCommand command;
    command.address = QStringLiteral("RAM4509");
    command.dataType = dataType;
    command.count = quint64(count);
    QCOMPARE(driver.readTag(&port, &command), values);
    QCOMPARE(port.written, QList<QByteArray>{frame});
}

void tst_VorexDriver::unusableReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("nothing") << QByteArray();
    QTest::newRow("error end code") << QByteArray("\x02"
                                                  "0100X42\x03\r\n");
    QTest::newRow("too few values") << QByteArray("\x02"
                                                  "0100X00,1\x03\r\n");
    QTest::newRow("too many values") << QByteArray("\x02"
                                                   "0100X00,1,2,3\x03\r\n");
    QTest::newRow("not a number") << QByteArray("\x02"
                                                "0100X00,1,x\x03\r\n");
    QTest::newRow("wrong station") << QByteArray("\x02"
                                                 "0200X00,1,2\x03\r\n");
    QTest::newRow("no STX") << QByteArray("0100X00,1,2\x03\r\n");
    QTest::newRow("no ETX") << QByteArray("\x02"
                                          "0100X00,1,2");
}

void tst_VorexDriver::unusableReplies()
{
    QFETCH(QByteArray, reply);
    VorexDriver driver;
    ScriptedPort port;
    port.queueReply(reply);
    CommunicatorCommand command;
    command.address = QStringLiteral("RAM4509");
    command.count = 2;
    QCOMPARE(driver.readTag(&port, &command), QByteArray());
}

void tst_VorexDriver::writeFrame_data()
{
    QTest::addColumn<int>("dataType");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("result");
    QTest::newRow("one 32-bit") << 3 << 1 << QByteArray("\x0a\x00\x00\x00", 4)
                                << QByteArray("\x02"
                                              "0100XWS,3501W,10\x03\r\n")
                                << QByteArray("\x02"
                                              "0100X00\x03\r\n")
                                << true;
    QTest::newRow("two 16-bit") << 2 << 2 << QByteArray("\xff\xff\x05\x00", 4)
                                << QByteArray("\x02"
                                              "0100XWS,3501W,-1,5\x03\r\n")
                                << QByteArray("\x02"
                                              "0100X00\x03\r\n")
                                << true;
    QTest::newRow("rejected") << 3 << 1 << QByteArray("\x0a\x00\x00\x00", 4)
                              << QByteArray("\x02"
                                            "0100XWS,3501W,10\x03\r\n")
                              << QByteArray("\x02"
                                            "0100X44\x03\r\n")
                              << false;
}

void tst_VorexDriver::writeFrame()
{
    QFETCH(int, dataType);
    QFETCH(int, count);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    QFETCH(bool, result);
    VorexDriver driver;
    ScriptedPort port;
    port.queueReply(reply);
    CommunicatorCommand command;
    command.address = QStringLiteral("RAM3501");
    command.dataType = dataType;
    command.count = quint64(count);
    QCOMPARE(driver.writeTag(&port, &command, value), result);
    QCOMPARE(port.written, QList<QByteArray>{frame});

    // Too few value bytes for the count: nothing is sent.
    ScriptedPort idle;
    QByteArray shortValue = value.left(value.size() - 1);
    QCOMPARE(driver.writeTag(&idle, &command, shortValue), false);
    QVERIFY(idle.written.isEmpty());
}

void tst_VorexDriver::discardsStaleInputFirst()
{
    VorexDriver driver;
    ScriptedPort port;
    port.queueReply("\x02"
                    "0100X00,1\x03\r\n");
    CommunicatorCommand command;
    command.address = QStringLiteral("RAM1");
    driver.readTag(&port, &command);
    QCOMPARE(port.calls.size(), 3);
    QCOMPARE(port.calls.at(0).what, QByteArray("setOption"));
    QCOMPARE(port.calls.at(0).data, QByteArray("12=0"));
    QCOMPARE(port.calls.at(1).what, QByteArray("write"));
    QCOMPARE(port.calls.at(2).what, QByteArray("read"));
}

void tst_VorexDriver::loadsFromDriversDirectory()
{
    QLibrary library(QCoreApplication::applicationDirPath() + QStringLiteral("/drivers/vorex"));
    auto create = reinterpret_cast<CreateDriverFunction>(library.resolve("CreateDriver"));
    QVERIFY2(create, qPrintable(library.errorString()));
    DriverInterface *a = create();
    DriverInterface *b = create();
    QVERIFY(a != b);
    QCOMPARE(a->getDeviceName(), QStringLiteral("VOREX"));
    delete a;
    delete b;
}

QTEST_GUILESS_MAIN(tst_VorexDriver)
#include "tst_vorexdriver.moc"
