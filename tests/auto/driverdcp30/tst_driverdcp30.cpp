#include "DriverDCP30.h"
#include "FaultPlan.h"
#include "FileAccessor.h"
#include "FileLocations.h"
#include "RecordingLinkDriver.h"
#include "ScriptedPort.h"
#include "SimulatedPort.h"
#include "TransferTestSupport.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>
#include <thread>
#include <vector>

using TestSupport::Command;
using TestSupport::csvBytes;
using TestSupport::rowsOf;
using TestSupport::ZelEnv;

namespace {

QByteArray byteOf(int v)
{
    return QByteArray(1, char(v));
}

// Writes one tag and returns the driver's answer.
bool writeTag(DriverDCP30 &driver, const QString &address, const QByteArray &value,
              PortObject *port = nullptr)
{
    Command c(address);
    QByteArray v = value;
    return driver.writeTag(port, &c, v);
}

QByteArray readTag(DriverDCP30 &driver, const QString &address, PortObject *port = nullptr)
{
    Command c(address);
    return driver.readTag(port, &c);
}

// Calls one of the driver's status slots by name, as the worker's signals do.
template <typename T> void invoke(QObject *o, const char *slot, const char *type, T value)
{
    QVERIFY(
        QMetaObject::invokeMethod(o, slot, Qt::DirectConnection, QGenericArgument(type, &value)));
}

// The controller's range parameters as the link driver answers them: -200, 1300, 0, 50, 8.
RecordingLinkDriver *rangesLink()
{
    auto *link = new RecordingLinkDriver;
    link->answers["RAM4509"] = QByteArray("\x38\xff\xff\xff\x14\x05\x00\x00", 8);
    link->answers["RAM3501"] = QByteArray(4, 0);
    link->answers["RAM3505"] = QByteArray("\x32\x00\x00\x00", 4);
    link->answers["RAM3509"] = QByteArray("\x08\x00\x00\x00", 4);
    return link;
}

// Program files and logs of the driver's transfers go to a directory of the test's own.
struct OwnFileDirectory
{
    OwnFileDirectory()
    {
        QCoreApplication::instance()->setProperty(FileLocations::DirectoryProperty, dir.path());
    }
    ~OwnFileDirectory()
    {
        QCoreApplication::instance()->setProperty(FileLocations::DirectoryProperty, QVariant());
    }
    QTemporaryDir dir;
};

// A link driver whose read of "RAM100" waits, holding the driver's line, until it is let go.
class GatedLinkDriver : public RecordingLinkDriver
{
public:
    QByteArray readTag(PortObject *port, CommunicatorCommand *command) override
    {
        if (command->address == QLatin1String("RAM100")) {
            entered.release();
            gate.acquire();
        }
        return RecordingLinkDriver::readTag(port, command);
    }
    QSemaphore entered;
    QSemaphore gate;
};

} // namespace

class tst_DriverDCP30 : public QObject
{
    Q_OBJECT

private slots:
    void init() { QCoreApplication::instance()->setProperty("zel_env", QVariant()); }

    void errorHold();
    void ownTagWrites_data();
    void ownTagWrites();
    void writeStart();
    void tagRouting();
    void concurrentStartsStartOnce();
    void fullSetUp();
    void transferFinished_data();
    void transferFinished();
    void rangesReadWithTheStartingPort();
};

// A raised error flag drops on the 100th read after the latest message; writes do not count,
// and delayClearError drops it at once.
void tst_DriverDCP30::errorHold()
{
    DriverDCP30 driver;
    auto raiseError = [&](const QString &message) {
        invoke(&driver, "setErrorInstantMessage", "QString", message);
    };
    auto readTimes = [&](int n) {
        for (int i = 0; i < n; ++i)
            readTag(driver, "RF0");
    };
    raiseError("first");
    readTimes(50);
    raiseError("second");
    readTimes(99);
    QVERIFY(writeTag(driver, "SegCnt0", byteOf(3)));
    QVERIFY(driver.hasError());
    readTag(driver, "SegCnt0");
    QVERIFY(!driver.hasError());
    QCOMPARE(driver.getErrorMessage(), QStringLiteral("second"));

    raiseError("third");
    readTimes(10);
    QVERIFY(QMetaObject::invokeMethod(&driver, "delayClearError", Qt::DirectConnection));
    QVERIFY(!driver.hasError());
    readTimes(200); // the counter left over raises nothing
    QVERIFY(!driver.hasError());
    QCOMPARE(driver.getErrorMessage(), QStringLiteral("third"));
}

