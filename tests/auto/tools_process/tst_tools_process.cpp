#include "ProcessTime.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QtTest>

#include <limits>

#if defined(Q_OS_LINUX)
#include <cerrno>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace DriverTools;

class TestToolsProcess : public QObject
{
    Q_OBJECT

private slots:
    void knownIds_data();
    void knownIds();
    void childLifecycle();
    void processOfAnotherUserCountsAsRunning();
    void timeKeeping();
};

void TestToolsProcess::knownIds_data()
{
    QTest::addColumn<qint64>("id");
    QTest::addColumn<bool>("running");
    QTest::newRow("zero") << qint64(0) << true;
    QTest::newRow("negative") << qint64(-1) << false;
    QTest::newRow("this process") << QCoreApplication::applicationPid() << true;
#if defined(Q_OS_LINUX)
    QTest::newRow("largest pid, unused") << qint64(std::numeric_limits<pid_t>::max()) << false;
    QTest::newRow("beyond the pid range") << qint64(std::numeric_limits<pid_t>::max()) + 1 << false;
#endif
}

void TestToolsProcess::knownIds()
{
    QFETCH(qint64, id);
    QFETCH(bool, running);
    QCOMPARE(isProcessRunning(id), running);
}

void TestToolsProcess::childLifecycle()
{
#if defined(Q_OS_LINUX)
    int pipeFds[2];
    QCOMPARE(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        // Wait until the parent closes its end, then end without being reaped.
        char byte;
        ::close(pipeFds[1]);
        while (::read(pipeFds[0], &byte, 1) > 0) {
        }
        ::_exit(0);
    }
    ::close(pipeFds[0]);
    QVERIFY(isProcessRunning(child));
    ::close(pipeFds[1]);
    // Wait for the end without reaping: the child stays a zombie.
    siginfo_t info{};
    QCOMPARE(::waitid(P_PID, id_t(child), &info, WEXITED | WNOWAIT), 0);
    QVERIFY(!isProcessRunning(child)); // a zombie has ended
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(!isProcessRunning(child));
#else
    QSKIP("The child process check uses fork()");
#endif
}

void TestToolsProcess::processOfAnotherUserCountsAsRunning()
{
#if defined(Q_OS_LINUX)
    // In a child without root rights, kill(1, 0) fails with EPERM; the answer must still be true.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        if (::geteuid() == 0 && ::setuid(65534) != 0)
            ::_exit(2);
        if (::kill(1, 0) == 0 || errno != EPERM)
            ::_exit(3);
        ::_exit(isProcessRunning(1) ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2 || WEXITSTATUS(status) == 3)
        QSKIP("No user here lacks the right to signal process 1");
    QCOMPARE(WEXITSTATUS(status), 0);
#else
    QSKIP("Uses fork() and setuid()");
#endif
}

void TestToolsProcess::timeKeeping()
{
    QElapsedTimer timer;
    timer.start();
    sleepMs(30);
    QVERIFY(timer.elapsed() >= 29);
    // No wait at all, rather than an unsigned wrap-around into a sleep of weeks.
    timer.restart();
    sleepMs(0);
    sleepMs(-100);
    QVERIFY(timer.elapsed() < 5000);

    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const qint64 now = currentMs();
    QVERIFY(before <= now && now <= QDateTime::currentMSecsSinceEpoch());
    QVERIFY(now > qint64(1600000000) * 1000); // after September 2020: milliseconds, not seconds
}

QTEST_GUILESS_MAIN(TestToolsProcess)

#include "tst_tools_process.moc"
