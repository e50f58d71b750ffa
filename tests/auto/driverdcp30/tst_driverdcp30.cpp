#include "DriverDCP30.h"
#include "FileAccessor.h"
#include "RecordingLinkDriver.h"
#include "ScriptedPort.h"
#include "VorexDriver.h"

#include <QPointer>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

class Command : public CommunicatorCommand
{
public:
    explicit Command(const QString &a) { address = a; }
};

QByteArray byteOf(int v)
{
    return QByteArray(1, char(v));
}

// Writes one own tag and returns the driver's answer.
bool writeByte(DriverDCP30 &driver, const QString &address, const QByteArray &value,
               PortObject *port = nullptr)
{
    Command c(address);
    QByteArray v = value;
    return driver.writeTag(port, &c, v);
}

QByteArray readOf(DriverDCP30 &driver, const QString &address, PortObject *port = nullptr)
{
    Command c(address);
    return driver.readTag(port, &c);
}

void invoke(QObject *o, const char *slot)
{
    QVERIFY(QMetaObject::invokeMethod(o, slot, Qt::DirectConnection));
}

template <typename T> void invoke(QObject *o, const char *slot, const char *type, T value)
{
    QVERIFY(
        QMetaObject::invokeMethod(o, slot, Qt::DirectConnection, QGenericArgument(type, &value)));
}

struct ZelEnv
{
    ZelEnv() { QCoreApplication::instance()->setProperty("zel_env", 1); }
    ~ZelEnv() { QCoreApplication::instance()->setProperty("zel_env", QVariant()); }
};

} // namespace

class tst_DriverDCP30 : public QObject
{
    Q_OBJECT

private slots:
    void init() { QCoreApplication::instance()->setProperty("zel_env", QVariant()); }

    void operationAnswers();
    void metaObject();
    void errorHold();
    void errorHoldRestart();
    void delayClearErrorByName();
    void ownTagReadsAreOneByte_data();
    void ownTagReadsAreOneByte();
    void clampedWrites_data();
    void clampedWrites();
    void errorFlagAcknowledge_data();
    void errorFlagAcknowledge();
    void progressZeroedWithFlag();
    void readStart_data();
    void readStart();
    void writeStartReadsRangeParametersFirst();
    void rangeParameterBytes_data();
    void rangeParameterBytes();
    void writeStartWithRealLinkDriver();
    void writeStartRefusedWithoutLinkDriver();
    void busyBlocksDelegation();
    void idleDelegation();
    void addressesAreCaseSensitive();
    void portHandedToWorker();
    void concurrentStartsStartOnce();
    void bareSetUp();
    void fullSetUpAndDestruction();
};

void tst_DriverDCP30::operationAnswers()
{
    DriverDCP30 driver;
    DriverInterface *i = &driver;
    QCOMPARE(i->queryValue1(), 65535);
    QCOMPARE(i->queryFlag4(), 1);
    QCOMPARE(i->queryFlag5(), 1);
    QCOMPARE(i->getDeviceName(), QStringLiteral("DCP30"));
    QCOMPARE(i->getVendorName(), QStringLiteral("Yamatake"));
    QCOMPARE(i->getVersion(), QStringLiteral("1.0.0"));
    QCOMPARE(i->getDefaultCommText(), QStringLiteral("RS485,9600,EVEN,8,1"));
    QCOMPARE(i->queryValue12(), 64);
    QCOMPARE(i->queryValue14(), 0);
    QCOMPARE(i->queryValue15(), 0);
    QCOMPARE(i->hasError(), false);
    QCOMPARE(i->getErrorMessage(), QString());
    QCOMPARE(i->getObject(), static_cast<QObject *>(&driver));
    // The host's own operations keep the interface's bodies.
    QCOMPARE(i->queryValue19(), 0);
    QCOMPARE(i->queryFlag22(), 1);
    QCOMPARE(i->queryFlag23(), 1);
    i->notify20(QVariant(1));
    i->notify21(QVariant());
    i->setFlag13(true);
    QCOMPARE(i->hasError(), false);
}

