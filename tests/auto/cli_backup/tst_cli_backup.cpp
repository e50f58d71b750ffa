// End-to-end runs of "dcp30 backup", "restore" and "ports" against simulated controllers in the
// background: what a backup directory holds, the segment counts the probe finds and what it
// costs in block reads, restoring into another controller, refusals, and several controllers
// at once.

#include "BackupManifest.h"
#include "CliSupport.h"
#include "ProgramList.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using CliProcess::words;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The program entries of dir's manifest by program number.
QMap<int, QJsonObject> manifestEntries(const QString &dir)
{
    QMap<int, QJsonObject> entries;
    const QJsonObject root =
        QJsonDocument::fromJson(readFile(dir + QStringLiteral("/manifest.json"))).object();
    for (const QJsonValue &value : root.value(QStringLiteral("programs")).toArray())
        entries.insert(value.toObject().value(QStringLiteral("program")).toInt(), value.toObject());
    return entries;
}

// Block reads of program the simulator's trace shows.
int blockReads(const QString &trace, int program)
{
    return trace.count(QStringLiteral("-> <STX>0100XFR,%1,").arg(program));
}

// A program of segments rows made of demo records, valid under the simulator's ranges.
QList<QStringList> programRows(int segments)
{
    const QStringList first = DemoPrograms::records(1);
    const QStringList others = DemoPrograms::records(2);
    ProgramFormat format;
    QList<QStringList> rows;
    format.generalHead(rows);
    for (int s = 1; s <= segments; ++s) {
        const QString record = s == 1 ? first.at(0) : others.at(1 + (s - 2) % (others.size() - 1));
        format.HEX2CSV(s, record + QStringLiteral("\x03\r\n"), rows);
    }
    return rows;
}

bool copyBackup(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QString &name : QDir(from).entryList(QDir::Files)) {
        if (!QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name))
            return false;
    }
    return true;
}

// The simulator's trace so far: its stderr reaches this process through the event loop.
QString traceOf(SimulatorProcess &simulator)
{
    QTest::qWait(500);
    return simulator.errorOutput();
}

} // namespace

class tst_cli_backup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void demoBackup_data();
    void demoBackup();
    void backupIsWhatReadGives();
    void probe_data();
    void probe();
    void restoreIntoAnotherController();
    void refusals_data();
    void refusals();
    void severalControllers();
    void badArguments_data();
    void badArguments();
    void programList_data();
    void programList();
    void ports();

private:
    QTemporaryDir m_work;
    SimulatorProcess m_demo;
    QString m_demoTrace;
    QString m_backup; // programs 1-5 of m_demo
    CliProcess::Result m_backupRun;
    SimulatorProcess m_lengths;
    QString m_lengthsTrace;
    QString m_lengthsSource; // programs 4, 5, 6 of 1, 8, 30 segments, without a manifest
    QString m_lengthsBackup;
};

void tst_cli_backup::initTestCase()
{
    QVERIFY(m_work.isValid());
    QVERIFY(m_demo.start(words("--tcp 0 --verbose")));
    m_backup = m_work.filePath(QStringLiteral("demo"));
    // The directory does not exist yet: the backup makes it.
    m_backupRun = CliProcess::run({QStringLiteral("backup"), QStringLiteral("--dir"), m_backup,
                                   QStringLiteral("--programs"), QStringLiteral("1-5"),
                                   QStringLiteral("--port"), m_demo.where()},
                                  120000, m_work.path());
    m_demoTrace = traceOf(m_demo);
    QVERIFY2(m_backupRun.finished && m_backupRun.exitCode == 0, m_backupRun.describe());

    // Programs of 1, 8 and 30 segments, written by a restore from files without a manifest.
    QVERIFY(m_lengths.start(words("--pty --verbose")));
    m_lengthsSource = m_work.filePath(QStringLiteral("lengths"));
    QVERIFY(QDir().mkpath(m_lengthsSource));
    const QList<int> lengths{1, 8, 30};
    for (int i = 0; i < lengths.size(); ++i)
        QVERIFY(ProgramFiles::save(programRows(lengths.at(i)),
                                   m_lengthsSource + QStringLiteral("/PROG_%1.txt").arg(4 + i)));
    const CliProcess::Result restore =
        CliProcess::run({QStringLiteral("restore"), QStringLiteral("--dir"), m_lengthsSource,
                         QStringLiteral("--port"), m_lengths.where()},
                        120000, m_work.path());
    QVERIFY2(restore.exitCode == 0, restore.describe());
    QCOMPARE(restore.labelled(QStringLiteral("restored")).size(), 3);
    const int writesTrace = traceOf(m_lengths).size(); // not counted
    m_lengthsBackup = m_work.filePath(QStringLiteral("lengths-backup"));
    const CliProcess::Result backup =
        CliProcess::run({QStringLiteral("backup"), QStringLiteral("--dir"), m_lengthsBackup,
                         QStringLiteral("--programs"), QStringLiteral("4-6"),
                         QStringLiteral("--port"), m_lengths.where()},
                        120000, m_work.path());
    QVERIFY2(backup.exitCode == 0, backup.describe());
    m_lengthsTrace = traceOf(m_lengths).mid(writesTrace);
}

