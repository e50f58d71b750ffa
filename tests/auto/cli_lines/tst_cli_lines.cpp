// The dcp30 tool over real lines: "dcp30 simulate" serving a pseudo-terminal or a TCP port, and
// reads, writes and tag accesses of a second dcp30 process through the serial and TCP port
// objects, with the line faults that make those port objects earn their keep.

#include "CliProcess.h"
#include "ProgramFiles.h"
#include "SimulatorProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

QString logName(const QString &kind, int program)
{
    return QStringLiteral("%1_PROG_%2_ERROR.txt").arg(kind).arg(program);
}

QStringList lineArguments(const QString &line)
{
    return line == QLatin1String("pty") ? QStringList{"--pty"} : QStringList{"--tcp", "0"};
}

} // namespace

class tst_CliLines : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void writeThenReadBack_data();
    void writeThenReadBack();
    void splitRepliesAreAssembled_data();
    void splitRepliesAreAssembled();
    void lateReplyIsDiscarded();
    void silentControllerFailsTheRead_data();
    void silentControllerFailsTheRead();
    void validateTakesRangesFromTheController();
    void simulatorEndsCleanly_data();
    void simulatorEndsCleanly();

private:
    QTemporaryDir m_dir;
};

void tst_CliLines::init()
{
    QVERIFY(m_dir.isValid());
}

void tst_CliLines::writeThenReadBack_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("pty") << "pty";
    QTest::newRow("tcp") << "tcp";
}

void tst_CliLines::writeThenReadBack()
{
    QFETCH(QString, line);
    SimulatorProcess simulator;
    QVERIFY(simulator.start(lineArguments(line)));
    // The first line names the line as --port takes it.
    QVERIFY2(
        simulator.where().startsWith(line == QLatin1String("pty") ? "/dev/" : "tcp:127.0.0.1:"),
        qPrintable(simulator.where()));
    ProgramFiles::removeAppFile(logName("WRITE", 8));
    ProgramFiles::removeAppFile(logName("READ", 8));

    // Program 8 is empty on the controller; the ceramic firing profile goes in.
    const QList<QStringList> rows = ProgramFiles::demoRows(2, 3);
    const QString source = m_dir.filePath("ceramic.txt");
    QVERIFY(ProgramFiles::save(rows, source));
    const CliProcess::Result write =
        CliProcess::run({"write", "--program", "8", "--segments", "3", "--csv", source, "--port",
                         simulator.where()});
    QVERIFY2(write.finished && write.exitCode == 0, write.describe());
    QVERIFY(write.labelled("error log").isEmpty());

    // A later connection finds the program in the same controller.
    const QString copy = m_dir.filePath("back.txt");
    const CliProcess::Result read = CliProcess::run(
        {"read", "--program", "8", "--segments", "3", "--out", copy, "--port", simulator.where()});
    QVERIFY2(read.finished && read.exitCode == 0, read.describe());
    QVERIFY(read.labelled("error log").isEmpty());
    QCOMPARE(ProgramFiles::load(copy), rows);
}

void tst_CliLines::splitRepliesAreAssembled_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("fault");
    // The chunks of every block reply come 120 ms apart: pauses inside one reply.
    QTest::newRow("pty, three chunks") << "pty"
                                       << "block-read:split=3:delay=120";
    QTest::newRow("tcp, four chunks") << "tcp"
                                      << "block-read:split=4:delay=100";
    // Every reply of the transfer byte by byte.
    QTest::newRow("pty, single bytes") << "pty"
                                       << "any:split=40:delay=2";
}

void tst_CliLines::splitRepliesAreAssembled()
{
    QFETCH(QString, line);
    QFETCH(QString, fault);
    SimulatorProcess simulator;
    QVERIFY(simulator.start(lineArguments(line) + QStringList{"--fault", fault}));
    ProgramFiles::removeAppFile(logName("READ", 1));
    const QString copy = m_dir.filePath("anneal.txt");
    const CliProcess::Result result = CliProcess::run(
        {"read", "--program", "1", "--segments", "2", "--out", copy, "--port", simulator.where()});
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QVERIFY(!QFile::exists(ProgramFiles::appFile(logName("READ", 1))));
    QCOMPARE(ProgramFiles::load(copy), ProgramFiles::demoRows(1, 2));
}