void tst_DriverDCP30::metaObject()
{
    DriverDCP30 driver;
    QObject *o = &driver;
    QCOMPARE(o->metaObject()->className(), "DriverDCP30");
    DriverInterface *part = qobject_cast<DriverInterface *>(o);
    QCOMPARE(part, static_cast<DriverInterface *>(&driver));
    QCOMPARE(o->qt_metacast("DriverInterface"), static_cast<void *>(part));
    QCOMPARE(o->qt_metacast("com.tessaril.drivers.DriverInterface/1.1"), static_cast<void *>(part));
    QCOMPARE(o->qt_metacast("DriverDCP30"), static_cast<void *>(&driver));
    QCOMPARE(o->qt_metacast("QObject"), static_cast<void *>(o));
    QCOMPARE(o->qt_metacast("SomethingElse"), nullptr);

    const QMetaObject *mo = o->metaObject();
    QStringList methods;
    for (int m = mo->methodOffset(); m < mo->methodCount(); ++m)
        methods << QString::fromLatin1(mo->method(m).methodSignature());
    const QStringList expected = {"readProgramFileProcess(int,int,int)",
                                  "writeProgramFileProcess(QList<int>,int,int,int)",
                                  "delayClearError()", "setErrorInstantMessage(QString)",
                                  "setRF(bool)", "setWF(bool)", "setWE(bool)", "setRE(bool)",
                                  // the meta-object spells quint8 as its underlying type
                                  "setReadProgress(uchar)", "setWriteProgress(uchar)"};
    QCOMPARE(methods, expected);
    QCOMPARE(mo->method(mo->methodOffset() + 1).parameterNames().first(), QByteArray("paras"));
}

void tst_DriverDCP30::errorHold()
{
    DriverDCP30 driver;
    invoke(&driver, "setErrorInstantMessage", "QString", QStringLiteral("controller offline"));
    QVERIFY(driver.hasError());
    for (int i = 0; i < 99; ++i)
        readOf(driver, "SegCnt0");
    QVERIFY(driver.hasError());
    // Writes do not count.
    writeByte(driver, "SegCnt0", byteOf(3));
    QVERIFY(driver.hasError());
    readOf(driver, "SegCnt0");
    QVERIFY(!driver.hasError());
    QCOMPARE(driver.getErrorMessage(), QStringLiteral("controller offline"));
}

void tst_DriverDCP30::errorHoldRestart()
{
    DriverDCP30 driver;
    invoke(&driver, "setErrorInstantMessage", "QString", QStringLiteral("first"));
    for (int i = 0; i < 50; ++i)
        readOf(driver, "RF0");
    invoke(&driver, "setErrorInstantMessage", "QString", QStringLiteral("second"));
    for (int i = 0; i < 99; ++i)
        readOf(driver, "RF0");
    QVERIFY(driver.hasError());
    readOf(driver, "RF0");
    QVERIFY(!driver.hasError());
    QCOMPARE(driver.getErrorMessage(), QStringLiteral("second"));
}

void tst_DriverDCP30::delayClearErrorByName()
{
    DriverDCP30 driver;
    invoke(&driver, "setErrorInstantMessage", "QString", QStringLiteral("x"));
    for (int i = 0; i < 10; ++i)
        readOf(driver, "RF0");
    invoke(&driver, "delayClearError");
    QVERIFY(!driver.hasError());
    // The counter was left at 90: a lowered flag does not tick, and a raised one is not
    // lowered before the counter runs out.
    for (int i = 0; i < 200; ++i)
        readOf(driver, "RF0");
    QVERIFY(!driver.hasError());
    QCOMPARE(driver.getErrorMessage(), QStringLiteral("x"));
}

void tst_DriverDCP30::ownTagReadsAreOneByte_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("initial");
    QTest::newRow("SegCnt0") << "SegCnt0" << 1;
    QTest::newRow("ReadProgress0") << "ReadProgress0" << 0;
    QTest::newRow("WriteProgress0") << "WriteProgress0" << 0;
    QTest::newRow("ProgramID0") << "ProgramID0" << 1;
    QTest::newRow("StorageType0") << "StorageType0" << 0;
    QTest::newRow("RF0") << "RF0" << 0;
    QTest::newRow("WF0") << "WF0" << 0;
    QTest::newRow("WE0") << "WE0" << 0;
    QTest::newRow("RE0") << "RE0" << 0;
}

