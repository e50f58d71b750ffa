// End-to-end runs of the dcp30 tool against its built-in simulated controller: arguments and
// exit codes, the files a read and a write leave, and the error logs they report. The content of
// the logs is the plugin's; here it shows that the options reached the plugin.

#include "CliSupport.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using CliProcess::words;

namespace {

QString programFile(int program)
{
    return ProgramFiles::appFile(QStringLiteral("PROG_%1.txt").arg(program));
}

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
    void readLeavesProgramFile();
    void readFailures_data();
    void readFailures();
    void writeFaultReportsLog();
    void writeWithoutProgramFileReportsMessage();

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
    row("value refused by the controller", words("tag set RAM100 70000"), 1, "",
        "dcp30: RAM100 holds 0, not 70000: the value was not taken\n");
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
    row("no link driver for a write", true, "write --program 2 --segments 1", 3,
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
    const CliProcess::Result result = CliProcess::run(words(arguments), 60000, dir.path(), tool);
    QVERIFY2(result.finished && result.exitCode == exitCode, result.describe());
    if (err.isEmpty()) {
        QVERIFY2(result.err.isEmpty(), result.describe());
        QCOMPARE(ProgramFiles::load(dir.filePath("PROG_2.txt")), ProgramFiles::demoRows(2, 1));
    } else {
        QVERIFY2(result.err.startsWith(err), result.describe());
    }
}

void tst_CliTransfer::readLeavesProgramFile()
{
    QFile::remove(programFile(3));
    // An error log of an earlier run is neither reported nor touched by a clean read.
    const QString log = ProgramFiles::errorLog("READ", 3);
    QFile old(log);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("Program 1:\r\nFrom an earlier run.");
    old.close();

    // A relative --out is relative to the caller's working directory.
    const CliProcess::Result result =
        CliProcess::run(words("read --program 3 --segments 3 --out copy.txt"), 60000, m_dir.path());
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QCOMPARE(result.labelled("program file"), QStringList{programFile(3)});
    QCOMPARE(result.labelled("copied to"), QStringList{m_dir.filePath("copy.txt")});
    QVERIFY2(result.labelled("error log").isEmpty(), result.describe());
    QVERIFY2(!result.err.contains(QLatin1String("earlier run")), result.describe());
    QCOMPARE(ProgramFiles::logLines(log), QStringList({"Program 1:", "From an earlier run."}));

    const QList<QStringList> expected = ProgramFiles::demoRows(3, 3);
    QCOMPARE(ProgramFiles::load(programFile(3)), expected);
    QCOMPARE(ProgramFiles::load(m_dir.filePath("copy.txt")), expected);
}

void tst_CliTransfer::readFailures_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("savedSegments"); // -1: no program file saved
    const QString noData =
        QStringLiteral("Program number or segment number is in error. No program in the segment.");
    // The controller answered, so a program file (the header row only) is saved.
    QTest::newRow("empty program")
        << 6 << "--quiet" << QStringList{"Program 1:", "Seg1:" + noData, "Seg2:" + noData} << 0;
    // --retries 0 instead of the default: a single failed open, nothing saved.
    QTest::newRow("open never answered, no retries")
        << 1 << "--fault open-read:no-reply --retries 0"
        << QStringList{"Program 1:", "Opening the Program 1 file fail. Error Code 1."} << -1;
    // The repeated block succeeds, so the program is saved although the read reports an error.
    QTest::newRow("one garbled block, repeated")
        << 1 << "--fault block-read:nth=2:garbled"
        << QStringList{"Program 1:", "Reading the Program 1 file fail. Error Code 1."} << 2;
}

void tst_CliTransfer::readFailures()
{
    QFETCH(int, program);
    QFETCH(QString, options);
    QFETCH(QStringList, log);
    QFETCH(int, savedSegments);
    const QString logFile = ProgramFiles::errorLog("READ", program);
    QFile::remove(programFile(program));
    QFile::remove(logFile);

    const CliProcess::Result result = CliProcess::run(
        words(QStringLiteral("read --program %1 --segments 2 ").arg(program) + options));
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QCOMPARE(result.labelled("error log"), QStringList{logFile});
    QCOMPARE(ProgramFiles::logLines(logFile), log);
    // The content is on stderr as well, below a line naming the log.
    QVERIFY2(result.err.contains(log.join(QLatin1Char('\n'))), result.describe());
    if (savedSegments < 0) {
        QVERIFY(!QFile::exists(programFile(program)));
        QVERIFY(result.labelled("program file").isEmpty());
    } else {
        QCOMPARE(result.labelled("program file"), QStringList{programFile(program)});
        if (savedSegments > 0)
            QCOMPARE(ProgramFiles::load(programFile(program)),
                     ProgramFiles::demoRows(program, savedSegments));
    }
}

void tst_CliTransfer::writeFaultReportsLog()
{
    const QString log = ProgramFiles::errorLog("WRITE", 4);
    QFile::remove(log);
    const QString source = m_dir.filePath("anneal.txt");
    QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(1, 2), source));
    const CliProcess::Result result = CliProcess::run(
        words("write --program 4 --segments 2 --fault block-write:nth=1:count=2:no-reply "
              "--retries 1 --csv") +
        QStringList{source});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QCOMPARE(result.labelled("error log"), QStringList{log});
    const QString fail = QStringLiteral("Write File Fail. Error Code 21.");
    // The repeated attempt finds the controller file still open (the failed attempt does not
    // close it); that refusal counts as an answer, so the repeat ends the transfer quietly.
    QCOMPARE(ProgramFiles::logLines(log),
             QStringList({"Program 1:", fail, fail, "",
                          "The retry time of writing the Program 4 file is over 1 times."}));
}

void tst_CliTransfer::writeWithoutProgramFileReportsMessage()
{
    QFile::remove(programFile(9));
    QFile::remove(ProgramFiles::errorLog("WRITE", 9));
    const CliProcess::Result result = CliProcess::run(words("write --program 9 --segments 1"));
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QVERIFY2(result.err.contains(
                 QLatin1String("DCP30: File cannot be opened.\nPlease select the right file.")),
             result.describe());
    QVERIFY(result.labelled("error log").isEmpty());
    QVERIFY(!QFile::exists(ProgramFiles::errorLog("WRITE", 9)));
}

QTEST_GUILESS_MAIN(tst_CliTransfer)
#include "tst_cli_transfer.moc"
