// End-to-end runs of the dcp30 tool against its built-in simulated controller: arguments and
// exit codes, the files a read and a write leave, and the error logs they report.

#include "CliProcess.h"
#include "ProgramFiles.h"
#include "ProgramFormat.h"

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString NoSegmentData =
    QStringLiteral("Program number or segment number is in error. No program in the segment.");

QString logName(const QString &kind, int program)
{
    return QStringLiteral("%1_PROG_%2_ERROR.txt").arg(kind).arg(program);
}

} // namespace

class tst_CliTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void help_data();
    void help();
    void badArguments_data();
    void badArguments();
    void cannotOpen_data();
    void cannotOpen();
    void pluginFilesMissing_data();
    void pluginFilesMissing();

    void readLeavesProgramFile();
    void readOfEmptyProgramReportsLog();
    void earlierErrorLogIsNotReported();
    void readFaults_data();
    void readFaults();

    void writeOfValidFile();
    void writeOfInvalidRowsReportsLog();
    void writeFaultReportsLog();
    void writeWithoutProgramFileReportsMessage();

    void tags_data();
    void tags();

private:
    QTemporaryDir m_dir;
};

void tst_CliTransfer::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(CliProcess::binary()), qPrintable(CliProcess::binary()));
}

void tst_CliTransfer::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("usage");
    QTest::newRow("tool") << QStringList{"--help"} << "Usage: dcp30 read ";
    QTest::newRow("read") << QStringList{"read", "--help"} << "Usage: dcp30 read --program N";
    QTest::newRow("write") << QStringList{"write", "-h"} << "Usage: dcp30 write --program N";
    QTest::newRow("validate") << QStringList{"validate", "--help"} << "Usage: dcp30 validate FILE";
    QTest::newRow("tag") << QStringList{"tag", "--help"} << "Usage: dcp30 tag get ADDRESS";
    QTest::newRow("simulate") << QStringList{"simulate", "--help"}
                              << "Usage: dcp30 simulate (--pty | --tcp PORTNUMBER)";
}

void tst_CliTransfer::help()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, usage);
    const CliProcess::Result result = CliProcess::run(arguments);
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QVERIFY2(result.out.startsWith(usage), result.describe());
    QVERIFY(result.err.isEmpty());
}

void tst_CliTransfer::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no command") << QStringList{} << "dcp30: name a command";
    QTest::newRow("unknown command") << QStringList{"erase"} << "unknown command \"erase\"";
    QTest::newRow("program missing")
        << QStringList{"read", "--segments", "2"} << "--program is required";
    QTest::newRow("program 0") << QStringList{"read", "--program", "0", "--segments", "2"}
                               << "--program must be a whole number from 1 to 19, not \"0\"";
    QTest::newRow("segments 31") << QStringList{"read", "--program", "1", "--segments", "31"}
                                 << "--segments must be a whole number from 1 to 30";
    QTest::newRow("unknown option")
        << QStringList{"read", "--program", "1", "--segments", "1", "--speed", "3"}
        << "Unknown option 'speed'";
    QTest::newRow("tcp without number")
        << QStringList{"read", "--program", "1", "--segments", "1", "--port", "tcp:localhost"}
        << "must have the form tcp:HOST:PORTNUMBER";
    QTest::newRow("fault on a real line")
        << QStringList{"read",   "--program",  "1",       "--segments",        "1",
                       "--port", "/dev/ttyS0", "--fault", "open-read:no-reply"}
        << "--fault applies to the built-in simulated controller";
    QTest::newRow("fault syntax")
        << QStringList{"read", "--program", "1", "--segments", "1", "--fault", "open-read:explode"}
        << "--fault: ";
    QTest::newRow("parity") << QStringList{"read", "--program", "1",   "--segments",
                                           "1",    "--parity",  "MARK"}
                            << "--parity must be NONE, EVEN or ODD";
    QTest::newRow("baud") << QStringList{"read", "--program", "1",    "--segments",
                                         "1",    "--baud",    "12345"}
                          << "--baud 12345 is not a baud rate";
    QTest::newRow("validate without file")
        << QStringList{"validate"} << "name the program CSV file to check";
    QTest::newRow("validate sp-limits") << QStringList{"validate", "f.txt", "--sp-limits", "5"}
                                        << "--sp-limits needs 2 whole numbers";
    QTest::newRow("tag action") << QStringList{"tag", "peek", "RAM1"} << "unknown action \"peek\"";
    QTest::newRow("tag set RF0") << QStringList{"tag", "set", "RF0", "1"}
                                 << "raising RF0 starts a program read";
    QTest::newRow("simulate both") << QStringList{"simulate", "--pty", "--tcp", "0"}
                                   << "give either --pty or --tcp PORTNUMBER";
}