void tst_DriverDCP30::ownTagReadsAreOneByte()
{
    QFETCH(QString, address);
    QFETCH(int, initial);
    DriverDCP30 driver;
    auto *link = new RecordingLinkDriver;
    driver.replaceLinkDriver(link);
    const QByteArray answer = readOf(driver, address);
    QCOMPARE(answer.size(), 1);
    QCOMPARE(int(quint8(answer.at(0))), initial);
    QCOMPARE(link->callCount(), 0);
}

void tst_DriverDCP30::clampedWrites_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("SegCnt 0") << "SegCnt0" << byteOf(0) << 1;
    QTest::newRow("SegCnt negative") << "SegCnt0" << byteOf(0x80) << 1;
    QTest::newRow("SegCnt 255") << "SegCnt0" << byteOf(0xFF) << 1;
    QTest::newRow("SegCnt 1") << "SegCnt0" << byteOf(1) << 1;
    QTest::newRow("SegCnt 30") << "SegCnt0" << byteOf(30) << 30;
    QTest::newRow("SegCnt 31") << "SegCnt0" << byteOf(31) << 30;
    QTest::newRow("SegCnt 127") << "SegCnt0" << byteOf(127) << 30;
    QTest::newRow("SegCnt empty") << "SegCnt0" << QByteArray() << 1;
    QTest::newRow("SegCnt uses first byte only") << "SegCnt0" << QByteArray("\x05\x10", 2) << 5;
    QTest::newRow("ProgramID 0") << "ProgramID0" << byteOf(0) << 1;
    QTest::newRow("ProgramID 19") << "ProgramID0" << byteOf(19) << 19;
    QTest::newRow("ProgramID 20") << "ProgramID0" << byteOf(20) << 19;
    QTest::newRow("ProgramID 200") << "ProgramID0" << byteOf(200) << 1;
    QTest::newRow("StorageType 1") << "StorageType0" << byteOf(1) << 1;
    QTest::newRow("StorageType 9") << "StorageType0" << byteOf(9) << 1;
    QTest::newRow("StorageType negative") << "StorageType0" << byteOf(0xF0) << 0;
    QTest::newRow("StorageType 0") << "StorageType0" << byteOf(0) << 0;
}

void tst_DriverDCP30::clampedWrites()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    DriverDCP30 driver;
    writeByte(driver, address, byteOf(7)); // a value different from every expectation's start
    QVERIFY(writeByte(driver, address, value));
    QCOMPARE(readOf(driver, address), byteOf(expected));
}

void tst_DriverDCP30::errorFlagAcknowledge_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("WE0 0 clears") << "WE0" << QByteArray("setWE") << 0 << 0;
    QTest::newRow("WE0 2 clears") << "WE0" << QByteArray("setWE") << 2 << 0;
    QTest::newRow("WE0 3 keeps") << "WE0" << QByteArray("setWE") << 3 << 1;
    QTest::newRow("WE0 1 keeps") << "WE0" << QByteArray("setWE") << 1 << 1;
    QTest::newRow("RE0 -2 clears") << "RE0" << QByteArray("setRE") << -2 << 0;
    QTest::newRow("RE0 5 keeps") << "RE0" << QByteArray("setRE") << 5 << 1;
}

void tst_DriverDCP30::errorFlagAcknowledge()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, slot);
    QFETCH(int, value);
    QFETCH(int, expected);
    DriverDCP30 driver;
    invoke(&driver, slot.constData(), "bool", true);
    QCOMPARE(readOf(driver, address), byteOf(1));
    QVERIFY(writeByte(driver, address, byteOf(value)));
    QCOMPARE(readOf(driver, address), byteOf(expected));
}