void tst_CliLines::lateReplyIsDiscarded()
{
    // The first block reply arrives after the read gave up; the repeat gets a reply, and the
    // late one is queued behind it. Only option 12 before the next command keeps that stale
    // reply from being taken as segment 2 (which the plugin would reject and log).
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--tcp", "0", "--fault", "block-read:nth=1:late:delay=700"}));
    ProgramFiles::removeAppFile(logName("READ", 1));
    const QString copy = m_dir.filePath("anneal.txt");
    const CliProcess::Result result =
        CliProcess::run({"read", "--program", "1", "--segments", "2", "--timeout", "200", "--out",
                         copy, "--port", simulator.where()});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QCOMPARE(ProgramFiles::logLines(ProgramFiles::appFile(logName("READ", 1))),
             QStringList({"Program 1:", "Reading the Program 1 file fail. Error Code 1."}));
    QCOMPARE(ProgramFiles::load(copy), ProgramFiles::demoRows(1, 2));
}

void tst_CliLines::silentControllerFailsTheRead_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("pty") << "pty";
    QTest::newRow("tcp") << "tcp";
}

void tst_CliLines::silentControllerFailsTheRead()
{
    QFETCH(QString, line);
    SimulatorProcess simulator;
    QVERIFY(simulator.start(lineArguments(line) + QStringList{"--fault", "any:no-reply"}));
    ProgramFiles::removeAppFile(QStringLiteral("PROG_2.txt"));
    ProgramFiles::removeAppFile(logName("READ", 2));
    const CliProcess::Result result =
        CliProcess::run({"read", "--program", "2", "--segments", "1", "--retries", "1", "--timeout",
                         "100", "--port", simulator.where()});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    const QString log = ProgramFiles::appFile(logName("READ", 2));
    QCOMPARE(result.labelled("error log"), QStringList{log});
    const QString openFail = QStringLiteral("Opening the Program 2 file fail. Error Code 1.");
    QCOMPARE(ProgramFiles::logLines(log), QStringList({"Program 1:", openFail, openFail,
                                                       "Read File retry time is over 1 times."}));
    QVERIFY(!QFile::exists(ProgramFiles::appFile(QStringLiteral("PROG_2.txt"))));
}

void tst_CliLines::validateTakesRangesFromTheController()
{
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--pty"}));
    const QString file = m_dir.filePath("anneal.txt");
    QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(1, 4), file));
    const QStringList validate{"validate", file, "--port", simulator.where()};

    CliProcess::Result result = CliProcess::run(validate);
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QVERIFY(result.out.isEmpty());

    // Lowering the controller's SP1 upper limit to 500 puts the 620 degree soak out of range.
    result = CliProcess::run({"tag", "set", "RAM4510", "500", "--port", simulator.where()});
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    result = CliProcess::run(validate);
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QCOMPARE(result.out.split(QLatin1Char('\n')),
             QStringList({"Program 1:", "", "\tSegment 3 has following format error : ",
                          "\t\tSP1 [620] is out of range (-200 ~ 500).", "",
                          "\tSegment 4 has following format error : ",
                          "\t\tSP1 [620] is out of range (-200 ~ 500).", ""}));
}

void tst_CliLines::simulatorEndsCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

void tst_CliLines::simulatorEndsCleanly()
{
    QFETCH(int, signalNumber);
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--tcp", "0"}));
    const CliProcess::Result result =
        CliProcess::run({"tag", "get", "RAM3509", "--port", simulator.where()});
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QCOMPARE(simulator.stop(signalNumber), 0);
    QVERIFY2(simulator.errorOutput().contains(
                 QStringLiteral("simulator stopped (signal %1)").arg(signalNumber)),
             qPrintable(simulator.errorOutput()));
}

QTEST_GUILESS_MAIN(tst_CliLines)
#include "tst_cli_lines.moc"
