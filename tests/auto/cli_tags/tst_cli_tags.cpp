// "dcp30 tag": what it refuses before anything reaches the controller, negative values as
// plain words, and a line that echoes every request named as the cause of a missing value.

#include "CliSupport.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

class tst_CliTags : public QObject
{
    Q_OBJECT

private slots:
    void refused_data();
    void refused();
    void negativeValue_data();
    void negativeValue();
    void echoingLine();
};

void tst_CliTags::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    QTest::newRow("own tag in lower case")
        << QStringList{"get", "rf0"}
        << "\"rf0\" is not a tag: did you mean \"RF0\"? (tag addresses are case-sensitive)";
    QTest::newRow("controller word in lower case")
        << QStringList{"set", "ram4509", "5"}
        << "\"ram4509\" is not a tag: did you mean \"RAM4509\"? (tag addresses are "
           "case-sensitive)";
    const QString forms = "tag addresses are the plugin's own tags (SegCnt0, ReadProgress0, "
                          "WriteProgress0, ProgramID0, StorageType0, RF0, WF0, WE0, RE0) and "
                          "RAM<word> for word 0 to 65535 of the controller";
    QTest::newRow("other memory name")
        << QStringList{"get", "DB100"} << "unknown tag address \"DB100\": " + forms;
    QTest::newRow("word beyond the memory")
        << QStringList{"set", "RAM65536", "1"} << "unknown tag address \"RAM65536\": " + forms;
    QTest::newRow("empty address") << QStringList{"get", ""} << "ADDRESS is empty: " + forms;
    QTest::newRow("beyond a 32-bit element")
        << QStringList{"set", "RAM4509", "4294967295"}
        << "4294967295 does not fit data type 3 (-2147483648 to 2147483647)";
    QTest::newRow("beyond a controller word")
        << QStringList{"set", "RAM4509", "-1,-32769"}
        << "-32769 does not fit a controller word (-32768 to 32767)";
}

// Refused with exit 2, the reason on the first line and the usage after it; the controller's
// word keeps its value.
void tst_CliTags::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--tcp", "0"}));
    const QStringList port{"--port", simulator.where()};
    const CliProcess::Result result = CliProcess::run(QStringList{"tag"} + arguments + port);
    QVERIFY2(result.finished && result.exitCode == 2, result.describe());
    QVERIFY(result.out.isEmpty());
    const QStringList lines = result.err.split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), "dcp30 tag: " + reason);
    QVERIFY2(lines.value(1).startsWith(QLatin1String("Usage: dcp30 tag get")), result.describe());

    const CliProcess::Result after = CliProcess::run(QStringList{"tag", "get", "RAM4509"} + port);
    QVERIFY2(after.finished && after.exitCode == 0, after.describe());
    QCOMPARE(after.out, QStringLiteral("-200\n"));
}

void tst_CliTags::negativeValue_data()
{
    QTest::addColumn<QStringList>("set"); // the words after "tag set"; PORT stands for the port
    QTest::addColumn<QStringList>("get");
    QTest::addColumn<QString>("read");
    QTest::newRow("after the address") << QStringList{"RAM4509", "-300", "--port", "PORT"}
                                       << QStringList{"RAM4509", "--port", "PORT"} << "-300";
    QTest::newRow("after the options")
        << QStringList{"--port", "PORT", "--type", "2", "RAM4509", "-300"}
        << QStringList{"RAM4509", "--port", "PORT", "--type", "2"} << "-300";
    QTest::newRow("list of two") << QStringList{"RAM4509", "-300,-32768", "--port=PORT"}
                                 << QStringList{"RAM4509", "--count", "2", "--port", "PORT"}
                                 << "-300 -32768";
}

// A negative VALUE is a value, not an option; the controller holds it afterwards.
void tst_CliTags::negativeValue()
{
    QFETCH(QStringList, set);
    QFETCH(QStringList, get);
    QFETCH(QString, read);
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--tcp", "0"}));
    set.replaceInStrings(QStringLiteral("PORT"), simulator.where());
    get.replaceInStrings(QStringLiteral("PORT"), simulator.where());
    const CliProcess::Result written = CliProcess::run(QStringList{"tag", "set"} + set);
    QVERIFY2(written.finished && written.exitCode == 0, written.describe());
    const CliProcess::Result held = CliProcess::run(QStringList{"tag", "get"} + get);
    QVERIFY2(held.finished && held.exitCode == 0, held.describe());
    QCOMPARE(held.out, read + QLatin1Char('\n'));
}

// An adapter with local echo on, played on the master side of a pseudo-terminal: every byte the
// tool sends comes straight back and the controller never answers.
void tst_CliTags::echoingLine()
{
    int master = -1;
    int slave = -1;
    char name[256];
    QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    QCOMPARE(::fcntl(master, F_SETFL, O_NONBLOCK), 0);
    std::atomic<bool> done{false};
    std::thread adapter([&] {
        char chunk[256];
        while (!done.load()) {
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n > 0)
                ::write(master, chunk, size_t(n));
            else
                QThread::msleep(2);
        }
    });
    const CliProcess::Result result = CliProcess::run(
        {"tag", "get", "RAM4509", "--port", QString::fromLocal8Bit(name), "--timeout", "300"});
    done.store(true);
    adapter.join();
    ::close(master);
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QVERIFY2(result.err.contains(QLatin1String("dcp30: no value for RAM4509")), result.describe());
    QCOMPARE(result.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts).last(),
             QStringLiteral("dcp30: the line echoes every request (an adapter with local echo "
                            "on?): switch the echo off"));
}

QTEST_GUILESS_MAIN(tst_CliTags)
#include "tst_cli_tags.moc"