void tst_DriverDCP30::ownTagWrites_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");
    // The first byte counts, as a signed number.
    QTest::newRow("SegCnt 0") << "SegCnt0" << byteOf(0) << 1;
    QTest::newRow("SegCnt negative") << "SegCnt0" << byteOf(0x80) << 1;
    QTest::newRow("SegCnt 30") << "SegCnt0" << byteOf(30) << 30;
    QTest::newRow("SegCnt 31") << "SegCnt0" << byteOf(31) << 30;
    QTest::newRow("SegCnt empty") << "SegCnt0" << QByteArray() << 1;
    QTest::newRow("SegCnt uses first byte only") << "SegCnt0" << QByteArray("\x05\x10", 2) << 5;
    QTest::newRow("ProgramID 19") << "ProgramID0" << byteOf(19) << 19;
    QTest::newRow("ProgramID 20") << "ProgramID0" << byteOf(20) << 19;
    QTest::newRow("ProgramID negative") << "ProgramID0" << byteOf(200) << 1;
    QTest::newRow("StorageType 9") << "StorageType0" << byteOf(9) << 1;
    QTest::newRow("StorageType negative") << "StorageType0" << byteOf(0xF0) << 0;
    QTest::newRow("StorageType 0") << "StorageType0" << byteOf(0) << 0;
    // A raised error flag is acknowledged by an even value, not by an odd one.
    QTest::newRow("WE0 0 clears") << "WE0" << byteOf(0) << 0;
    QTest::newRow("WE0 2 clears") << "WE0" << byteOf(2) << 0;
    QTest::newRow("WE0 3 keeps") << "WE0" << byteOf(3) << 1;
    QTest::newRow("RE0 -2 clears") << "RE0" << byteOf(-2) << 0;
    QTest::newRow("RE0 5 keeps") << "RE0" << byteOf(5) << 1;
    // A positive value starts a read (with the other tags' values), others are ignored.
    QTest::newRow("RF0 1 starts") << "RF0" << byteOf(1) << 1;
    QTest::newRow("RF0 0 ignored") << "RF0" << byteOf(0) << 0;
    QTest::newRow("RF0 negative ignored") << "RF0" << byteOf(0x80) << 0;
}

void tst_DriverDCP30::ownTagWrites()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    DriverDCP30 driver;
    writeTag(driver, "ProgramID0", byteOf(12));
    writeTag(driver, "SegCnt0", byteOf(30));
    if (address == "WE0" || address == "RE0")
        invoke(&driver, address == "WE0" ? "setWE" : "setRE", "bool", true);
    else if (address != "RF0")
        writeTag(driver, address, byteOf(7)); // a value different from every expectation's start
    QSignalSpy reads(&driver, &DriverDCP30::readProgramFileProcess);
    QVERIFY(writeTag(driver, address, value));
    QCOMPARE(readTag(driver, address), byteOf(expected));
    QCOMPARE(reads.count(), address == "RF0" ? expected : 0);
    if (!reads.isEmpty())
        QCOMPARE(reads.at(0), (QVariantList{12, 30, 0}));
}

// The range parameters are read through the link driver on the host's thread, with the busy
// flag already raised, before the worker is told to start.
void tst_DriverDCP30::writeStart()
{
    DriverDCP30 driver;
    QStringList events;
    auto *link = new RecordingLinkDriver(&events);
    link->answers["RAM4509"] = QByteArray("\x38\xff\xff\xff\x14\x05\x00\x00", 8); // -200, 1300
    link->answers["RAM3501"] = QByteArray(4, 0);
    link->answers["RAM3505"] = QByteArray("\x32\x00\x00\x00", 4);
    link->answers["RAM3509"] = QByteArray("\x08\x00\x00\x00", 4);
    driver.replaceLinkDriver(link);
    ScriptedPort port;
    writeTag(driver, "ProgramID0", byteOf(3));
    writeTag(driver, "SegCnt0", byteOf(5));
    connect(
        &driver, &DriverDCP30::writeProgramFileProcess, this,
        [&](QList<int>, int, int, int) {
            events << QStringLiteral("signal WF=%1").arg(int(readTag(driver, "WF0").at(0)));
        },
        Qt::DirectConnection);
    QSignalSpy spy(&driver, &DriverDCP30::writeProgramFileProcess);
    QVERIFY(writeTag(driver, "WF0", byteOf(1), &port));

    // "address_type_count"
    QCOMPARE(events, (QStringList{"read RAM4509_3_2", "read RAM3501_3_1", "read RAM3505_3_1",
                                  "read RAM3509_3_1", "signal WF=1"}));
    for (const auto &call : link->calls) {
        QCOMPARE(call.port, static_cast<PortObject *>(&port));
        QCOMPARE(call.thread, QThread::currentThread());
    }
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QList<int>>(), (QList<int>{-200, 1300, 0, 50, 8}));
    QCOMPARE(spy.at(0).mid(1), (QVariantList{3, 5, 0}));
}