void tst_cli_backup::demoBackup_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("segments"); // 0: no program
    for (int program = 1; program <= 5; ++program)
        QTest::addRow("program %d", program)
            << program << (program <= 3 ? DemoPrograms::records(program).size() : 0);
}

void tst_cli_backup::demoBackup()
{
    QFETCH(int, program);
    QFETCH(int, segments);
    const QString file = m_backup + QStringLiteral("/PROG_%1.txt").arg(program);
    const QJsonObject entry = manifestEntries(m_backup).value(program);
    QCOMPARE(entry.value(QStringLiteral("segments")).toInt(-1), segments);
    QVERIFY(entry.value(QStringLiteral("errors")).toArray().isEmpty());
    QCOMPARE(QFile::exists(file), segments > 0);
    if (segments == 0) {
        QVERIFY(!entry.contains(QStringLiteral("sha256")));
        QCOMPARE(blockReads(m_demoTrace, program), 1); // segment 1 only
        return;
    }
    QCOMPARE(m_backupRun.labelled(QStringLiteral("program file")).count(file), 1);
    QCOMPARE(ProgramFiles::load(file), ProgramFiles::demoRows(program, segments));
    QCOMPARE(entry.value(QStringLiteral("sha256")).toString(),
             BackupManifest::sha256Of(readFile(file)));
    // The probe: segment 1 and a binary search over 30 segments, then the read itself.
    QVERIFY2(blockReads(m_demoTrace, program) > segments &&
                 blockReads(m_demoTrace, program) <= segments + 6,
             qPrintable(QString::number(blockReads(m_demoTrace, program))));
}

void tst_cli_backup::backupIsWhatReadGives()
{
    const QString out = m_work.filePath(QStringLiteral("read_2.txt"));
    const CliProcess::Result read =
        CliProcess::run(words(QStringLiteral("read --program 2 --segments 10 --port %1 --out %2")
                                  .arg(m_demo.where(), out)),
                        60000, m_work.path());
    QVERIFY2(read.exitCode == 0, read.describe());
    QCOMPARE(readFile(m_backup + QStringLiteral("/PROG_2.txt")), readFile(out));
    const QJsonObject root =
        QJsonDocument::fromJson(readFile(m_backup + QStringLiteral("/manifest.json"))).object();
    QCOMPARE(root.value(QStringLiteral("port")).toString(), m_demo.where());
    QVERIFY(!root.value(QStringLiteral("version")).toString().isEmpty());
    QVERIFY(QDateTime::fromString(root.value(QStringLiteral("date")).toString(), Qt::ISODate)
                .isValid());
}

void tst_cli_backup::probe_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("segments");
    QTest::addColumn<int>("maxProbeReads"); // block reads beyond the read of the program
    QTest::newRow("1 segment") << 4 << 1 << 5;
    QTest::newRow("8 segments") << 5 << 8 << 6;
    QTest::newRow("30 segments") << 6 << 30 << 6;
}

void tst_cli_backup::probe()
{
    QFETCH(int, program);
    QFETCH(int, segments);
    QFETCH(int, maxProbeReads);
    const QJsonObject entry = manifestEntries(m_lengthsBackup).value(program);
    QCOMPARE(entry.value(QStringLiteral("segments")).toInt(), segments);
    const QString name = QStringLiteral("/PROG_%1.txt").arg(program);
    QCOMPARE(ProgramFiles::load(m_lengthsBackup + name),
             ProgramFiles::load(m_lengthsSource + name));
    const int probeReads = blockReads(m_lengthsTrace, program) - segments;
    QVERIFY2(probeReads >= 1 && probeReads <= maxProbeReads,
             qPrintable(QString::number(probeReads)));
}

