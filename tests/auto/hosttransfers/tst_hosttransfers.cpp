// Program reads and writes through the plugin as the host runs them: the driver in its full
// set-up with our link driver, the simulated controller as the port object, the host writing the
// driver's tags and polling progress and flags while the driver's thread runs its event loop.

#include "CommunicatorCommand.h"
#include "ControllerSimulator.h"
#include "DriverDCP30.h"
#include "FileAccessor.h"
#include "SimulatedPort.h"
#include "WorkerHarness.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

namespace {

class Host
{
public:
    explicit Host(bool realPauses = false)
    {
        QCoreApplication::instance()->setProperty("zel_env", true);
        driver = std::make_unique<DriverDCP30>();
        QCoreApplication::instance()->setProperty("zel_env", QVariant());
        if (!realPauses)
            driver->worker()->setPauseHook([](int) {});
    }

    void set(const QString &tag, int value)
    {
        CommunicatorCommand command;
        command.address = tag;
        QByteArray bytes(1, char(value));
        driver->writeTag(&port, &command, bytes);
    }
    int get(const QString &tag)
    {
        CommunicatorCommand command;
        command.address = tag;
        const QByteArray answer = driver->readTag(&port, &command);
        return answer.isEmpty() ? -1 : int(quint8(answer.at(0)));
    }

    // Starts a transfer through its flag tag and polls as an operator screen does; answers the
    // progress values seen, in order and without repeats.
    QList<int> run(const QString &flag, const QString &progressTag, int program, int segments)
    {
        set("ProgramID0", program);
        set("SegCnt0", segments);
        set(flag, 1);
        QList<int> seen;
        QElapsedTimer timer;
        timer.start();
        while (get(flag) == 1 && timer.elapsed() < 60000) {
            const int p = get(progressTag);
            if (p > 0 && (seen.isEmpty() || seen.last() != p))
                seen << p;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        // The error flag follows the busy flag as a separate report: let the worker finish its
        // slot and deliver what it emitted, as a screen's next poll would see it.
        QMetaObject::invokeMethod(
            driver->worker(), [] {}, Qt::BlockingQueuedConnection);
        QCoreApplication::processEvents();
        return seen;
    }

    SimulatedPort port;
    std::unique_ptr<DriverDCP30> driver;
};

} // namespace

class tst_HostTransfers : public QObject
{
    Q_OBJECT

private slots:
    void init() { WorkerHarness::removeAppFiles(); }
    void cleanupTestCase() { WorkerHarness::removeAppFiles(); }

    void readThenWriteBack();
    void writeRangesComeFromController();
    void readErrorFlagAndAcknowledge();
    void realPauses();
};

void tst_HostTransfers::readThenWriteBack()
{
    Host host;
    host.run("RF0", "ReadProgress0", 3, 8);
    QCOMPARE(host.get("RE0"), 0);
    QCOMPARE(host.get("ReadProgress0"), 0); // zeroed with the flag
    QVERIFY(QFile::exists(WorkerHarness::appFile("PROG_3.txt")));

    // The same file written into another program gives the same controller memory.
    QVERIFY(
        QFile::rename(WorkerHarness::appFile("PROG_3.txt"), WorkerHarness::appFile("PROG_14.txt")));
    host.run("WF0", "WriteProgress0", 14, 8);
    QCOMPARE(host.get("WE0"), 0);
    QCOMPARE(host.port.simulator().programRecords(14),
             host.port.simulator().programRecords(3).mid(0, 8));
    QVERIFY(!QFile::exists(WorkerHarness::appFile("WRITE_PROG_14_ERROR.txt")));
}

// The write validates against the ranges the controller holds: narrowing the SP1 limits there
// makes rows that passed before fail, and the error flag tells the host.
void tst_HostTransfers::writeRangesComeFromController()
{
    Host host;
    host.run("RF0", "ReadProgress0", 1, 2);
    QVERIFY(
        QFile::rename(WorkerHarness::appFile("PROG_1.txt"), WorkerHarness::appFile("PROG_15.txt")));
    host.port.simulator().setWord(4509, 1000); // SP1 low limit above every SP1 of program 1
    host.run("WF0", "WriteProgress0", 15, 2);
    QCOMPARE(host.get("WE0"), 1);
    const QByteArray log = WorkerHarness::fileBytes("WRITE_PROG_15_ERROR.txt");
    QVERIFY2(log.contains("SP1 ["), log.constData());
    QVERIFY(log.contains("is out of range (1000 ~ 1300)."));
    QVERIFY(host.port.simulator().programRecords(15).isEmpty());
    host.set("WE0", 0);
    QCOMPARE(host.get("WE0"), 0);
}

void tst_HostTransfers::readErrorFlagAndAcknowledge()
{
    Host host;
    host.port.simulator().clearSegment(2, 3);
    host.run("RF0", "ReadProgress0", 2, 4);
    QCOMPARE(host.get("RE0"), 1);
    QCOMPARE(WorkerHarness::fileBytes("READ_PROG_2_ERROR.txt"),
             QByteArray("Program 1:\r\nSeg3:Program number or segment number is in error. No "
                        "program in the segment."));
    host.set("RE0", 1); // odd: no acknowledgement
    QCOMPARE(host.get("RE0"), 1);
    host.set("RE0", 2);
    QCOMPARE(host.get("RE0"), 0);
    // While idle again, other tags reach the controller through the link driver.
    CommunicatorCommand command;
    command.address = QStringLiteral("RAM4509");
    command.count = 2;
    QCOMPARE(host.driver->readTag(&host.port, &command),
             QByteArray("\x38\xff\xff\xff\x14\x05\x00\x00", 8));
}

// One transfer with the pauses the controller needs, to show the product path end to end.
void tst_HostTransfers::realPauses()
{
    Host host(true);
    QElapsedTimer timer;
    timer.start();
    const QList<int> progress = host.run("RF0", "ReadProgress0", 1, 2);
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(host.get("RE0"), 0);
    QVERIFY(QFile::exists(WorkerHarness::appFile("PROG_1.txt")));
    // Open, two block reads and the close wait 300 + 2 x 350 + 300 ms at least.
    QVERIFY2(elapsed >= 1300, qPrintable(QString::number(elapsed)));
    QVERIFY(progress.contains(50) || progress.contains(100));
}

QTEST_GUILESS_MAIN(tst_HostTransfers)
#include "tst_hosttransfers.moc"
