// End-to-end runs of the dcp30 tool against its built-in simulated controller: arguments and
// exit codes, the files a read and a write leave, and the error logs they report. The content of
// the logs is the plugin's; here it shows that the options reached the plugin.

#include "CliSupport.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using CliProcess::words;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the tool in the background for tests that act on it while it runs.
struct Background
{
    QProcess process;
    QElapsedTimer clock;
    void start(const QStringList &arguments, const QString &directory)
    {
        process.setWorkingDirectory(directory);
        process.start(CliProcess::binary(), arguments);
        process.waitForStarted(10000);
        clock.start();
    }
    void signal(int number) { ::kill(pid_t(process.processId()), number); }
    // The exit code, or -1 when it did not end normally within timeoutMs.
    int wait(int timeoutMs)
    {
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished(5000);
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString err() { return QString::fromUtf8(process.readAllStandardError()); }
};

} // namespace

class tst_CliTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void commandLine_data();
    void commandLine();
    void pluginFilesMissing_data();
    void pluginFilesMissing();
    void readDeliversProgramFile();
    void readFailures_data();
    void readFailures();
    void writeFaultReportsLog();
    void refusedLogGetsHint();
    void outputTargets_data();
    void outputTargets();
    void fullDiskKeepsOldFile();
    void concurrentRunsNeverMix();
    void interrupted_data();
    void interrupted();
    void closeCommand();

private:
    QTemporaryDir m_dir;
};

void tst_CliTransfer::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(CliProcess::binary()), qPrintable(CliProcess::binary()));
}

void tst_CliTransfer::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // stdout starts with it; empty: nothing on stdout
    QTest::addColumn<QString>("err"); // in stderr's first line; empty: nothing on stderr
    auto row = [](const char *name, const QStringList &arguments, int exitCode, const QString &out,
                  const QString &err) {
        QTest::newRow(name) << arguments << exitCode << out << err;
    };
    // Each command's own required words must not stand in the way of its help.
    auto help = [&](const char *arguments, const char *usage) {
        row(arguments, words(arguments), 0, usage, "");
    };
    help("--help", "Usage: dcp30 read ");
    help("write -h", "Usage: dcp30 write --program N");
    help("validate --help", "Usage: dcp30 validate FILE");
    help("tag --help", "Usage: dcp30 tag get ADDRESS");
    help("simulate --help", "Usage: dcp30 simulate (--pty | --tcp PORTNUMBER)");

    auto bad = [&](const char *name, const QString &arguments, const char *reason) {
        row(name, words(arguments), 2, "", reason);
    };
    const QString read = QStringLiteral("read --program 1 --segments 1 ");
    bad("no command", "", "dcp30: name a command");
    bad("unknown command", "erase", "unknown command \"erase\"");
    bad("program missing", "read --segments 2", "--program is required");
    bad("program 0", "read --program 0 --segments 2",
        "--program must be a whole number from 1 to 19, not \"0\"");
    bad("segments 31", "read --program 1 --segments 31",
        "--segments must be a whole number from 1 to 30");
    bad("unknown option", read + "--speed 3", "Unknown option 'speed'");
    bad("tcp without number", read + "--port tcp:localhost",
        "must have the form tcp:HOST:PORTNUMBER");
    bad("fault on a real line", read + "--port /dev/ttyS0 --fault open-read:no-reply",
        "--fault applies to the built-in simulated controller");
    bad("fault syntax", read + "--fault open-read:explode", "--fault: ");
    bad("parity", read + "--parity MARK", "--parity must be NONE, EVEN or ODD");
    bad("baud", read + "--baud 12345", "--baud 12345 is not a baud rate");
    bad("validate without file", "validate", "name the program CSV file to check");
    bad("validate sp-limits", "validate f.txt --sp-limits 5", "--sp-limits needs 2 whole numbers");
    bad("tag action", "tag peek RAM1", "unknown action \"peek\"");
    bad("tag set RF0", "tag set RF0 1", "raising RF0 starts a program read");
    bad("simulate both", "simulate --pty --tcp 0", "give either --pty or --tcp PORTNUMBER");
    bad("diff one side", "diff a.txt", "name the two programs to compare");
    bad("diff program 20", "diff a.txt controller:20", "controller programs are 1 to 19");
    bad("diff two controllers", "diff controller:1 controller:2", "give --segments");

    const QString plainFile = m_dir.filePath(QStringLiteral("plain.txt"));
    QFile file(plainFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    // A port nobody listens on: taken from the system, then given back.
    quint16 closedPort = 0;
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        closedPort = server.serverPort();
    }
    const QString missing = m_dir.filePath("missing.txt");
    const QStringList readArgs = words(read);
    row("no such device", readArgs + words("--port /dev/nonexistent0"), 3, "",
        "dcp30: cannot open /dev/nonexistent0");
    row("not a serial device", readArgs + QStringList{"--port", plainFile}, 3, "",
        plainFile + " is not a serial device");
    row("tcp refused",
        readArgs + QStringList{"--port", QStringLiteral("tcp:127.0.0.1:%1").arg(closedPort)}, 3, "",
        "cannot connect to 127.0.0.1");
    row("csv to install missing",
        words("write --program 1 --segments 1 --csv") + QStringList{missing}, 3, "",
        "cannot open " + missing);
    row("out directory missing", readArgs + QStringList{"--out", m_dir.filePath("nodir/p.txt")}, 3,
        "", "does not exist");
    row("validate missing file",
        QStringList{"validate", missing} + words("--sp-limits 0,10 --event-types 0,0,0"), 3, "",
        "cannot open " + missing);
    row("tag on missing device", words("tag get RAM4509 --port /dev/nonexistent0"), 3, "",
        "dcp30: cannot open /dev/nonexistent0");

    row("range parameters", words("tag get RAM4509 --count 2"), 0, "-200 1300\n", "");
    row("16-bit event type", words("tag get RAM3505 --type 2"), 0, "50\n", "");
    row("own tag", words("tag get SegCnt0"), 0, "1\n", "");
    row("own tag clamped", words("tag set ProgramID0 40"), 0, "19\n", "");
    row("word written", words("tag set RAM100 7,-8 --fault data-read:nth=5:no-reply"), 0, "", "");
    row("value refused by the controller", words("tag set RAM100 5 --fault data-write:end-code=44"),
        1, "", "dcp30: RAM100 holds 0, not 5: the value was not taken\n");
    row("controller silent", words("tag get RAM4509 --fault data-read:no-reply"), 1, "",
        "dcp30: no value for RAM4509");
}