void tst_cli_backup::restoreIntoAnotherController()
{
    SimulatorProcess target;
    QVERIFY(target.start(words("--tcp 0")));
    const CliProcess::Result restore =
        CliProcess::run({QStringLiteral("restore"), QStringLiteral("--dir"), m_backup,
                         QStringLiteral("--port"), target.where(), QStringLiteral("--verify")},
                        120000, m_work.path());
    QVERIFY2(restore.exitCode == 0, restore.describe());
    QCOMPARE(restore.labelled(QStringLiteral("verified")).size(), 3);
    // A second backup of the restored controller holds the same files.
    const QString again = m_work.filePath(QStringLiteral("again"));
    const CliProcess::Result backup = CliProcess::run(
        {QStringLiteral("backup"), QStringLiteral("--dir"), again, QStringLiteral("--programs"),
         QStringLiteral("1-4"), QStringLiteral("--port"), target.where()},
        120000, m_work.path());
    QVERIFY2(backup.exitCode == 0, backup.describe());
    for (int program = 1; program <= 3; ++program) {
        const QString name = QStringLiteral("/PROG_%1.txt").arg(program);
        QCOMPARE(readFile(again + name), readFile(m_backup + name));
    }
    QVERIFY(!QFile::exists(again + QStringLiteral("/PROG_4.txt")));
}

void tst_cli_backup::refusals_data()
{
    QTest::addColumn<QString>("change"); // what is done to a copy of the demo backup
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("restored");
    const QString changed = QStringLiteral("does not match its SHA-256");
    QTest::newRow("changed file") << "edit 2"
                                  << "--programs 2" << 1 << changed << 0;
    QTest::newRow("changed file, others written") << "edit 2"
                                                  << "--programs 2,3" << 1 << changed << 1;
    QTest::newRow("changed file, forced") << "edit 2"
                                          << "--programs 2 --force" << 0 << "" << 1;
    QTest::newRow("program not in the backup") << ""
                                               << "--programs 7" << 1 << "holds no program 7" << 0;
    QTest::newRow("program without segment 1") << ""
                                               << "--programs 4" << 1 << "it had no segment 1" << 0;
    QTest::newRow("broken manifest") << "break manifest"
                                     << "" << 1 << "is not a backup manifest" << 0;
    QTest::newRow("file outside the backup") << "foreign file"
                                             << "" << 1 << "not a program of a backup" << 0;
    QTest::newRow("no such directory") << "remove"
                                       << "" << 3 << "no such directory" << 0;
}

void tst_cli_backup::refusals()
{
    QFETCH(QString, change);
    QFETCH(QString, options);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(int, restored);
    const QString dir = m_work.filePath(QStringLiteral("refused-%1").arg(QTest::currentDataTag()));
    QVERIFY(copyBackup(m_backup, dir));
    const QString manifest = dir + QStringLiteral("/manifest.json");
    if (change == QLatin1String("edit 2")) {
        // Still a valid program: only its Tag differs.
        const QString file = dir + QStringLiteral("/PROG_2.txt");
        QList<QStringList> rows = ProgramFiles::load(file);
        QVERIFY(rows.size() > 1);
        rows[1].last() = QStringLiteral("EDITED");
        QVERIFY(ProgramFiles::save(rows, file));
    } else if (change == QLatin1String("break manifest")) {
        QVERIFY(writeFile(manifest, "{\"tool\": \"dcp30\", "));
    } else if (change == QLatin1String("foreign file")) {
        QVERIFY(
            writeFile(manifest, readFile(manifest).replace("\"PROG_1.txt\"", "\"../PROG_1.txt\"")));
    } else if (change == QLatin1String("remove")) {
        QVERIFY(QDir(dir).removeRecursively());
    }
    const CliProcess::Result run =
        CliProcess::run(QStringList{QStringLiteral("restore"), QStringLiteral("--dir"), dir,
                                    QStringLiteral("--quiet")} +
                            words(options),
                        60000, m_work.path());
    QVERIFY2(run.finished && run.exitCode == exitCode, run.describe());
    QVERIFY2(run.err.contains(message), run.describe());
    QCOMPARE(run.labelled(QStringLiteral("restored")).size(), restored);
}