// Without the host's "zel_env" property the driver has no worker and no link driver of its own.
// It serves its own nine tags, one byte each, and passes every other name, exactly spelled, to
// the link driver (answering false for delegated writes) - except while a transfer runs: then
// the worker alone uses the line. A read start raises RF even with nobody to lower it.
void tst_DriverDCP30::tagRouting()
{
    DriverDCP30 driver;
    QVERIFY(!driver.worker() && !driver.workerThread() && !driver.linkDriver());
    auto *link = new RecordingLinkDriver;
    link->answers["RAM100"] = QByteArray("\x01\x02\x03\x04", 4);
    driver.replaceLinkDriver(link);
    ScriptedPort port;
    QByteArray own;
    for (const char *tag : {"SegCnt0", "ReadProgress0", "WriteProgress0", "ProgramID0",
                            "StorageType0", "RF0", "WF0", "WE0", "RE0"})
        own += readTag(driver, tag);
    QCOMPARE(own, QByteArray("\x01\x00\x00\x01\x00\x00\x00\x00\x00", 9)); // start values
    QCOMPARE(link->callCount(), 0);

    QCOMPARE(readTag(driver, "RAM100", &port), QByteArray("\x01\x02\x03\x04", 4));
    QCOMPARE(writeTag(driver, "ReadProgress0", byteOf(9), &port), false);
    QCOMPARE(writeTag(driver, "WriteProgress0", byteOf(9), &port), false);
    readTag(driver, "segcnt0");
    readTag(driver, "RF0 ");
    writeTag(driver, "Rf0", byteOf(1));
    QStringList calls;
    for (const auto &call : link->calls)
        calls << call.kind + ' ' + call.address;
    QCOMPARE(calls, (QStringList{"read RAM100", "write ReadProgress0", "write WriteProgress0",
                                 "read segcnt0", "read RF0 ", "write Rf0"}));
    QCOMPARE(link->calls.at(1).value, byteOf(9));
    QCOMPARE(link->calls.at(2).port, static_cast<PortObject *>(&port));
    QCOMPARE(readTag(driver, "ReadProgress0") + readTag(driver, "RF0"), QByteArray(2, 0));

    QVERIFY(writeTag(driver, "RF0", byteOf(1)));
    QCOMPARE(readTag(driver, "RAM100"), QByteArray());
    QCOMPARE(writeTag(driver, "RAM100", byteOf(1)), false);
    QCOMPARE(link->callCount(), 6);
    QCOMPARE(readTag(driver, "RF0"), byteOf(1));
    QVERIFY(writeTag(driver, "SegCnt0", byteOf(4)));
}

// Of simultaneous read and write starts exactly one wins; a start while one runs is ignored.
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
                [&driver, t] { writeTag(driver, t % 2 ? "RF0" : "WF0", byteOf(1)); }));
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

// With the property: the link driver loaded from drivers/ and a worker thread, each driver its own;
// the driver owns its link driver.
void tst_DriverDCP30::fullSetUp()
{
    ZelEnv env;
    std::atomic<int> alive{0};
    {
        DriverDCP30 driver;
        QVERIFY(driver.linkDriver());
        QCOMPARE(driver.linkDriver()->getDeviceName(), QStringLiteral("VOREX"));
        QVERIFY(driver.workerThread()->isRunning());
        QCOMPARE(driver.worker()->thread(), driver.workerThread());
        // Every tag access hands its port to the worker.
        ScriptedPort a, b;
        readTag(driver, "SegCnt0", &a);
        QCOMPARE(driver.worker()->port(), static_cast<PortObject *>(&a));
        writeTag(driver, "SegCnt0", byteOf(2), &b);
        QCOMPARE(driver.worker()->port(), static_cast<PortObject *>(&b));
        DriverDCP30 second;
        QVERIFY(second.workerThread() != driver.workerThread());
        QVERIFY(second.linkDriver() != driver.linkDriver());

        driver.replaceLinkDriver(new RecordingLinkDriver(nullptr, &alive));
        driver.replaceLinkDriver(new RecordingLinkDriver(nullptr, &alive));
        QCOMPARE(alive.load(), 1);
    }
    QCOMPARE(alive.load(), 0);
}