void tst_CliTransfer::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const CliProcess::Result result = CliProcess::run(arguments);
    QVERIFY2(result.finished && result.exitCode == exitCode, result.describe());
    QVERIFY2(out.isEmpty() ? result.out.isEmpty() : result.out.startsWith(out), result.describe());
    // The first line with its line end, so that a reason ending in "\n" is the whole line.
    const QString first = result.err.section(QLatin1Char('\n'), 0, 0) + QLatin1Char('\n');
    if (err.isEmpty())
        QVERIFY2(result.err.isEmpty(), result.describe());
    else
        QVERIFY2(first.startsWith(exitCode == 2 ? "dcp30" : "dcp30: ") && first.contains(err),
                 result.describe());
    // A wrong command line is answered with the usage.
    if (exitCode == 2)
        QVERIFY2(result.err.section(QLatin1Char('\n'), 1, 1).startsWith("Usage: dcp30 "),
                 result.describe());
}

void tst_CliTransfer::pluginFilesMissing_data()
{
    QTest::addColumn<bool>("withPlugin");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");
    auto row = [](const char *name, bool withPlugin, const char *arguments, int exitCode,
                  const char *err) {
        QTest::newRow(name) << withPlugin << QString(arguments) << exitCode << QString(err);
    };
    row("no plugin", false, "read --program 2 --segments 1", 3,
        "dcp30: the plugin cannot be loaded: ");
    // A write needs the range parameters, which only the link driver can read.
    row("no link driver for a write", true, "write --program 2 --segments 1 --csv src.txt", 3,
        "dcp30: the link driver cannot be loaded: ");
    row("a read does without it", true, "read --program 2 --segments 1 --quiet", 0, "");
}

