// Program reads and writes through the whole plugin (driver, link driver, worker thread) against
// one simulated controller whose line loses, garbles, truncates, delays and splits replies at
// random. The host's view is all that counts: each transfer must either leave a correct program
// (file or controller memory) with the error flag clear, or raise the error flag and leave an
// error log saying what failed. A wrong program behind a clear flag is the fault this hunts.
//
// Replay a failure with DCP30_SOAK_SEED=<seed printed by the run>; run longer with
// DCP30_SOAK_TRANSFERS=<n>.

#include "CommunicatorCommand.h"
#include "ControllerSimulator.h"
#include "DriverDCP30.h"
#include "FaultPlan.h"
#include "FileAccessor.h"
#include "ProgramFormat.h"
#include "SimulatedPort.h"
#include "TransferTestSupport.h"
#include "WorkerHarness.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QtTest>

using namespace TestSupport;

namespace {

quint32 soakSeed()
{
    bool ok = false;
    const quint32 seed = qEnvironmentVariable("DCP30_SOAK_SEED").toUInt(&ok);
    return ok ? seed : quint32(QDateTime::currentMSecsSinceEpoch() & 0xffffffffu);
}

int soakTransfers()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("DCP30_SOAK_TRANSFERS", &ok);
    return ok && n > 0 ? n : 300;
}

const QList<FaultRule::Fault> AllFaults = {
    FaultRule::Fault::NoReply, FaultRule::Fault::Garbled, FaultRule::Fault::Truncated,
    FaultRule::Fault::Short,   FaultRule::Fault::Long,    FaultRule::Fault::EndCode,
    FaultRule::Fault::Split,   FaultRule::Fault::Late,    FaultRule::Fault::Stray};

} // namespace

class tst_FaultSoak : public QObject
{
    Q_OBJECT

private slots:
    void init() { WorkerHarness::removeAppFiles(); }
    void cleanupTestCase() { WorkerHarness::removeAppFiles(); }

