// Program reads and writes through the plugin as the host runs them: the driver in its full
// set-up with our link driver, the simulated controller as the port object, the host writing the
// driver's tags and polling progress and flags while the driver's thread runs its event loop.

#include "DriverDCP30.h"
#include "FileAccessor.h"
#include "SimulatedPort.h"
#include "TransferTestSupport.h"
#include "WorkerHarness.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

struct Host
{
    explicit Host(bool realPauses = false)
    {
        ZelEnv env;
        driver = std::make_unique<DriverDCP30>();
        if (!realPauses)
            driver->worker()->setPauseHook([](int) {});
    }
    void set(const QString &tag, int value) { writeByte(*driver, &port, tag, value); }
    int get(const QString &tag) { return readByte(*driver, &port, tag); }

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

    void writeRangesComeFromController();
    void realPauses();
};

// The write validates against the ranges the controller holds: the rows that pass with its
// default SP1 limits fail once the low limit is above every SP1 of the program, and the error
// flag tells the host.
void tst_HostTransfers::writeRangesComeFromController()
{
    Host host;
    ControllerSimulator &sim = host.port.simulator();
    QFile file(WorkerHarness::appFile("PROG_14.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(csvBytes(rowsOf(sim.programRecords(3))));
    file.close();
    host.run("WF0", "WriteProgress0", 14, 8);
    QCOMPARE(host.get("WE0"), 0);
    QCOMPARE(sim.programRecords(14), sim.programRecords(3));

    sim.setWord(4509, 1000);
    host.run("WF0", "WriteProgress0", 14, 8);
    QCOMPARE(host.get("WE0"), 1);
    const QByteArray log = WorkerHarness::fileBytes("WRITE_PROG_14_ERROR.txt");
    QVERIFY2(log.contains("SP1 [") && log.contains("is out of range (1000 ~ 1300)."),
             log.constData());
    QVERIFY(sim.programRecords(14).isEmpty());
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