void tst_CliTransfer::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    const CliProcess::Result result = CliProcess::run(arguments);
    QVERIFY2(result.finished && result.exitCode == 2, result.describe());
    const QStringList lines = result.err.split(QLatin1Char('\n'));
    QVERIFY2(lines.first().contains(reason), result.describe());
    QVERIFY2(lines.value(1).startsWith(QLatin1String("Usage: dcp30 ")), result.describe());
    QVERIFY(result.out.isEmpty());
}

void tst_CliTransfer::cannotOpen_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");

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

    QTest::newRow("no such device")
        << QStringList{"read", "--program", "1", "--segments", "1", "--port", "/dev/nonexistent0"}
        << "cannot open /dev/nonexistent0";
    QTest::newRow("not a serial device")
        << QStringList{"read", "--program", "1", "--segments", "1", "--port", plainFile}
        << "is not a serial device";
    QTest::newRow("tcp refused") << QStringList{"read",
                                                "--program",
                                                "1",
                                                "--segments",
                                                "1",
                                                "--port",
                                                QStringLiteral("tcp:127.0.0.1:%1").arg(closedPort)}
                                 << "cannot connect to 127.0.0.1";
    QTest::newRow("csv to install missing") << QStringList{"write",
                                                           "--program",
                                                           "1",
                                                           "--segments",
                                                           "1",
                                                           "--csv",
                                                           m_dir.filePath("missing.txt")}
                                            << "cannot open " + m_dir.filePath("missing.txt");
    QTest::newRow("out directory missing") << QStringList{"read",
                                                          "--program",
                                                          "1",
                                                          "--segments",
                                                          "1",
                                                          "--out",
                                                          m_dir.filePath("nodir/p.txt")}
                                           << "does not exist";
    QTest::newRow("validate missing file")
        << QStringList{"validate",      m_dir.filePath("missing.txt"),
                       "--sp-limits",   "0,10",
                       "--event-types", "0,0,0"}
        << "cannot open " + m_dir.filePath("missing.txt");
    QTest::newRow("tag on missing device")
        << QStringList{"tag", "get", "RAM4509", "--port", "/dev/nonexistent0"}
        << "cannot open /dev/nonexistent0";
}

void tst_CliTransfer::cannotOpen()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    const CliProcess::Result result = CliProcess::run(arguments);
    QVERIFY2(result.finished && result.exitCode == 3, result.describe());
    QVERIFY2(result.err.startsWith(QLatin1String("dcp30: ")), result.describe());
    QVERIFY2(result.err.contains(reason), result.describe());
}

void tst_CliTransfer::pluginFilesMissing_data()
{
    QTest::addColumn<bool>("withPlugin");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");
    QTest::newRow("no plugin") << false << QStringList{"read", "--program", "2", "--segments", "1"}
                               << 3 << "dcp30: the plugin cannot be loaded: ";
    // A write needs the range parameters, which only the link driver can read.
    QTest::newRow("no link driver for a write")
        << true << QStringList{"write", "--program", "2", "--segments", "1"} << 3
        << "dcp30: the link driver cannot be loaded: ";
    QTest::newRow("a read does without it")
        << true << QStringList{"read", "--program", "2", "--segments", "1", "--quiet"} << 0 << "";
}

void tst_CliTransfer::pluginFilesMissing()
{
    QFETCH(bool, withPlugin);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    // The tool looks for the plugin and the link driver next to itself.
    QTemporaryDir dir;
    const QString tool = dir.filePath(QStringLiteral("dcp30"));
    QVERIFY(QFile::copy(CliProcess::binary(), tool));
    if (withPlugin)
        QVERIFY(QFile::copy(CliProcess::appDir() + "/libdcp30.so", dir.filePath("libdcp30.so")));
    const CliProcess::Result result = CliProcess::run(arguments, 60000, dir.path(), tool);
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
    ProgramFiles::removeAppFile(QStringLiteral("PROG_3.txt"));
    ProgramFiles::removeAppFile(logName("READ", 3));
    // A relative --out is relative to the caller's working directory.
    const CliProcess::Result result = CliProcess::run(
        {"read", "--program", "3", "--segments", "3", "--out", "copy.txt"}, 60000, m_dir.path());
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QCOMPARE(result.labelled("program file"),
             QStringList{ProgramFiles::appFile(QStringLiteral("PROG_3.txt"))});
    QCOMPARE(result.labelled("copied to"), QStringList{m_dir.filePath("copy.txt")});
    QVERIFY2(result.labelled("error log").isEmpty(), result.describe());

    const QList<QStringList> expected = ProgramFiles::demoRows(3, 3);
    QCOMPARE(ProgramFiles::load(ProgramFiles::appFile(QStringLiteral("PROG_3.txt"))), expected);
    QCOMPARE(ProgramFiles::load(m_dir.filePath("copy.txt")), expected);
    QVERIFY(!QFile::exists(ProgramFiles::appFile(logName("READ", 3))));
}