void tst_CliTransfer::pluginFilesMissing()
{
    QFETCH(bool, withPlugin);
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    // The tool looks for the plugin and the link driver next to itself.
    QTemporaryDir dir;
    const QString tool = dir.filePath(QStringLiteral("dcp30"));
    QVERIFY(QFile::copy(CliProcess::binary(), tool));
    if (withPlugin)
        QVERIFY(QFile::copy(CliProcess::appDir() + "/libdcp30.so", dir.filePath("libdcp30.so")));
    QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(1, 1), dir.filePath("src.txt")));
    const CliProcess::Result result = CliProcess::run(words(arguments), 60000, dir.path(), tool);
    QVERIFY2(result.finished && result.exitCode == exitCode, result.describe());
    if (err.isEmpty()) {
        QVERIFY2(result.err.isEmpty(), result.describe());
        QCOMPARE(ProgramFiles::load(dir.filePath("PROG_2.txt")), ProgramFiles::demoRows(2, 1));
    } else {
        QVERIFY2(result.err.startsWith(err), result.describe());
    }
}

void tst_CliTransfer::readDeliversProgramFile()
{
    // An error log of an earlier run is neither reported nor touched by a clean read.
    const QString oldLog = m_dir.filePath("READ_PROG_3_ERROR.txt");
    QVERIFY(writeFile(oldLog, "Program 1:\r\nFrom an earlier run."));
    QFile::remove(ProgramFiles::appFile("PROG_3.txt"));

    // A relative --out is relative to the caller's working directory.
    const CliProcess::Result result =
        CliProcess::run(words("read --program 3 --segments 3 --out copy.txt"), 60000, m_dir.path());
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QCOMPARE(result.labelled("program file"), QStringList{m_dir.filePath("copy.txt")});
    QVERIFY2(result.labelled("error log").isEmpty(), result.describe());
    QVERIFY2(result.err.contains("via the built-in simulated controller (sim) done"),
             result.describe());
    QCOMPARE(ProgramFiles::logLines(oldLog), QStringList({"Program 1:", "From an earlier run."}));
    QCOMPARE(ProgramFiles::load(m_dir.filePath("copy.txt")), ProgramFiles::demoRows(3, 3));
    // Nothing is staged where other runs would find it.
    QVERIFY(!QFile::exists(ProgramFiles::appFile("PROG_3.txt")));
    // The saver's remembered directory is kept under the tool's own names.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QVERIFY(QFile::exists(config + "/dcp30/dcp30.conf"));
}

void tst_CliTransfer::readFailures_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("handedOver"); // segments in --out; -1: --out left as it was
    const QString noData =
        QStringLiteral("Program number or segment number is in error. No program in the segment.");
    QTest::newRow("empty program")
        << 6 << "--quiet" << QStringList{"Program 1:", "Seg1:" + noData, "Seg2:" + noData} << -1;
    QTest::newRow("empty program, partial kept")
        << 6 << "--quiet --keep-partial"
        << QStringList{"Program 1:", "Seg1:" + noData, "Seg2:" + noData} << 0;
    QTest::newRow("open never answered, no retries")
        << 1 << "--fault open-read:no-reply --retries 0"
        << QStringList{"Program 1:", "Opening the Program 1 file fail. Error Code 1."} << -1;
    // The repeated block succeeds: the program is right, but the read reports an error.
    QTest::newRow("one garbled block, repeated, kept")
        << 1 << "--fault block-read:nth=2:garbled --keep-partial"
        << QStringList{"Program 1:", "Reading the Program 1 file fail. Error Code 1."} << 2;
}

void tst_CliTransfer::readFailures()
{
    QFETCH(int, program);
    QFETCH(QString, options);
    QFETCH(QStringList, log);
    QFETCH(int, handedOver);
    const QString out = m_dir.filePath("out.txt");
    QVERIFY(writeFile(out, "previous"));
    const CliProcess::Result result = CliProcess::run(
        words(QStringLiteral("read --out out.txt --program %1 --segments 2 ").arg(program) +
              options),
        60000, m_dir.path());
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    const QString logFile = m_dir.filePath(QStringLiteral("READ_PROG_%1_ERROR.txt").arg(program));
    QCOMPARE(result.labelled("error log"), QStringList{logFile});
    QCOMPARE(ProgramFiles::logLines(logFile), log);
    // The content is on stderr as well, and the controller's file was closed after the failure.
    QVERIFY2(result.err.contains(log.join(QLatin1Char('\n'))), result.describe());
    QVERIFY2(
        result.err.contains(QStringLiteral("sent the close command for program %1").arg(program)),
        result.describe());
    if (handedOver < 0) {
        QCOMPARE(readFile(out), QByteArray("previous"));
        QVERIFY(result.labelled("program file").isEmpty());
    } else {
        QCOMPARE(result.labelled("program file"), QStringList{out});
        // A program without segments is the header row alone.
        const QList<QStringList> rows = ProgramFiles::demoRows(program, handedOver);
        QVERIFY(ProgramFiles::save(rows, m_dir.filePath("expected.txt")));
        QCOMPARE(readFile(out), readFile(m_dir.filePath("expected.txt")));
    }
}