void tst_cli_backup::severalControllers()
{
    SimulatorProcess pty;
    SimulatorProcess tcp;
    QVERIFY(pty.start(words("--pty")));
    QVERIFY(tcp.start(words("--tcp 0")));
    const QString dir = m_work.filePath(QStringLiteral("several"));
    const CliProcess::Result run = CliProcess::run(
        {QStringLiteral("backup"), QStringLiteral("--dir"), dir, QStringLiteral("--programs"),
         QStringLiteral("3"), QStringLiteral("--port"), pty.where(), QStringLiteral("--port"),
         tcp.where()},
        120000, m_work.path());
    QVERIFY2(run.exitCode == 0, run.describe());
    for (const QString &port : {pty.where(), tcp.where()}) {
        QString name = port;
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
        while (name.startsWith(QLatin1Char('_')))
            name.remove(0, 1);
        const QString sub = dir + QLatin1Char('/') + name;
        QCOMPARE(readFile(sub + QStringLiteral("/PROG_3.txt")),
                 readFile(m_backup + QStringLiteral("/PROG_3.txt")));
        QCOMPARE(manifestEntries(sub).value(3).value(QStringLiteral("segments")).toInt(),
                 DemoPrograms::records(3).size());
        QVERIFY2(run.err.contains(QStringLiteral("[%1] dcp30: program 3: ").arg(port)),
                 run.describe());
    }
}

void tst_cli_backup::badArguments_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("backup without --dir") << "backup --programs 1"
                                          << "--dir DIR is required";
    QTest::newRow("restore without --dir") << "restore"
                                           << "--dir DIR is required";
    QTest::newRow("program 0") << "backup --dir x --programs 0"
                               << "\"0\" is not a program";
    QTest::newRow("program 20") << "restore --dir x --programs 1,20"
                                << "\"20\" is not";
    QTest::newRow("backward range") << "backup --dir x --programs 5-3"
                                    << "\"5-3\" is not";
    QTest::newRow("same port twice") << "backup --dir x --port /dev/ttyS1 --port /dev/ttyS1"
                                     << "is given twice";
    QTest::newRow("ports sharing a directory") << "backup --dir x --port /dev/a:b --port /dev/a_b"
                                               << "shares its directory name";
    QTest::newRow("ports with an argument") << "ports x"
                                            << "unexpected argument";
}

void tst_cli_backup::badArguments()
{
    QFETCH(QString, arguments);
    QFETCH(QString, message);
    const CliProcess::Result run = CliProcess::run(words(arguments), 30000, m_work.path());
    QVERIFY2(run.finished && run.exitCode == 2, run.describe());
    QVERIFY2(run.err.contains(message), run.describe());
    QVERIFY(!QFile::exists(m_work.filePath(QStringLiteral("x"))));
}

void tst_cli_backup::programList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("programs"); // empty: refused
    QTest::newRow("numbers and a range") << "1,3,5-7" << QList<int>{1, 3, 5, 6, 7};
    QTest::newRow("all") << "1-19" << QList<int>{1,  2,  3,  4,  5,  6,  7,  8,  9, 10,
                                                 11, 12, 13, 14, 15, 16, 17, 18, 19};
    QTest::newRow("overlaps and order") << "7,2-3, 3 ,1-2" << QList<int>{1, 2, 3, 7};
    QTest::newRow("one-program range") << "19-19" << QList<int>{19};
    QTest::newRow("empty") << "" << QList<int>{};
    QTest::newRow("empty part") << "1,,2" << QList<int>{};
    QTest::newRow("open range") << "3-" << QList<int>{};
    QTest::newRow("two dashes") << "1-2-3" << QList<int>{};
    QTest::newRow("sign") << "+3" << QList<int>{3};
    QTest::newRow("letters") << "1,a" << QList<int>{};
}

void tst_cli_backup::programList()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, programs);
    QList<int> parsed{99};
    QString error;
    const bool ok = ProgramList::parse(text, parsed, &error);
    QCOMPARE(ok, !programs.isEmpty());
    QCOMPARE(error.isEmpty(), ok);
    QCOMPARE(parsed, ok ? programs : QList<int>{99});
}

void tst_cli_backup::ports()
{
    // What it lists depends on the machine: one line per port with five tab-separated fields,
    // or the one line that says there are none.
    const CliProcess::Result run = CliProcess::run(words("ports"));
    QVERIFY2(run.finished && run.exitCode == 0, run.describe());
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    for (const QString &line : lines) {
        if (line != QLatin1String("no serial ports found"))
            QCOMPARE(line.split(QLatin1Char('\t')).size(), 5);
    }
}

QTEST_GUILESS_MAIN(tst_cli_backup)
#include "tst_cli_backup.moc"