// Every transfer ends with transferFinished on the driver's thread, once the flags are final.
void tst_DriverDCP30::transferFinished_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("csv"); // the program CSV file is there
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("errorFlag"); // RE or WE at the end
    QTest::newRow("read") << "RF0" << QStringList() << false << true << 0;
    QTest::newRow("read failing") << "RF0" << QStringList{"any:no-reply"} << false << false << 1;
    QTest::newRow("write") << "WF0" << QStringList() << true << true << 0;
    QTest::newRow("write without its file") << "WF0" << QStringList() << false << false << 0;
}

void tst_DriverDCP30::transferFinished()
{
    QFETCH(QString, flag);
    QFETCH(QStringList, faults);
    QFETCH(bool, csv);
    QFETCH(bool, ok);
    QFETCH(int, errorFlag);
    const bool read = flag == "RF0";
    OwnFileDirectory files;
    SimulatedPort port;
    FaultPlan plan;
    QVERIFY(FaultPlan::parse(faults, plan));
    port.setFaultPlan(plan);
    port.setRetryCount(0);
    if (read)
        QVERIFY(port.simulator().setProgramRecords(5, port.simulator().programRecords(1)));
    if (csv) {
        QFile file(files.dir.filePath("PROG_5.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(csvBytes(rowsOf(port.simulator(), 1, {1, 2}))) > 0);
    }
    ZelEnv env;
    DriverDCP30 driver;
    driver.replaceLinkDriver(rangesLink());
    driver.worker()->setPauseHook([](int) {});
    QList<QByteArray> atTheEnd; // busy flag, progress, error flag
    connect(
        &driver, &DriverDCP30::transferFinished, this,
        [&] {
            atTheEnd << readTag(driver, flag, &port)
                     << readTag(driver, read ? "ReadProgress0" : "WriteProgress0", &port)
                     << readTag(driver, read ? "RE0" : "WE0", &port);
        },
        Qt::DirectConnection);
    QSignalSpy spy(&driver, &DriverDCP30::transferFinished);
    writeTag(driver, "ProgramID0", byteOf(5), &port);
    writeTag(driver, "SegCnt0", byteOf(2), &port);
    QVERIFY(writeTag(driver, flag, byteOf(1), &port));
    QVERIFY(spy.wait(10000));
    QCOMPARE(spy.at(0), (QVariantList{read ? 0 : 1, 5, ok}));
    QCOMPARE(atTheEnd, (QList<QByteArray>{byteOf(0), byteOf(0), byteOf(errorFlag)}));
    QTest::qWait(20);
    QCOMPARE(spy.count(), 1);
    if (csv)
        QCOMPARE(port.simulator().programRecords(5), port.simulator().programRecords(1).mid(0, 2));
}

// The range parameters of a write are read on the port of the tag write that started it, also
// when another host thread hands over its own port between that write's start and its reads.
void tst_DriverDCP30::rangesReadWithTheStartingPort()
{
    OwnFileDirectory files; // no program file there: the write ends at once
    ZelEnv env;
    DriverDCP30 driver;
    auto *link = new GatedLinkDriver;
    driver.replaceLinkDriver(link);
    ScriptedPort starting, other;
    // A delegated read holds the line, so the start below waits for it after its hand-over.
    std::thread delegated([&] { readTag(driver, "RAM100", &other); });
    QVERIFY(link->entered.tryAcquire(1, 10000));
    std::thread start([&] { writeTag(driver, "WF0", byteOf(1), &starting); });
    QTRY_COMPARE(driver.worker()->port(), static_cast<PortObject *>(&starting));
    readTag(driver, "SegCnt0", &other);
    QCOMPARE(driver.worker()->port(), static_cast<PortObject *>(&other));
    link->gate.release();
    delegated.join();
    start.join();

    QStringList ranges;
    for (const auto &call : link->calls) {
        if (call.address != QLatin1String("RAM100")) {
            ranges << call.address;
            QCOMPARE(call.port, static_cast<PortObject *>(&starting));
        }
    }
    QCOMPARE(ranges, (QStringList{"RAM4509", "RAM3501", "RAM3505", "RAM3509"}));
}

QTEST_GUILESS_MAIN(tst_DriverDCP30)
#include "tst_driverdcp30.moc"