void tst_CliTransfer::writeFaultReportsLog()
{
    const QString source = m_dir.filePath("anneal.txt");
    QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(1, 2), source));
    const QByteArray before = readFile(source);
    const CliProcess::Result result = CliProcess::run(
        words("write --program 4 --segments 2 --fault block-write:nth=1:count=2:no-reply "
              "--retries 1 --csv anneal.txt"),
        60000, m_dir.path());
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    const QString log = m_dir.filePath("WRITE_PROG_4_ERROR.txt");
    QCOMPARE(result.labelled("error log"), QStringList{log});
    const QString fail = QStringLiteral("Write File Fail. Error Code 21.");
    // The repeated attempt finds the controller file still open (the failed attempt does not
    // close it); that refusal counts as an answer, so the repeat ends the transfer quietly.
    QCOMPARE(ProgramFiles::logLines(log),
             QStringList({"Program 1:", fail, fail, "",
                          "The retry time of writing the Program 4 file is over 1 times."}));
    QCOMPARE(readFile(source), before);
}

void tst_CliTransfer::refusedLogGetsHint()
{
    const CliProcess::Result result = CliProcess::run(
        words("read --program 2 --segments 1 --retries 0 --fault open-read:end-code=50"), 60000,
        m_dir.path());
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QVERIFY2(result.err.contains("File is already open."), result.describe());
    QVERIFY2(result.err.contains("\"dcp30 close --program 2\""), result.describe());
}

void tst_CliTransfer::outputTargets_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err"); // in stderr when the exit code is not 0
    QTest::newRow("standard output") << "-" << 0 << "";
    QTest::newRow("character device, written into") << "/dev/null" << 0 << "";
    QTest::newRow("fifo, written into") << "fifo" << 0 << "";
    QTest::newRow("full device") << "/dev/full" << 3 << "No space left on device";
}

void tst_CliTransfer::outputTargets()
{
    QFETCH(QString, target);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    const QString path = target == "fifo" ? m_dir.filePath("fifo") : target;
    QProcess reader; // the other end of the FIFO, as a pipeline would have it
    if (target == "fifo") {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        reader.start("cat", {path});
        QVERIFY(reader.waitForStarted(10000));
    }
    const CliProcess::Result result =
        CliProcess::run(QStringList{"read", "--program", "2", "--segments", "2", "--out", path},
                        60000, m_dir.path());
    reader.waitForFinished(10000);
    const QByteArray fromFifo = reader.readAllStandardOutput();
    QVERIFY2(result.finished && result.exitCode == exitCode, result.describe());
    if (exitCode != 0) {
        QVERIFY2(result.err.contains(err), result.describe());
        return;
    }
    QFile expected(m_dir.filePath("expected.txt"));
    QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(2, 2), expected.fileName()));
    if (target == "-")
        QCOMPARE(result.outBytes, readFile(expected.fileName()));
    const QFileInfo info(path);
    if (target == "fifo")
        QCOMPARE(fromFifo, readFile(expected.fileName()));
    else if (target != "-")
        QVERIFY(!info.isFile()); // still the device it was
}

// A file system with no room left: the old --out file stays whole and the cause is named.
void tst_CliTransfer::fullDiskKeepsOldFile()
{
    const QString mountPoint = m_dir.filePath("small");
    QVERIFY(QDir().mkpath(mountPoint));
    if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("cannot mount a small file system here (needs root)");
    const QString out = mountPoint + "/PROG_2.txt";
    const QByteArray previous = QByteArray("an older program, kept whole");
    QVERIFY(writeFile(out, previous));
    QFile filler(mountPoint + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly));
    for (int chunk = 4096; chunk > 0; chunk /= 2) {
        while (filler.write(QByteArray(chunk, 'x')) == chunk && filler.flush())
            ;
    }
    filler.close();
    const CliProcess::Result result =
        CliProcess::run(QStringList{"read", "--program", "2", "--segments", "3", "--out", out},
                        60000, m_dir.path());
    const QByteArray after = readFile(out);
    ::umount(QFile::encodeName(mountPoint).constData());
    QVERIFY2(result.finished && result.exitCode == 3, result.describe());
    QVERIFY2(result.err.contains("No space left on device"), result.describe());
    QCOMPARE(after, previous);
}