void tst_DriverDCP30::progressZeroedWithFlag()
{
    DriverDCP30 driver;
    invoke(&driver, "setReadProgress", "quint8", quint8(66));
    invoke(&driver, "setWriteProgress", "quint8", quint8(50));
    invoke(&driver, "setRF", "bool", true);
    QCOMPARE(readOf(driver, "ReadProgress0"), byteOf(66));
    invoke(&driver, "setRF", "bool", false);
    QCOMPARE(readOf(driver, "ReadProgress0"), byteOf(0));
    QCOMPARE(readOf(driver, "WriteProgress0"), byteOf(50));
    invoke(&driver, "setWF", "bool", true);
    QCOMPARE(readOf(driver, "WriteProgress0"), byteOf(50));
    invoke(&driver, "setWF", "bool", false);
    QCOMPARE(readOf(driver, "WriteProgress0"), byteOf(0));
}

void tst_DriverDCP30::readStart_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("writeBusy");
    QTest::addColumn<bool>("starts");
    QTest::newRow("1 starts") << 1 << false << true;
    QTest::newRow("127 starts") << 127 << false << true;
    QTest::newRow("0 ignored") << 0 << false << false;
    QTest::newRow("negative ignored") << 0x80 << false << false;
    QTest::newRow("write in progress") << 1 << true << false;
}

void tst_DriverDCP30::readStart()
{
    QFETCH(int, value);
    QFETCH(bool, writeBusy);
    QFETCH(bool, starts);
    DriverDCP30 driver;
    writeByte(driver, "ProgramID0", byteOf(12));
    writeByte(driver, "SegCnt0", byteOf(30));
    writeByte(driver, "StorageType0", byteOf(1));
    if (writeBusy)
        invoke(&driver, "setWF", "bool", true);
    QSignalSpy spy(&driver, &DriverDCP30::readProgramFileProcess);
    QVERIFY(writeByte(driver, "RF0", byteOf(value)));
    QCOMPARE(spy.count(), starts ? 1 : 0);
    QCOMPARE(readOf(driver, "RF0"), byteOf(starts ? 1 : 0));
    if (starts) {
        QCOMPARE(spy.at(0), (QVariantList{12, 30, 1}));
        // A second start while the first runs is ignored.
        QVERIFY(writeByte(driver, "RF0", byteOf(1)));
        QVERIFY(writeByte(driver, "WF0", byteOf(1)));
        QCOMPARE(spy.count(), 1);
    }
}

void tst_DriverDCP30::writeStartReadsRangeParametersFirst()
{
    DriverDCP30 driver;
    QStringList events;
    auto *link = new RecordingLinkDriver(&events);
    link->answers["RAM4509"] = QByteArray("\x38\xff\xff\xff\x14\x05\x00\x00", 8); // -200, 1300
    link->answers["RAM3501"] = QByteArray("\x00\x00\x00\x00", 4);
    link->answers["RAM3505"] = QByteArray("\x32\x00\x00\x00", 4);
    link->answers["RAM3509"] = QByteArray("\x08\x00\x00\x00", 4);
    driver.replaceLinkDriver(link);
    ScriptedPort port;
    writeByte(driver, "ProgramID0", byteOf(3));
    writeByte(driver, "SegCnt0", byteOf(5));
    connect(
        &driver, &DriverDCP30::writeProgramFileProcess, this,
        [&](QList<int>, int, int, int) {
            events << QStringLiteral("signal WF=%1").arg(int(readOf(driver, "WF0").at(0)));
        },
        Qt::DirectConnection);
    QSignalSpy spy(&driver, &DriverDCP30::writeProgramFileProcess);
    QVERIFY(writeByte(driver, "WF0", byteOf(1), &port));

    const QStringList expected = {"read RAM4509_3_2", "read RAM3501_3_1", "read RAM3505_3_1",
                                  "read RAM3509_3_1", "signal WF=1"};
    QCOMPARE(events, expected);
    for (const auto &call : link->calls) {
        QCOMPARE(call.port, static_cast<PortObject *>(&port));
        QCOMPARE(call.thread, QThread::currentThread());
    }
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QList<int>>(), (QList<int>{-200, 1300, 0, 50, 8}));
    QCOMPARE(spy.at(0).mid(1), (QVariantList{3, 5, 0}));
}