void tst_CliTransfer::readOfEmptyProgramReportsLog()
{
    ProgramFiles::removeAppFile(logName("READ", 6));
    const CliProcess::Result result =
        CliProcess::run({"read", "--program", "6", "--segments", "2", "--quiet"});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    const QString log = ProgramFiles::appFile(logName("READ", 6));
    QCOMPARE(result.labelled("error log"), QStringList{log});
    const QStringList lines{"Program 1:", "Seg1:" + NoSegmentData, "Seg2:" + NoSegmentData};
    QCOMPARE(ProgramFiles::logLines(log), lines);
    // The content is on stderr as well, below a line naming the log.
    QVERIFY2(result.err.contains(lines.join(QLatin1Char('\n'))), result.describe());
    // The controller answered, so a program file with the header row only was saved.
    const QString programFile = ProgramFiles::appFile(QStringLiteral("PROG_6.txt"));
    QCOMPARE(result.labelled("program file"), QStringList{programFile});
    QCOMPARE(ProgramFiles::text(programFile),
             ProgramFormat::headerRow().join(QLatin1Char('\t')) + QStringLiteral("\r\n"));
}

void tst_CliTransfer::earlierErrorLogIsNotReported()
{
    const QString log = ProgramFiles::appFile(logName("READ", 2));
    QFile old(log);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("Program 1:\r\nFrom an earlier run.");
    old.close();

    const CliProcess::Result result =
        CliProcess::run({"read", "--program", "2", "--segments", "1"});
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QVERIFY2(result.labelled("error log").isEmpty(), result.describe());
    QVERIFY2(!result.err.contains(QLatin1String("earlier run")), result.describe());
    // The user's old log is still there, untouched.
    QCOMPARE(ProgramFiles::logLines(log), QStringList({"Program 1:", "From an earlier run."}));
}

void tst_CliTransfer::readFaults_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("savedRows");

    const QString openFail = QStringLiteral("Opening the Program 1 file fail. Error Code 1.");
    QTest::newRow("open never answered")
        << QStringList{"--fault", "open-read:no-reply", "--retries", "1"}
        << QStringList{"Program 1:", openFail, openFail, "Read File retry time is over 1 times."}
        << -1;
    QTest::newRow("open never answered, no retries")
        << QStringList{"--fault", "open-read:no-reply", "--retries", "0"}
        << QStringList{"Program 1:", openFail} << -1;
    QTest::newRow("one garbled block, repeated")
        << QStringList{"--fault", "block-read:nth=2:garbled"}
        << QStringList{"Program 1:", "Reading the Program 1 file fail. Error Code 1."} << 3;
    QTest::newRow("one short block, repeated")
        << QStringList{"--fault", "block-read:nth=1:short"}
        << QStringList{"Program 1:", "Reading the Program 1 file fail. Error Code 2."} << 3;
    QTest::newRow("controller refuses the open")
        << QStringList{"--fault", "open-read:end-code=50"}
        << QStringList{"Program 1:", "File is already open."} << -1;
}

void tst_CliTransfer::readFaults()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, log);
    QFETCH(int, savedRows);
    ProgramFiles::removeAppFile(QStringLiteral("PROG_1.txt"));
    ProgramFiles::removeAppFile(logName("READ", 1));

    const CliProcess::Result result =
        CliProcess::run(QStringList{"read", "--program", "1", "--segments", "2"} + options);
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    const QString logFile = ProgramFiles::appFile(logName("READ", 1));
    QCOMPARE(result.labelled("error log"), QStringList{logFile});
    QCOMPARE(ProgramFiles::logLines(logFile), log);
    const QString programFile = ProgramFiles::appFile(QStringLiteral("PROG_1.txt"));
    if (savedRows < 0) {
        QVERIFY(!QFile::exists(programFile));
        QVERIFY(result.labelled("program file").isEmpty());
    } else {
        QCOMPARE(ProgramFiles::load(programFile), ProgramFiles::demoRows(1, savedRows - 1));
    }
}

void tst_CliTransfer::writeOfValidFile()
{
    ProgramFiles::removeAppFile(logName("WRITE", 4));
    const QString source = m_dir.filePath("anneal.txt");
    QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(1, 3), source));
    const CliProcess::Result result =
        CliProcess::run({"write", "--program", "4", "--segments", "3", "--csv", source});
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QVERIFY2(result.labelled("error log").isEmpty(), result.describe());
    QVERIFY(!QFile::exists(ProgramFiles::appFile(logName("WRITE", 4))));
    // --csv installed the file as the program file the plugin loaded.
    QCOMPARE(ProgramFiles::load(ProgramFiles::appFile(QStringLiteral("PROG_4.txt"))),
             ProgramFiles::demoRows(1, 3));
}

