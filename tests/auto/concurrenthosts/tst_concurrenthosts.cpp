// Several host threads share one driver: they poll its own tags and a word tag it passes to the
// link driver, and keep asking for program reads and writes while transfers run. Every accepted
// start must reach the controller exactly once, and the program must come out right.

#include "DriverDCP30.h"
#include "FileAccessor.h"
#include "SimulatedPort.h"
#include "TransferTestSupport.h"
#include "WorkerHarness.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace TestSupport;

class tst_ConcurrentHosts : public QObject
{
    Q_OBJECT

private slots:
    void init() { WorkerHarness::removeAppFiles(); }
    void cleanupTestCase() { WorkerHarness::removeAppFiles(); }

    void hostsPollWhileTransfersRun_data();
    void hostsPollWhileTransfersRun();
};

void tst_ConcurrentHosts::hostsPollWhileTransfersRun_data()
{
    QTest::addColumn<int>("hosts");
    QTest::addColumn<int>("rounds");
    QTest::newRow("8 hosts") << 8 << 300;
    QTest::newRow("2 hosts") << 2 << 600;
}

void tst_ConcurrentHosts::hostsPollWhileTransfersRun()
{
    QFETCH(int, hosts);
    QFETCH(int, rounds);
    const int program = 6;
    const int TargetStarts = 40;

    SimulatedPort port;
    port.setReadTimeout(20);
    ControllerSimulator &sim = port.simulator();
    const QStringList records = sim.programRecords(2);
    QVERIFY(sim.setProgramRecords(program, records));
    const QByteArray expectedFile = csvBytes(rowsOf(records));
    QFile file(WorkerHarness::appFile(QStringLiteral("PROG_%1.txt").arg(program)));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(expectedFile) == expectedFile.size());
    file.close();

    ZelEnv env;
    DriverDCP30 driver;
    QVERIFY(driver.worker());
    driver.worker()->setPauseHook([](int) {});
    std::atomic<int> starts{0};
    connect(
        &driver, &DriverDCP30::readProgramFileProcess, this, [&](int, int, int) { ++starts; },
        Qt::DirectConnection);
    connect(
        &driver, &DriverDCP30::writeProgramFileProcess, this,
        [&](QList<int>, int, int, int) { ++starts; }, Qt::DirectConnection);
    QVERIFY(writeByte(driver, &port, "ProgramID0", program));
    QVERIFY(writeByte(driver, &port, "SegCnt0", records.size()));

    const QByteArray ranges("\x38\xff\xff\xff\x14\x05\x00\x00", 8); // -200, 1300
    std::atomic<int> wrongRanges{0}, goodRanges{0}, wrongOwn{0}, finished{0};
    std::vector<std::thread> threads;
    for (int h = 0; h < hosts; ++h) {
        threads.emplace_back([&, h] {
            Command segCnt(QStringLiteral("SegCnt0"));
            Command rf(QStringLiteral("RF0"));
            Command wf(QStringLiteral("WF0"));
            Command ram(QStringLiteral("RAM4509"), 2);
            // Polls at least `rounds` times and until enough transfers were started (a transfer
            // ends only when the driver's thread has taken the worker's report), within a bound.
            QElapsedTimer clock;
            clock.start();
            for (int r = 0;
                 (r < rounds || starts.load() < TargetStarts) && !clock.hasExpired(60000); ++r) {
                if (driver.readTag(&port, &segCnt) != QByteArray(1, char(records.size())))
                    ++wrongOwn;
                const QByteArray flag = driver.readTag(&port, r % 2 ? &rf : &wf);
                if (flag.size() != 1 || quint8(flag.at(0)) > 1)
                    ++wrongOwn;
                const QByteArray words = driver.readTag(&port, &ram);
                if (words == ranges)
                    ++goodRanges;
                else if (!words.isEmpty())
                    ++wrongRanges;
                if (r % 7 == h % 7) {
                    QByteArray one(1, 1);
                    driver.writeTag(&port, (r + h) % 2 ? &rf : &wf, one);
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            ++finished;
        });
    }
    QTRY_VERIFY_WITH_TIMEOUT(finished.load() == hosts, 120000);
    for (auto &t : threads)
        t.join();

    QTRY_VERIFY_WITH_TIMEOUT(
        readByte(driver, &port, "RF0") == 0 && readByte(driver, &port, "WF0") == 0, 20000);
    QMetaObject::invokeMethod(
        driver.worker(), [] {}, Qt::BlockingQueuedConnection);
    QCoreApplication::processEvents();

    int opens = 0;
    for (const auto &entry : port.trace()) {
        if (entry.direction == SimulatedPort::Direction::Request &&
            entry.bytes.startsWith("\x02"
                                   "0100XFO,"))
            ++opens;
    }
    qInfo("concurrent hosts: %d threads x %d rounds: %d accepted starts, %d opens on the line, "
          "%d range reads answered, %d wrong, %d wrong own-tag answers",
          hosts, rounds, starts.load(), opens, goodRanges.load(), wrongRanges.load(),
          wrongOwn.load());
    QVERIFY(starts.load() >= TargetStarts);
    QVERIFY(goodRanges.load() > 0); // the link driver was reached between transfers
    QCOMPARE(opens, starts.load());
    QCOMPARE(wrongOwn.load(), 0);
    QCOMPARE(wrongRanges.load(), 0);
    const QByteArray logs =
        WorkerHarness::fileBytes(QStringLiteral("READ_PROG_%1_ERROR.txt").arg(program)) +
        WorkerHarness::fileBytes(QStringLiteral("WRITE_PROG_%1_ERROR.txt").arg(program));
    QVERIFY2(readByte(driver, &port, "RE0") == 0 && readByte(driver, &port, "WE0") == 0,
             logs.constData());
    QCOMPARE(sim.programRecords(program), records);
    QCOMPARE(WorkerHarness::fileBytes(QStringLiteral("PROG_%1.txt").arg(program)), expectedFile);
}

QTEST_GUILESS_MAIN(tst_ConcurrentHosts)
#include "tst_concurrenthosts.moc"