    void transfersUnderFaults_data();
    void transfersUnderFaults();
    void shortenedEndCodeIsExplained();

private:
    // Lets the worker finish the slot it is in (the error flag and log follow the busy flag's
    // drop) and delivers what it reported to the driver.
    static void settle(DriverDCP30 &driver)
    {
        QMetaObject::invokeMethod(
            driver.worker(), [] {}, Qt::BlockingQueuedConnection);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
};

void tst_FaultSoak::transfersUnderFaults_data()
{
    QTest::addColumn<QStringList>("faults");
    // A mix that every transfer meets several times over, and one line that is mostly quiet
    // but loses whole requests: retries and their logs are the interesting part there.
    QTest::newRow("mixed") << QStringList{"any:p=0.05:no-reply",  "any:p=0.02:garbled",
                                          "any:p=0.02:truncated", "any:p=0.01:late",
                                          "any:p=0.01:stray",     "any:p=0.10:split"};
    QTest::newRow("lossy") << QStringList{"any:p=0.15:no-reply", "any:p=0.05:late"};
}

void tst_FaultSoak::transfersUnderFaults()
{
    QFETCH(QStringList, faults);
    const quint32 seed = soakSeed();
    const int transfers = soakTransfers();
    qInfo("fault soak: seed %u, %d transfers, faults %s (replay with DCP30_SOAK_SEED=%u)", seed,
          transfers, qPrintable(faults.join(' ')), seed);

    FaultPlan plan;
    QString error;
    QVERIFY2(FaultPlan::parse(faults, plan, &error, seed), qPrintable(error));
    SimulatedPort port;
    port.setFaultPlan(plan);
    ControllerSimulator &sim = port.simulator();

    ZelEnv env;
    DriverDCP30 driver;
    QVERIFY(driver.worker());
    QVERIFY(driver.linkDriver());
    driver.worker()->setPauseHook([](int) {});

    QRandomGenerator random(seed);
    int reads = 0, writes = 0, clean = 0, flagged = 0, flaggedButRight = 0, leftOpen = 0;
    for (int t = 0; t < transfers; ++t) {
        WorkerHarness::removeAppFiles();
        const bool read = random.bounded(2) == 0;
        const int source = 1 + int(random.bounded(3));
        const QStringList sourceRecords = sim.programRecords(source);
        const int program = read ? source : 4 + int(random.bounded(16));
        const QString what = QStringLiteral("transfer %1 (%2 of program %3, seed %4)")
                                 .arg(t)
                                 .arg(read ? "read" : "write")
                                 .arg(program)
                                 .arg(seed);
        const QString flag = read ? QStringLiteral("RF0") : QStringLiteral("WF0");
        const QString errorFlag = read ? QStringLiteral("RE0") : QStringLiteral("WE0");
        const QString logName =
            QStringLiteral("%1_PROG_%2_ERROR.txt").arg(read ? "READ" : "WRITE").arg(program);
        const QString fileName = QStringLiteral("PROG_%1.txt").arg(program);

        if (!read) {
            // The target holds another program first, so a write that never reached the
            // controller cannot pass for a right one.
            const int other = source % 3 + 1;
            QVERIFY(sim.setProgramRecords(program, sim.programRecords(other)));
            QFile f(WorkerHarness::appFile(fileName));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(csvBytes(rowsOf(sourceRecords)));
        }

        QVERIFY(writeByte(driver, &port, "ProgramID0", program));
        QVERIFY(writeByte(driver, &port, "SegCnt0", sourceRecords.size()));
        QVERIFY(writeByte(driver, &port, flag, 1));
        QCOMPARE(readByte(driver, &port, flag), 1);
        QTRY_VERIFY2_WITH_TIMEOUT(readByte(driver, &port, flag) == 0, qPrintable(what), 10000);
        settle(driver);
        (read ? reads : writes)++;

        const bool raised = readByte(driver, &port, errorFlag) == 1;
        const bool right =
            read ? WorkerHarness::fileBytes(fileName) == csvBytes(rowsOf(sourceRecords))
                 : sim.programRecords(program) == sourceRecords;
        const QByteArray log = WorkerHarness::fileBytes(logName);
        if (raised) {
            ++flagged;
            if (right)
                ++flaggedButRight;
            // The log names the program and at least one thing that went wrong.
            QVERIFY2(log.startsWith("Program 1:\r\n"), qPrintable(what));
            QVERIFY2(
                log.trimmed().size() > QByteArray("Program 1:").size(),
                qPrintable(what + QStringLiteral(": log says nothing: ") + QString::fromUtf8(log)));
            QVERIFY(writeByte(driver, &port, errorFlag, 0));
            QCOMPARE(readByte(driver, &port, errorFlag), 0);
        } else {
            ++clean;
            QVERIFY2(right, qPrintable(what + QStringLiteral(": wrong program, no error flag")));
            QVERIFY2(log.isEmpty(), qPrintable(what + QStringLiteral(": error log, no flag")));
        }
        // A transfer that gave up (or whose close was lost) leaves the controller's file open,
        // and every later open would be refused; the operator's remedy is a power cycle.
        if (sim.openMode() != ControllerSimulator::FileMode::Closed) {
            ++leftOpen;
            sim.closeAnyFile();
        }
    }

    const FaultPlan used = port.faultPlan();
    QStringList injected;
    for (FaultRule::Fault f : AllFaults) {
        if (used.injectedCount(f) > 0)
            injected
                << QStringLiteral("%1=%2").arg(FaultRule::faultName(f)).arg(used.injectedCount(f));
    }
    qInfo("fault soak: seed %u: %d transfers (%d reads, %d writes), %d exchanges, faults %d (%s)",
          seed, reads + writes, reads, writes, used.exchangeCount(), used.totalInjected(),
          qPrintable(injected.join(", ")));
    qInfo("fault soak: outcomes: %d right with flag clear, %d flagged with log (%d of them right "
          "after retries), %d left the controller's file open",
          clean, flagged, flaggedButRight, leftOpen);
    QCOMPARE(reads + writes, transfers);
    QCOMPARE(clean + flagged, transfers);
    QVERIFY(used.totalInjected() > 0);
}

// A reply one character short turns "00" into an end code nobody knows. The transfer must not
// pass: the error flag rises and the log holds the entry for the refused open, which for an end
// code without a message is an empty line.
void tst_FaultSoak::shortenedEndCodeIsExplained()
{
    FaultPlan plan;
    QVERIFY(plan.addRule(QStringLiteral("open-write:nth=1:short")));
    SimulatedPort port;
    port.setFaultPlan(plan);
    const QStringList records = port.simulator().programRecords(2);
    {
        QFile f(WorkerHarness::appFile(QStringLiteral("PROG_9.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(csvBytes(rowsOf(records)));
    }
    ZelEnv env;
    DriverDCP30 driver;
    QVERIFY(driver.worker());
    driver.worker()->setPauseHook([](int) {});
    QVERIFY(writeByte(driver, &port, "ProgramID0", 9));
    QVERIFY(writeByte(driver, &port, "SegCnt0", records.size()));
    QVERIFY(writeByte(driver, &port, "WF0", 1));
    QTRY_COMPARE_WITH_TIMEOUT(readByte(driver, &port, "WF0"), 0, 10000);
    settle(driver);
    QCOMPARE(port.faultPlan().injectedCount(FaultRule::Fault::Short), 1);
    QCOMPARE(readByte(driver, &port, "WE0"), 1);
    const QByteArray log = WorkerHarness::fileBytes(QStringLiteral("WRITE_PROG_9_ERROR.txt"));
    QCOMPARE(log, QByteArray("Program 1:\r\n"));
    // Nothing was written into the controller.
    QVERIFY(port.simulator().programRecords(9).isEmpty());
}

QTEST_GUILESS_MAIN(tst_FaultSoak)
#include "tst_faultsoak.moc"