void tst_DriverDCP30::rangeParameterBytes_data()
{
    QTest::addColumn<QByteArray>("limits");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("two bytes") << QByteArray("\x34\x12", 2) << QByteArray("\x34\x12", 2)
                               << QList<int>{4660, 0, 4660, 4660, 4660};
    QTest::newRow("empty answers") << QByteArray() << QByteArray() << QList<int>{0, 0, 0, 0, 0};
    QTest::newRow("five bytes") << QByteArray("\xff\xff\xff\xff\x01", 5)
                                << QByteArray("\x01\x00\x00\x00\x09", 5)
                                << QList<int>{-1, 1, 1, 1, 1};
}

void tst_DriverDCP30::rangeParameterBytes()
{
    QFETCH(QByteArray, limits);
    QFETCH(QByteArray, type);
    QFETCH(QList<int>, expected);
    DriverDCP30 driver;
    auto *link = new RecordingLinkDriver;
    link->answers["RAM4509"] = limits;
    link->defaultAnswer = type;
    driver.replaceLinkDriver(link);
    QSignalSpy spy(&driver, &DriverDCP30::writeProgramFileProcess);
    writeByte(driver, "WF0", byteOf(1));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QList<int>>(), expected);
}

void tst_DriverDCP30::writeStartWithRealLinkDriver()
{
    DriverDCP30 driver;
    driver.replaceLinkDriver(new VorexDriver);
    ScriptedPort port;
    port.queueReply("\x02"
                    "0100X00,-200,1300\x03\r\n");
    port.queueReply("\x02"
                    "0100X00,1\x03\r\n");
    port.queueReply("\x02"
                    "0100X00,50\x03\r\n");
    port.queueReply("\x02"
                    "0100X00,-8\x03\r\n");
    QSignalSpy spy(&driver, &DriverDCP30::writeProgramFileProcess);
    QVERIFY(writeByte(driver, "WF0", byteOf(1), &port));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QList<int>>(), (QList<int>{-200, 1300, 1, 50, -8}));
    const QList<QByteArray> expected = {"\x02"
                                        "0100XRS,4509W,2\x03\r\n",
                                        "\x02"
                                        "0100XRS,3501W,1\x03\r\n",
                                        "\x02"
                                        "0100XRS,3505W,1\x03\r\n",
                                        "\x02"
                                        "0100XRS,3509W,1\x03\r\n"};
    QCOMPARE(port.written, expected);
}

void tst_DriverDCP30::writeStartRefusedWithoutLinkDriver()
{
    DriverDCP30 driver; // bare: no link driver
    QSignalSpy spy(&driver, &DriverDCP30::writeProgramFileProcess);
    QVERIFY(writeByte(driver, "WF0", byteOf(1)));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(readOf(driver, "WF0"), byteOf(0));
}

void tst_DriverDCP30::busyBlocksDelegation()
{
    DriverDCP30 driver;
    auto *link = new RecordingLinkDriver;
    driver.replaceLinkDriver(link);
    QVERIFY(writeByte(driver, "RF0", byteOf(1)));
    QCOMPARE(readOf(driver, "RAM100"), QByteArray());
    QCOMPARE(writeByte(driver, "RAM100", byteOf(1)), false);
    QCOMPARE(writeByte(driver, "ReadProgress0", byteOf(1)), false);
    QCOMPARE(link->callCount(), 0);
    // Own tags still answer.
    QCOMPARE(readOf(driver, "RF0"), byteOf(1));
    QVERIFY(writeByte(driver, "SegCnt0", byteOf(4)));
}

void tst_DriverDCP30::idleDelegation()
{
    DriverDCP30 driver;
    auto *link = new RecordingLinkDriver;
    link->answers["RAM100"] = QByteArray("\x01\x02\x03\x04", 4);
    driver.replaceLinkDriver(link);
    ScriptedPort port;
    QCOMPARE(readOf(driver, "RAM100", &port), QByteArray("\x01\x02\x03\x04", 4));
    // Delegated writes reach the link driver; the driver answers false for them.
    QCOMPARE(writeByte(driver, "ReadProgress0", byteOf(9), &port), false);
    QCOMPARE(writeByte(driver, "WriteProgress0", byteOf(9), &port), false);
    QCOMPARE(link->calls.size(), 3);
    QCOMPARE(link->calls.at(1).kind, QStringLiteral("write"));
    QCOMPARE(link->calls.at(1).address, QStringLiteral("ReadProgress0"));
    QCOMPARE(link->calls.at(1).value, byteOf(9));
    QCOMPARE(link->calls.at(2).port, static_cast<PortObject *>(&port));
    // The progress itself was not changed by those writes.
    QCOMPARE(readOf(driver, "ReadProgress0"), byteOf(0));
}

