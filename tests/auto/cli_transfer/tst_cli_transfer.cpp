// End-to-end runs of the dcp30 tool's line commands (read, write, close, tag) against its
// built-in simulated controller and against "dcp30 simulate" on a pseudo-terminal or a TCP port:
// arguments and exit codes, the files a transfer leaves, the error logs it reports, --verify, and
// the line faults the port objects must survive. The content of the logs is the plugin's; here
// it shows that the options reached the plugin.

#include "CliSupport.h"

#include <QTcpServer>
#include <QtTest>

#include <sys/mount.h>

using CliProcess::words;

namespace {

// Demo program 1 ("ANNEAL01"), segment 1's SP1 is 150 (0096): flipping the lowest bit of the
// reply's last SP1 digit (character 19 of a block-read reply) makes it 151.
const QString damagedSp1 = QStringLiteral("block-read:nth=1:garbled=19");

} // namespace

class tst_CliTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFile::exists(CliProcess::binary()), qPrintable(CliProcess::binary()));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // stdout starts with it; empty: nothing on stdout
        QTest::addColumn<QString>("err"); // in stderr's first line; empty: nothing on stderr
        auto row = [](const char *name, const QStringList &arguments, int exitCode,
                      const QString &out, const QString &err) {
            QTest::newRow(name) << arguments << exitCode << out << err;
        };
        // Each command's own required words must not stand in the way of its help.
        row("--help", {"--help"}, 0, "Usage: dcp30 read ", "");
        row("write -h", {"write", "-h"}, 0, "Usage: dcp30 write --program N", "");

        auto bad = [&](const char *name, const QString &arguments, const char *reason) {
            row(name, words(arguments), 2, "", reason);
        };
        const QString read = QStringLiteral("read --program 1 --segments 1 ");
        bad("no command", "", "dcp30: name a command");
        bad("unknown command", "erase", "unknown command \"erase\"");
        bad("program missing", "read --segments 2", "--program is required");
        bad("program 0", "read --program 0 --segments 2",
            "--program must be a whole number from 1 to 19, not \"0\"");
        bad("unknown option", read + "--speed 3", "Unknown option 'speed'");
        bad("tcp without number", read + "--port tcp:localhost",
            "must have the form tcp:HOST:PORTNUMBER");
        bad("fault on a real line", read + "--port /dev/ttyS0 --fault open-read:no-reply",
            "--fault applies to the built-in simulated controller");
        bad("parity", read + "--parity MARK", "--parity must be NONE, EVEN or ODD");
        bad("baud", read + "--baud 12345", "--baud 12345 is not a baud rate");
        bad("diff program 20", "diff a.txt controller:20", "controller programs are 1 to 19");
        bad("tag set RF0", "tag set RF0 1", "raising RF0 starts a program read");
        bad("tag in lower case", "tag get rf0",
            "\"rf0\" is not a tag: did you mean \"RF0\"? (tag addresses are case-sensitive)");
        bad("tag beyond the memory", "tag set RAM65536 1", "unknown tag address \"RAM65536\": ");
        bad("tag beyond a 32-bit element", "tag set RAM4509 4294967295",
            "4294967295 does not fit data type 3 (-2147483648 to 2147483647)");
        bad("tag beyond a controller word", "tag set RAM4509 -1,-32769",
            "-32769 does not fit a controller word (-32768 to 32767)");

        const QString plainFile = m_dir.filePath(QStringLiteral("plain.txt"));
        QVERIFY(TestFiles::write(plainFile, QByteArray()));
        // A port nobody listens on: taken from the system, then given back.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        const quint16 closedPort = server.serverPort();
        server.close();
        const QString missing = m_dir.filePath("missing.txt");
        const QStringList readArgs = words(read);
        row("no such device", readArgs + words("--port /dev/nonexistent0"), 3, "",
            "dcp30: cannot open /dev/nonexistent0");
        row("not a serial device", readArgs + QStringList{"--port", plainFile}, 3, "",
            plainFile + " is not a serial device");
        row("tcp refused",
            readArgs + QStringList{"--port", QStringLiteral("tcp:127.0.0.1:%1").arg(closedPort)}, 3,
            "", "cannot connect to 127.0.0.1");
        row("csv to install missing",
            words("write --program 1 --segments 1 --csv") + QStringList{missing}, 3, "",
            "cannot open " + missing);

        row("own tag clamped", words("tag set ProgramID0 40"), 0, "19\n", "");
        row("word written", words("tag set RAM100 7,-8 --fault data-read:nth=5:no-reply"), 0, "",
            "");
        row("value refused by the controller",
            words("tag set RAM100 5 --fault data-write:end-code=44"), 1, "",
            "dcp30: RAM100 holds 0, not 5: the value was not taken\n");
        row("controller silent", words("tag get RAM4509 --fault data-read:no-reply"), 1, "",
            "dcp30: no value for RAM4509");
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        RUN_EXPECTING(result, exitCode, CliProcess::run(arguments));
        QVERIFY2(out.isEmpty() ? result.out.isEmpty() : result.out.startsWith(out),
                 result.describe());
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

    void pluginFilesMissing_data()
    {
        QTest::addColumn<bool>("withPlugin");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::newRow("no plugin") << false << "read --program 2 --segments 1" << 3
                                   << "dcp30: the plugin cannot be loaded: ";
        // A write needs the range parameters, which only the link driver can read.
        QTest::newRow("no link driver for a write")
            << true << "write --program 2 --segments 1 --csv src.txt" << 3
            << "dcp30: the link driver cannot be loaded: ";
        QTest::newRow("a read does without it")
            << true << "read --program 2 --segments 1 --quiet" << 0 << "";
    }

    void pluginFilesMissing()
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
            QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/libdcp30.so",
                                dir.filePath("libdcp30.so")));
        QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(1, 1), dir.filePath("src.txt")));
        RUN_EXPECTING(result, exitCode, CliProcess::run(words(arguments), 60000, dir.path(), tool));
        QVERIFY2(err.isEmpty() ? result.err.isEmpty() : result.err.startsWith(err),
                 result.describe());
        if (err.isEmpty())
            QCOMPARE(ProgramFiles::load(dir.filePath("PROG_2.txt")), ProgramFiles::demoRows(2, 1));
    }

    void readDeliversProgramFile()
    {
        // An error log of an earlier run is neither reported nor touched by a clean read.
        const QString oldLog = m_dir.filePath("READ_PROG_3_ERROR.txt");
        QVERIFY(TestFiles::write(oldLog, "Program 1:\r\nFrom an earlier run."));
        QFile::remove(TestFiles::appFile("PROG_3.txt"));

        // A relative --out is relative to the caller's working directory.
        RUN_EXPECTING(result, 0, here("read --program 3 --segments 3 --out copy.txt"));
        QCOMPARE(result.labelled("program file"), QStringList{m_dir.filePath("copy.txt")});
        QVERIFY2(result.labelled("error log").isEmpty(), result.describe());
        QVERIFY2(result.err.contains("via the built-in simulated controller (sim) done"),
                 result.describe());
        QCOMPARE(ProgramFiles::logLines(oldLog),
                 QStringList({"Program 1:", "From an earlier run."}));
        QCOMPARE(ProgramFiles::load(m_dir.filePath("copy.txt")), ProgramFiles::demoRows(3, 3));
        // Nothing is staged where other runs would find it.
        QVERIFY(!QFile::exists(TestFiles::appFile("PROG_3.txt")));
        // The saver's remembered directory is kept under the tool's own names.
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QVERIFY(QFile::exists(config + "/dcp30/dcp30.conf"));
    }

    void readFailures_data()
    {
        // simulate: "dcp30 simulate" arguments; empty: the built-in one
        QTest::addColumn<QString>("simulate");
        QTest::addColumn<int>("program");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("handedOver"); // segments in --out; -1: --out left as it was
        const QString noData = QStringLiteral(
            "Program number or segment number is in error. No program in the segment.");
        const QString readFail = QStringLiteral("Reading the Program 1 file fail. Error Code 1.");
        QTest::newRow("empty program, partial kept")
            << "" << 6 << "--quiet --keep-partial"
            << QStringList{"Program 1:", "Seg1:" + noData, "Seg2:" + noData} << 0;
        // The repeated block succeeds: the program is right, but the read reports an error.
        QTest::newRow("one garbled block, repeated, kept")
            << "" << 1 << "--fault block-read:nth=2:garbled --keep-partial"
            << QStringList{"Program 1:", readFail} << 2;
        // The read timeout and the retries given on the command line govern a real line.
        const QString openFail = QStringLiteral("Opening the Program 2 file fail. Error Code 1.");
        QTest::newRow("silent controller on a pty")
            << "--pty --fault any:no-reply" << 2 << "--retries 1 --timeout 100"
            << QStringList{"Program 1:", openFail, openFail,
                           "Read File retry time is over 1 times."}
            << -1;
        // The first block reply arrives after the read gave up; the late one is queued behind the
        // repeat's reply. Only option 12 before the next command keeps that stale reply from being
        // taken as segment 2 (which the plugin would reject and log).
        QTest::newRow("late reply discarded")
            << "--tcp 0 --fault block-read:nth=1:late:delay=700" << 1
            << "--timeout 200 --keep-partial" << QStringList{"Program 1:", readFail} << 2;
    }

    void readFailures()
    {
        QFETCH(QString, simulate);
        QFETCH(int, program);
        QFETCH(QString, options);
        QFETCH(QStringList, log);
        QFETCH(int, handedOver);
        ToolProcess simulator;
        if (!simulate.isEmpty()) {
            QVERIFY(simulator.start(words(simulate)));
            options += " --port " + simulator.where();
        }
        const QString out = m_dir.filePath("out.txt");
        QVERIFY(TestFiles::write(out, "previous"));
        const QString read = QStringLiteral("read --out out.txt --program %1 --segments 2 ");
        RUN_EXPECTING(result, 1, here(read.arg(program) + options));
        const QString logFile = m_dir.filePath(QString("READ_PROG_%1_ERROR.txt").arg(program));
        QCOMPARE(result.labelled("error log"), QStringList{logFile});
        QCOMPARE(ProgramFiles::logLines(logFile), log);
        // The content is on stderr as well, and the controller's file was closed after the failure.
        QVERIFY2(result.err.contains(log.join(QLatin1Char('\n'))), result.describe());
        QVERIFY2(result.err.contains(
                     QStringLiteral("sent the close command for program %1").arg(program)),
                 result.describe());
        if (handedOver < 0) {
            QCOMPARE(TestFiles::read(out), QByteArray("previous"));
            QVERIFY2(result.labelled("program file").isEmpty() &&
                         result.err.contains("out.txt was left as it was"),
                     result.describe());
        } else {
            QCOMPARE(result.labelled("program file"), QStringList{out});
            // A program without segments is the header row alone.
            const QString expected = m_dir.filePath("expected.txt");
            QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(program, handedOver), expected));
            QCOMPARE(TestFiles::read(out), TestFiles::read(expected));
        }
    }

    void writeFaultReportsLog()
    {
        const QString source = m_dir.filePath("anneal.txt");
        QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(1, 2), source));
        const QByteArray before = TestFiles::read(source);
        RUN_EXPECTING(
            result, 1,
            here("write --program 4 --segments 2 --fault block-write:nth=1:count=2:no-reply "
                 "--retries 1 --csv anneal.txt"));
        const QString log = m_dir.filePath("WRITE_PROG_4_ERROR.txt");
        QCOMPARE(result.labelled("error log"), QStringList{log});
        const QString fail = QStringLiteral("Write File Fail. Error Code 21.");
        // The repeated attempt finds the controller file still open (the failed attempt does not
        // close it); that refusal counts as an answer, so the repeat ends the transfer quietly.
        QCOMPARE(ProgramFiles::logLines(log),
                 QStringList({"Program 1:", fail, fail, "",
                              "The retry time of writing the Program 4 file is over 1 times."}));
        QCOMPARE(TestFiles::read(source), before);

        // A refusal the user can clear gets the command that clears it.
        RUN_EXPECTING(
            refused, 1,
            here("read --program 2 --segments 1 --retries 0 --fault open-read:end-code=50"));
        QVERIFY2(refused.err.contains("File is already open."), refused.describe());
        QVERIFY2(refused.err.contains("\"dcp30 close --program 2\""), refused.describe());
    }

    void outputTargets_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("standard output") << "-" << 0;
        QTest::newRow("full device") << "/dev/full" << 3;
    }

    void outputTargets()
    {
        QFETCH(QString, target);
        QFETCH(int, exitCode);
        RUN_EXPECTING(result, exitCode, here("read --program 2 --segments 2 --out", {target}));
        if (exitCode != 0) {
            QVERIFY2(result.err.contains("No space left on device"), result.describe());
            return;
        }
        const QString expected = m_dir.filePath("expected.txt");
        QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(2, 2), expected));
        QCOMPARE(result.outBytes, TestFiles::read(expected));
    }

    // A file system with no room left: the old --out file stays whole and the cause is named.
    void fullDiskKeepsOldFile()
    {
        const QString mountPoint = m_dir.filePath("small");
        QVERIFY(QDir().mkpath(mountPoint));
        if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") !=
            0)
            QSKIP("cannot mount a small file system here (needs root)");
        const QString out = mountPoint + "/PROG_2.txt";
        const QByteArray previous = QByteArray("an older program, kept whole");
        QVERIFY(TestFiles::write(out, previous));
        QFile filler(mountPoint + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly));
        for (int chunk = 4096; chunk > 0; chunk /= 2) {
            while (filler.write(QByteArray(chunk, 'x')) == chunk && filler.flush())
                ;
        }
        filler.close();
        const CliProcess::Result result = here("read --program 2 --segments 3 --out", {out});
        const QByteArray after = TestFiles::read(out);
        ::umount(QFile::encodeName(mountPoint).constData());
        VERIFY_EXIT(result, 3);
        QVERIFY2(result.err.contains("No space left on device"), result.describe());
        QCOMPARE(after, previous);
    }

    void interrupted_data()
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
    void interrupted()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, twice);
        QFETCH(int, exitCode);
        ToolProcess simulator;
        // With twice, the close is never answered, so only the second signal can end the wait.
        QVERIFY(simulator.start(words(twice ? "--tcp 0 --fault close:no-reply" : "--tcp 0")));
        ToolProcess run;
        run.run(words("read --program 2 --segments 10 --quiet --timeout 8000 --out p.txt --port")
                    << simulator.where(),
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
        const QString err = run.errorOutput();
        QVERIFY2(err.contains("the read was stopped and the controller's program file 2 closed"),
                 qPrintable(err));
        RUN_EXPECTING(
            again, 0,
            here("read --program 2 --segments 1 --quiet --out q.txt --port", {simulator.where()}));
    }

    // "dcp30 close" sends exactly one close frame for the program.
    void closeCommand()
    {
        ToolProcess simulator;
        QVERIFY(simulator.start({"--tcp", "0", "--verbose"}));
        RUN_EXPECTING(result, 0, here("close --program 7 --port", {simulator.where()}));
        QVERIFY2(result.err.contains("sent the close command for program 7"), result.describe());
        QCOMPARE(simulator.stop(SIGTERM), 0);
        const QString trace = simulator.errorOutput();
        QCOMPARE(trace.count("-> <STX>"), 1);
        QVERIFY2(trace.contains("-> <STX>0100XFC,7<ETX><CR><LF>"), qPrintable(trace));
    }

    void overRealLines_data()
    {
        QTest::addColumn<QString>("simulate");
        QTest::addColumn<int>("signalNumber"); // that ends the simulator
        // The chunks of every block reply come 100 ms apart: pauses inside one reply.
        QTest::newRow("tcp, four chunks")
            << "--tcp 0 --fault block-read:split=4:delay=100" << int(SIGTERM);
        // Every reply of the transfer byte by byte, ETX and LF apart as well.
        QTest::newRow("pty, single bytes") << "--pty --fault any:split=40:delay=2" << int(SIGINT);
    }

    // A program written over a line is found by a later connection to the same controller.
    void overRealLines()
    {
        QFETCH(QString, simulate);
        QFETCH(int, signalNumber);
        ToolProcess simulator;
        QVERIFY(simulator.start(words(simulate)));
        // The first line names the line as --port takes it.
        QVERIFY2(
            simulator.where().startsWith(simulate.startsWith("--pty") ? "/dev/" : "tcp:127.0.0.1:"),
            qPrintable(simulator.where()));
        const QList<QStringList> rows = ProgramFiles::demoRows(2, 3);
        const QString source = m_dir.filePath("ceramic.txt");
        QVERIFY(ProgramFiles::save(rows, source));
        const QStringList port{"--port", simulator.where()};
        RUN_EXPECTING(write, 0,
                      here("write --program 8 --segments 3 --csv", QStringList{source} + port));
        QVERIFY(write.labelled("error log").isEmpty());
        const QString copy = m_dir.filePath("back.txt");
        RUN_EXPECTING(back, 0,
                      here("read --program 8 --segments 3 --out", QStringList{copy} + port));
        QVERIFY(back.labelled("error log").isEmpty());
        QCOMPARE(ProgramFiles::load(copy), rows);

        QCOMPARE(simulator.stop(signalNumber), 0);
        QVERIFY2(simulator.errorOutput().contains(
                     QStringLiteral("simulator stopped (signal %1)").arg(signalNumber)),
                 qPrintable(simulator.errorOutput()));
    }

    // A file with problems is refused before the transfer starts: nothing is logged, and the
    // controller's program is never opened, which opening for writing would clear.
    void refusedWriteLeavesTheProgram()
    {
        QTemporaryDir dir;
        ToolProcess simulator;
        QVERIFY(simulator.start({"--tcp", "0"}));
        QList<QStringList> rows = ProgramFiles::demoRows(1, 3);
        rows[2][1] = QStringLiteral("1301");
        const QString file = dir.filePath("program.txt");
        QVERIFY(ProgramFiles::save(rows, file));
        const QStringList port{"--port", simulator.where()};
        RUN_EXPECTING(result, 1,
                      CliProcess::run(words("write --program 1 --segments 3 --csv")
                                          << file << port << "--verify",
                                      60000, dir.path()));
        QVERIFY2(result.out.split('\n').contains("\t\tSP1 [1301] is out of range (-200 ~ 1300).") &&
                     result.err.contains(file + " has problems, so nothing was written"),
                 result.describe());
        QCOMPARE(QDir(dir.path()).entryList({"*_ERROR.txt"}, QDir::Files), QStringList{});
        const QString out = dir.filePath("out.txt");
        RUN_EXPECTING(back, 0,
                      CliProcess::run(words("read --program 1 --segments 3 --out")
                                      << out << port << "--quiet"));
        QCOMPARE(ProgramFiles::load(out), ProgramFiles::demoRows(1, 3));
    }

    void verified_data()
    {
        QTest::addColumn<QStringList>("arguments"); // FILE: the program file; OUT: out.txt
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("differences"); // stdout lines
        QTest::addColumn<QStringList>("files");       // left in the run's directory

        const QStringList write = words("write --program 7 --segments 3 --csv FILE --verify");
        const QStringList read = words("read --program 1 --segments 3 --out OUT --verify");
        QTest::newRow("write read back as written") << write << 0 << QStringList{} << QStringList{};
        QTest::newRow("write, damaged reply in the read-back")
            << write + QStringList{"--fault", damagedSp1} << 1
            << QStringList{"SEG1 SP1: wrote 150, read 151"} << QStringList{};
        // Segment 3 is invalid: the plugin writes 1 and 2 and logs 3; those two are read back.
        QTest::newRow("write --skip-invalid")
            << write + QStringList{"--skip-invalid"} << 1 << QStringList{}
            << QStringList{"WRITE_PROG_7_ERROR.txt"};
        QTest::newRow("two reads alike") << read << 0 << QStringList{} << QStringList{"out.txt"};
        QTest::newRow("reads differ: the file is left alone")
            << read + QStringList{"--fault", damagedSp1} << 1
            << QStringList{"SEG1 SP1: first read 151, second read 150"} << QStringList{};
        QTest::newRow("reads differ, --keep-partial")
            << read + QStringList{"--fault", damagedSp1, "--keep-partial"} << 1
            << QStringList{"SEG1 SP1: first read 151, second read 150"} << QStringList{"out.txt"};
    }

    // --verify: a reply damaged on the line (the line has no check characters) shows as a
    // difference by segment and column.
    void verified()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, differences);
        QFETCH(QStringList, files);
        QTemporaryDir dir;
        QList<QStringList> rows = ProgramFiles::demoRows(1, 3);
        if (arguments.contains("--skip-invalid"))
            rows[3][1] = QStringLiteral("5000");
        const QString file = dir.filePath(QStringLiteral("program.txt"));
        QVERIFY(ProgramFiles::save(rows, file));
        arguments.replaceInStrings(QRegularExpression("^FILE$"), file);
        arguments.replaceInStrings(QRegularExpression("^OUT$"), dir.filePath("out.txt"));
        RUN_EXPECTING(result, exitCode, CliProcess::run(arguments, 120000, dir.path()));
        QCOMPARE(result.out.split('\n').filter(QRegularExpression("^SEG")), differences);

        QCOMPARE(QDir(dir.path()).entryList({"*_ERROR.txt", "out.txt"}, QDir::Files), files);
        if (differences.isEmpty() && arguments.first() == "write")
            QVERIFY2(result.err.contains("read back as written"), result.describe());
        if (files.contains("out.txt")) {
            // --keep-partial hands over the first read, the one the damaged reply went into.
            QList<QStringList> expected = ProgramFiles::demoRows(1, 3);
            if (arguments.contains("--keep-partial"))
                expected[1][1] = QStringLiteral("151");
            QCOMPARE(ProgramFiles::load(dir.filePath("out.txt")), expected);
        }
    }

    // A negative VALUE is a value, not an option, wherever it stands; the controller holds it, and
    // "validate --port" judges a file by the controller's ranges.
    void tagsOnAController()
    {
        ToolProcess simulator;
        QVERIFY(simulator.start({"--tcp", "0"}));
        const QString port = simulator.where();
        auto run = [&](const QStringList &arguments, int exitCode, const QString &out) {
            RUN_EXPECTING(result, exitCode, CliProcess::run(arguments));
            QCOMPARE(result.out, out);
        };
        run({"tag", "set", "--port", port, "--type", "2", "RAM4509", "-100"}, 0, "");
        run({"tag", "get", "RAM4509", "--port", port, "--type", "2"}, 0, "-100\n");
        run({"tag", "set", "RAM4509", "-300,500", "--port=" + port}, 0, "");
        run({"tag", "get", "RAM4509", "--count", "2", "--port", port}, 0, "-300 500\n");
        const QString file = m_dir.filePath("anneal.txt");
        QVERIFY(ProgramFiles::save(ProgramFiles::demoRows(1, 3), file));
        run({"validate", file, "--port", port}, 1,
            "Program 1:\n\n\tSegment 3 has following format error : \n"
            "\t\tSP1 [620] is out of range (-300 ~ 500).\n");
    }

private:
    // The tool run in the test's directory with the words of text, then extra as they are.
    CliProcess::Result here(const QString &text, const QStringList &extra = {})
    {
        return CliProcess::run(words(text) + extra, 60000, m_dir.path());
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(tst_CliTransfer)
#include "tst_cli_transfer.moc"
