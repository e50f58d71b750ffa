// Program reads and writes through the whole plugin (driver, link driver, worker thread) against
// one simulated controller whose line loses, garbles, truncates, delays and splits replies at
// random. The host's view is all that counts: each transfer must either leave a correct program
// (file or controller memory) with the error flag clear, or raise the error flag and leave an
// error log saying what failed. A wrong program behind a clear flag is the fault this hunts.
//
// Replay a failure with DCP30_SOAK_SEED=<seed printed by the run>; run longer with
// DCP30_SOAK_TRANSFERS=<n>.

#include "DriverDCP30.h"
#include "FaultPlan.h"
#include "FileAccessor.h"
#include "SimulatedPort.h"
#include "TransferTestSupport.h"
#include "WorkerHarness.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QtTest>

using namespace TestSupport;

class tst_FaultSoak : public QObject
{
    Q_OBJECT

private slots:
    void init() { WorkerHarness::removeAppFiles(); }
    void cleanupTestCase() { WorkerHarness::removeAppFiles(); }

    void transfersUnderFaults_data();
    void transfersUnderFaults();
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
    bool ok = false;
    const quint32 given = qEnvironmentVariable("DCP30_SOAK_SEED").toUInt(&ok);
    const quint32 soakSeed = ok ? given : quint32(QDateTime::currentMSecsSinceEpoch());
    const int n = qEnvironmentVariableIntValue("DCP30_SOAK_TRANSFERS", &ok);
    const int total = ok && n > 0 ? n : 300;
    qInfo("fault soak: seed %u, %d transfers, faults %s (replay with DCP30_SOAK_SEED=%u)", soakSeed,
          total, qPrintable(faults.join(' ')), soakSeed);

    FaultPlan plan;
    QString error;
    QVERIFY2(FaultPlan::parse(faults, plan, &error, soakSeed), qPrintable(error));
    SimulatedPort port;
    port.setFaultPlan(plan);
    ControllerSimulator &sim = port.simulator();

    ZelEnv env;
    DriverDCP30 driver;
    QVERIFY(driver.worker());
    QVERIFY(driver.linkDriver());
    driver.worker()->setPauseHook([](int) {});

    QRandomGenerator random(soakSeed);
    int reads = 0, clean = 0, flagged = 0, flaggedButRight = 0, leftOpen = 0;
    for (int t = 0; t < total; ++t) {
        WorkerHarness::removeAppFiles();
        const bool read = random.bounded(2) == 0;
        const int source = 1 + int(random.bounded(3));
        const QStringList sourceRecords = sim.programRecords(source);
        const int program = read ? source : 4 + int(random.bounded(16));
        const QString what = QStringLiteral("transfer %1 (%2 of program %3, seed %4)")
                                 .arg(t)
                                 .arg(read ? "read" : "write")
                                 .arg(program)
                                 .arg(soakSeed);
        const QString fileName = QStringLiteral("PROG_%1.txt").arg(program);
        const QByteArray sourceFile = csvBytes(rowsOf(sourceRecords));
        if (!read) {
            // The target holds another program first, so a write that never reached the
            // controller cannot pass for a right one.
            QVERIFY(sim.setProgramRecords(program, sim.programRecords(source % 3 + 1)));
            QFile f(WorkerHarness::appFile(fileName));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(sourceFile);
        }

        const QString flag = read ? "RF0" : "WF0";
        QVERIFY(writeByte(driver, &port, "ProgramID0", program));
        QVERIFY(writeByte(driver, &port, "SegCnt0", sourceRecords.size()));
        QVERIFY(writeByte(driver, &port, flag, 1));
        QCOMPARE(readByte(driver, &port, flag), 1);
        QTRY_VERIFY2_WITH_TIMEOUT(readByte(driver, &port, flag) == 0, qPrintable(what), 10000);
        // The error flag and log follow the busy flag's drop: let the worker finish its slot and
        // deliver what it reported to the driver.
        QMetaObject::invokeMethod(
            driver.worker(), [] {}, Qt::BlockingQueuedConnection);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        reads += read ? 1 : 0;
        QCOMPARE(readByte(driver, &port, read ? "ReadProgress0" : "WriteProgress0"), 0);

        const QString errorFlag = read ? "RE0" : "WE0";
        const bool right = read ? WorkerHarness::fileBytes(fileName) == sourceFile
                                : sim.programRecords(program) == sourceRecords;
        const QByteArray log = WorkerHarness::fileBytes(
            QStringLiteral("%1_PROG_%2_ERROR.txt").arg(read ? "READ" : "WRITE").arg(program));
        if (readByte(driver, &port, errorFlag) == 1) {
            ++flagged;
            flaggedButRight += right ? 1 : 0;
            // The log names the program and at least one thing that went wrong.
            QVERIFY2(log.startsWith("Program 1:\r\n"), qPrintable(what));
            QVERIFY2(log.trimmed().size() > QByteArray("Program 1:").size(),
                     qPrintable(what + ": log says nothing: " + QString::fromUtf8(log)));
            QVERIFY(writeByte(driver, &port, errorFlag, 0));
            QCOMPARE(readByte(driver, &port, errorFlag), 0);
        } else {
            ++clean;
            QVERIFY2(right, qPrintable(what + ": wrong program, no error flag"));
            QVERIFY2(log.isEmpty(), qPrintable(what + ": error log, no flag"));
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
    for (int f = 0; f < FaultRule::FaultCount; ++f) {
        const auto fault = FaultRule::Fault(f);
        if (used.injectedCount(fault) > 0)
            injected << QStringLiteral("%1=%2")
                            .arg(FaultRule::faultName(fault))
                            .arg(used.injectedCount(fault));
    }
    qInfo("fault soak: seed %u: %d transfers (%d reads, %d writes), %d exchanges, faults %d (%s)",
          soakSeed, total, reads, total - reads, used.exchangeCount(), used.totalInjected(),
          qPrintable(injected.join(", ")));
    qInfo("fault soak: outcomes: %d right with flag clear, %d flagged with log (%d of them right "
          "after retries), %d left the controller's file open",
          clean, flagged, flaggedButRight, leftOpen);
    QVERIFY(used.totalInjected() > 0); // or the soak proved nothing
}

QTEST_GUILESS_MAIN(tst_FaultSoak)
#include "tst_faultsoak.moc"