// Two runs on two controllers at once, same program number: each gets its own controller's
// program, because each run keeps its files in a directory of its own.
void tst_CliTransfer::concurrentRunsNeverMix()
{
    SimulatorProcess first;
    SimulatorProcess second;
    QVERIFY(first.start({"--tcp", "0"}));
    QVERIFY(second.start({"--tcp", "0"}));
    const QList<QStringList> programs[2] = {ProgramFiles::demoRows(1, 3),
                                            ProgramFiles::demoRows(2, 3)};
    const QString ports[2] = {first.where(), second.where()};
    for (int i = 0; i < 2; ++i) {
        const QString source = m_dir.filePath(QStringLiteral("source%1.txt").arg(i));
        QVERIFY(ProgramFiles::save(programs[i], source));
        const CliProcess::Result written =
            CliProcess::run(words("write --program 5 --segments 3 --quiet --csv") +
                            QStringList{source, "--port", ports[i]});
        QVERIFY2(written.finished && written.exitCode == 0, written.describe());
    }
    for (int round = 0; round < 3; ++round) {
        Background runs[2];
        for (int i = 0; i < 2; ++i)
            runs[i].start(words(QStringLiteral("read --program 5 --segments 3 --quiet --out "
                                               "r%1-%2.txt --port ")
                                    .arg(round)
                                    .arg(i)) +
                              QStringList{ports[i]},
                          m_dir.path());
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(runs[i].wait(60000), 0);
            QCOMPARE(
                ProgramFiles::load(m_dir.filePath(QStringLiteral("r%1-%2.txt").arg(round).arg(i))),
                programs[i]);
        }
    }
}

void tst_CliTransfer::interrupted_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("twice");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("Ctrl+C") << int(SIGINT) << false << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << false << 143;
    QTest::newRow("Ctrl+C twice") << int(SIGINT) << true << 130;
}

// A read stopped half way: the tool closes the controller's file, so the next read works, and
// leaves --out alone. A second Ctrl+C does not wait for the close.
void tst_CliTransfer::interrupted()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, twice);
    QFETCH(int, exitCode);
    SimulatorProcess simulator;
    // With twice, the close is never answered, so only the second signal can end the wait.
    QVERIFY(simulator.start(twice ? QStringList{"--tcp", "0", "--fault", "close:no-reply"}
                                  : QStringList{"--tcp", "0"}));
    Background run;
    run.start(words("read --program 2 --segments 10 --quiet --timeout 8000 --out p.txt --port ") +
                  QStringList{simulator.where()},
              m_dir.path());
    QTest::qWait(1200);
    run.signal(signalNumber);
    if (twice) {
        QTest::qWait(500);
        run.signal(signalNumber);
    }
    QCOMPARE(run.wait(twice ? 3000 : 15000), exitCode);
    QVERIFY(!QFile::exists(m_dir.filePath("p.txt")));
    if (twice)
        return;
    const QString err = run.err();
    QVERIFY2(err.contains("the read was stopped and the controller's program file 2 closed"),
             qPrintable(err));
    const CliProcess::Result again =
        CliProcess::run(words("read --program 2 --segments 1 --quiet --out q.txt --port") +
                            QStringList{simulator.where()},
                        60000, m_dir.path());
    QVERIFY2(again.finished && again.exitCode == 0, again.describe());
}

// "dcp30 close" sends exactly one close frame for the program.
void tst_CliTransfer::closeCommand()
{
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--tcp", "0", "--verbose"}));
    const CliProcess::Result result =
        CliProcess::run(words("close --program 7 --port") + QStringList{simulator.where()});
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QVERIFY2(result.err.contains("sent the close command for program 7"), result.describe());
    QCOMPARE(simulator.stop(SIGTERM), 0);
    const QString trace = simulator.errorOutput();
    QCOMPARE(trace.count("-> <STX>"), 1);
    QVERIFY2(trace.contains("-> <STX>0100XFC,7<ETX><CR><LF>"), qPrintable(trace));
}

QTEST_GUILESS_MAIN(tst_CliTransfer)
#include "tst_cli_transfer.moc"