void tst_CliTransfer::writeOfInvalidRowsReportsLog()
{
    ProgramFiles::removeAppFile(logName("WRITE", 4));
    QList<QStringList> rows = ProgramFiles::demoRows(2, 3);
    rows[2][1] = QStringLiteral("5000"); // SP1 of segment 2 beyond the controller's 1300
    const QString source = m_dir.filePath("bad.txt");
    QVERIFY(ProgramFiles::save(rows, source));

    const CliProcess::Result result =
        CliProcess::run({"write", "--program", "4", "--segments", "3", "--csv", source});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    const QString log = ProgramFiles::appFile(logName("WRITE", 4));
    QCOMPARE(result.labelled("error log"), QStringList{log});
    QCOMPARE(ProgramFiles::logLines(log),
             QStringList({"Program 1:", "", "\tSegment 2 has following format error : ",
                          "\t\tSP1 [5000] is out of range (-200 ~ 1300)."}));
}

void tst_CliTransfer::writeFaultReportsLog()
{
    ProgramFiles::removeAppFile(logName("WRITE", 4));
    const QString source = m_dir.filePath("anneal.txt");
    QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(1, 2), source));
    const CliProcess::Result result =
        CliProcess::run({"write", "--program", "4", "--segments", "2", "--csv", source, "--fault",
                         "block-write:nth=1:count=2:no-reply", "--retries", "1"});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    const QString fail = QStringLiteral("Write File Fail. Error Code 21.");
    // The repeated attempt finds the controller file still open (the failed attempt does not
    // close it); that refusal counts as an answer, so the repeat ends the transfer quietly.
    QCOMPARE(ProgramFiles::logLines(ProgramFiles::appFile(logName("WRITE", 4))),
             QStringList({"Program 1:", fail, fail, "",
                          "The retry time of writing the Program 4 file is over 1 times."}));
}

void tst_CliTransfer::writeWithoutProgramFileReportsMessage()
{
    ProgramFiles::removeAppFile(QStringLiteral("PROG_9.txt"));
    ProgramFiles::removeAppFile(logName("WRITE", 9));
    const CliProcess::Result result =
        CliProcess::run({"write", "--program", "9", "--segments", "1"});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QVERIFY2(result.err.contains(
                 QLatin1String("DCP30: File cannot be opened.\nPlease select the right file.")),
             result.describe());
    QVERIFY(result.labelled("error log").isEmpty());
    QVERIFY(!QFile::exists(ProgramFiles::appFile(logName("WRITE", 9))));
}

void tst_CliTransfer::tags_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("range parameters")
        << QStringList{"tag", "get", "RAM4509", "--count", "2"} << 0 << "-200 1300\n"
        << "";
    QTest::newRow("16-bit event type")
        << QStringList{"tag", "get", "RAM3505", "--type", "2"} << 0 << "50\n"
        << "";
    QTest::newRow("own tag") << QStringList{"tag", "get", "SegCnt0"} << 0 << "1\n"
                             << "";
    QTest::newRow("own tag clamped") << QStringList{"tag", "set", "ProgramID0", "40"} << 0 << "19\n"
                                     << "";
    QTest::newRow("word written") << QStringList{"tag",  "set",     "RAM100",
                                                 "7,-8", "--fault", "data-read:nth=5:no-reply"}
                                  << 0 << ""
                                  << "";
    QTest::newRow("value refused by the controller")
        << QStringList{"tag", "set", "RAM100", "70000"} << 1 << ""
        << "dcp30: RAM100 holds 0, not 70000: the value was not taken\n";
    QTest::newRow("address not served") << QStringList{"tag", "get", "RAM70000"} << 1 << ""
                                        << "dcp30: no value for RAM70000";
    QTest::newRow("controller silent")
        << QStringList{"tag", "get", "RAM4509", "--fault", "data-read:no-reply"} << 1 << ""
        << "dcp30: no value for RAM4509";
}

void tst_CliTransfer::tags()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const CliProcess::Result result = CliProcess::run(arguments);
    QVERIFY2(result.finished && result.exitCode == exitCode, result.describe());
    QCOMPARE(result.out, out);
    if (err.isEmpty())
        QVERIFY2(result.err.isEmpty(), result.describe());
    else
        QVERIFY2(result.err.startsWith(err), result.describe());
}

QTEST_GUILESS_MAIN(tst_CliTransfer)
#include "tst_cli_transfer.moc"