void tst_DriverDCP30::addressesAreCaseSensitive()
{
    DriverDCP30 driver;
    auto *link = new RecordingLinkDriver;
    driver.replaceLinkDriver(link);
    readOf(driver, "segcnt0");
    readOf(driver, "RF0 ");
    writeByte(driver, "Rf0", byteOf(1));
    QCOMPARE(link->callCount(), 3);
    QCOMPARE(readOf(driver, "RF0"), byteOf(0)); // the lower-case write started nothing
}

void tst_DriverDCP30::portHandedToWorker()
{
    ZelEnv env;
    DriverDCP30 driver;
    QVERIFY(driver.worker());
    ScriptedPort a, b;
    readOf(driver, "SegCnt0", &a);
    QCOMPARE(driver.worker()->port(), static_cast<PortObject *>(&a));
    writeByte(driver, "SegCnt0", byteOf(2), &b);
    QCOMPARE(driver.worker()->port(), static_cast<PortObject *>(&b));
}

void tst_DriverDCP30::concurrentStartsStartOnce()
{
    DriverDCP30 driver;
    driver.replaceLinkDriver(new RecordingLinkDriver);
    std::atomic<int> starts{0};
    connect(
        &driver, &DriverDCP30::readProgramFileProcess, this, [&](int, int, int) { ++starts; },
        Qt::DirectConnection);
    connect(
        &driver, &DriverDCP30::writeProgramFileProcess, this,
        [&](QList<int>, int, int, int) { ++starts; }, Qt::DirectConnection);
    for (int round = 0; round < 50; ++round) {
        starts = 0;
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back(QThread::create(
                [&driver, t] { writeByte(driver, t % 2 ? "RF0" : "WF0", byteOf(1)); }));
        }
        for (auto &t : threads)
            t->start();
        for (auto &t : threads)
            t->wait();
        QCOMPARE(starts.load(), 1);
        invoke(&driver, "setRF", "bool", false);
        invoke(&driver, "setWF", "bool", false);
    }
}

void tst_DriverDCP30::bareSetUp()
{
    DriverDCP30 driver;
    QVERIFY(!driver.worker());
    QVERIFY(!driver.workerThread());
    QVERIFY(!driver.linkDriver());
    QCOMPARE(readOf(driver, "RAM100"), QByteArray());
    QCOMPARE(writeByte(driver, "RAM100", byteOf(1)), false);
    // A read start raises RF with nobody to lower it.
    QVERIFY(writeByte(driver, "RF0", byteOf(1)));
    QCOMPARE(readOf(driver, "RF0"), byteOf(1));
}

void tst_DriverDCP30::fullSetUpAndDestruction()
{
    ZelEnv env;
    std::atomic<int> alive{0};
    QPointer<QThread> thread;
    QPointer<FileAccessor> worker;
    {
        DriverDCP30 driver;
        QVERIFY(driver.linkDriver());
        QCOMPARE(driver.linkDriver()->getDeviceName(), QStringLiteral("VOREX"));
        QVERIFY(driver.workerThread()->isRunning());
        QCOMPARE(driver.worker()->thread(), driver.workerThread());
        thread = driver.workerThread();
        worker = driver.worker();
        driver.replaceLinkDriver(new RecordingLinkDriver(nullptr, &alive));
        QCOMPARE(alive.load(), 1);

        DriverDCP30 second;
        QVERIFY(second.workerThread() != driver.workerThread());
        QVERIFY(second.linkDriver() != driver.linkDriver());
    }
    QCOMPARE(alive.load(), 0);
    QVERIFY(worker.isNull());
    QVERIFY(thread);
    QVERIFY(thread->isFinished());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(thread.isNull());
}

QTEST_GUILESS_MAIN(tst_DriverDCP30)
#include "tst_driverdcp30.moc"
