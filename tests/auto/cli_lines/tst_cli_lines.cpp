// The dcp30 tool over real lines: "dcp30 simulate" serving a pseudo-terminal or a TCP port, and
// reads, writes and tag accesses of a second dcp30 process through the serial and TCP port
// objects, with the line faults that make those port objects earn their keep.

#include "CliSupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using CliProcess::words;

namespace {

QStringList lineArguments(const QString &line)
{
    return line == QLatin1String("pty") ? QStringList{"--pty"} : QStringList{"--tcp", "0"};
}

// A read of program through the simulator at where, copied to out.
CliProcess::Result readProgram(int program, int segments, const QString &where, const QString &out,
                               const QStringList &options = {})
{
    QFile::remove(ProgramFiles::errorLog("READ", program));
    return CliProcess::run(QStringList{"read", "--program", QString::number(program), "--segments",
                                       QString::number(segments), "--port", where, "--out", out} +
                           options);
}

} // namespace

class tst_CliLines : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void writeThenReadBack_data();
    void writeThenReadBack();
    void splitRepliesAreAssembled_data();
    void splitRepliesAreAssembled();
    void lateReplyIsDiscarded();
    void silentControllerFailsTheRead();
    void validateTakesRangesFromTheController();

private:
    QTemporaryDir m_dir;
};

void tst_CliLines::writeThenReadBack_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("signalNumber"); // that ends the simulator
    QTest::newRow("pty") << "pty" << int(SIGINT);
    QTest::newRow("tcp") << "tcp" << int(SIGTERM);
}

void tst_CliLines::writeThenReadBack()
{
    QFETCH(QString, line);
    QFETCH(int, signalNumber);
    SimulatorProcess simulator;
    QVERIFY(simulator.start(lineArguments(line)));
    // The first line names the line as --port takes it.
    QVERIFY2(
        simulator.where().startsWith(line == QLatin1String("pty") ? "/dev/" : "tcp:127.0.0.1:"),
        qPrintable(simulator.where()));
    QFile::remove(ProgramFiles::errorLog("WRITE", 8));

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
    const CliProcess::Result back = readProgram(8, 3, simulator.where(), copy);
    QVERIFY2(back.finished && back.exitCode == 0, back.describe());
    QVERIFY(back.labelled("error log").isEmpty());
    QCOMPARE(ProgramFiles::load(copy), rows);

    QCOMPARE(simulator.stop(signalNumber), 0);
    QVERIFY2(simulator.errorOutput().contains(
                 QStringLiteral("simulator stopped (signal %1)").arg(signalNumber)),
             qPrintable(simulator.errorOutput()));
}

void tst_CliLines::splitRepliesAreAssembled_data()
{
    QTest::addColumn<QStringList>("simulate");
    // The chunks of every block reply come 100 ms apart: pauses inside one reply.
    QTest::newRow("tcp, four chunks") << words("--tcp 0 --fault block-read:split=4:delay=100");
    // Every reply of the transfer byte by byte, ETX and LF apart as well.
    QTest::newRow("pty, single bytes") << words("--pty --fault any:split=40:delay=2");
}

void tst_CliLines::splitRepliesAreAssembled()
{
    QFETCH(QStringList, simulate);
    SimulatorProcess simulator;
    QVERIFY(simulator.start(simulate));
    const QString copy = m_dir.filePath("anneal.txt");
    const CliProcess::Result result = readProgram(1, 2, simulator.where(), copy);
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QVERIFY(!QFile::exists(ProgramFiles::errorLog("READ", 1)));
    QCOMPARE(ProgramFiles::load(copy), ProgramFiles::demoRows(1, 2));
}

void tst_CliLines::lateReplyIsDiscarded()
{
    // The first block reply arrives after the read gave up; the repeat gets a reply, and the
    // late one is queued behind it. Only option 12 before the next command keeps that stale
    // reply from being taken as segment 2 (which the plugin would reject and log).
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--tcp", "0", "--fault", "block-read:nth=1:late:delay=700"}));
    const QString copy = m_dir.filePath("anneal.txt");
    const CliProcess::Result result =
        readProgram(1, 2, simulator.where(), copy, {"--timeout", "200", "--keep-partial"});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QCOMPARE(ProgramFiles::logLines(ProgramFiles::errorLog("READ", 1)),
             QStringList({"Program 1:", "Reading the Program 1 file fail. Error Code 1."}));
    QCOMPARE(ProgramFiles::load(copy), ProgramFiles::demoRows(1, 2));
}

void tst_CliLines::silentControllerFailsTheRead()
{
    // The read timeout and the retries given on the command line govern a real line.
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--pty", "--fault", "any:no-reply"}));
    const CliProcess::Result result = readProgram(2, 1, simulator.where(), m_dir.filePath("p.txt"),
                                                  {"--retries", "1", "--timeout", "100"});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    const QString log = ProgramFiles::errorLog("READ", 2);
    QCOMPARE(result.labelled("error log"), QStringList{log});
    const QString openFail = QStringLiteral("Opening the Program 2 file fail. Error Code 1.");
    QCOMPARE(ProgramFiles::logLines(log), QStringList({"Program 1:", openFail, openFail,
                                                       "Read File retry time is over 1 times."}));
    QVERIFY(!QFile::exists(m_dir.filePath("p.txt")));
    QVERIFY2(
        result.err.contains(QLatin1String("p.txt was left as it was: no program file was saved")),
        result.describe());
}

void tst_CliLines::validateTakesRangesFromTheController()
{
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--pty"}));
    const QString file = m_dir.filePath("anneal.txt");
    QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(1, 4), file));
    // Lowering the controller's SP1 upper limit to 500 puts the 620 degree soak out of range.
    CliProcess::Result result =
        CliProcess::run({"tag", "set", "RAM4510", "500", "--port", simulator.where()});
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    result = CliProcess::run({"validate", file, "--port", simulator.where()});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QCOMPARE(result.out.split(QLatin1Char('\n')),
             QStringList({"Program 1:", "", "\tSegment 3 has following format error : ",
                          "\t\tSP1 [620] is out of range (-200 ~ 500).", "",
                          "\tSegment 4 has following format error : ",
                          "\t\tSP1 [620] is out of range (-200 ~ 500).", ""}));
}

QTEST_GUILESS_MAIN(tst_CliLines)
#include "tst_cli_lines.moc"
