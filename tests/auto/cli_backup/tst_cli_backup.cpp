// "dcp30 backup", "restore" and "ports" end to end against simulated controllers in the
// background: what a backup directory holds, the segment counts the probe finds and what it
// costs in block reads, the round trip into another controller, refusals that write nothing,
// and several controllers at once. Every exchange costs the plugin's pauses, so the programs
// are few and short.

#include "BackupManifest.h"
#include "CliSupport.h"
#include "ProgramList.h"

#include <QtTest>

using CliProcess::words;

namespace {

// The program entries of dir's manifest by program number.
QMap<int, QJsonObject> manifestEntries(const QString &dir)
{
    QMap<int, QJsonObject> entries;
    const QJsonObject root =
        QJsonDocument::fromJson(TestFiles::read(dir + "/manifest.json")).object();
    for (const QJsonValue &value : root.value(QStringLiteral("programs")).toArray())
        entries.insert(value.toObject().value(QStringLiteral("program")).toInt(), value.toObject());
    return entries;
}

// Block reads of program in the simulator's trace so far (its stderr comes through the event
// loop).
int blockReads(ToolProcess &simulator, int program)
{
    QTest::qWait(500);
    return simulator.errorOutput().count(QStringLiteral("-> <STX>0100XFR,%1,").arg(program));
}

} // namespace

class tst_cli_backup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        QVERIFY(m_demo.start(words("--tcp 0 --verbose")));
        // The directory does not exist yet: the backup makes it.
        m_backup = m_work.filePath(QStringLiteral("demo"));
        m_backupRun = backup(m_backup, "3-4", m_demo.where());
        VERIFY_EXIT(m_backupRun, 0);
    }

    void demoBackup()
    {
        QCOMPARE(m_backupRun.labelled("manifest"), QStringList{m_backup + "/manifest.json"});
        const QJsonObject root =
            QJsonDocument::fromJson(TestFiles::read(m_backup + "/manifest.json")).object();
        QCOMPARE(root.value(QStringLiteral("port")).toString(), m_demo.where());
        const QMap<int, QJsonObject> entries = manifestEntries(m_backup);
        for (int program = 3; program <= 4; ++program) {
            const int segments = program == 3 ? DemoPrograms::records(program).size() : 0;
            const QString file = m_backup + QStringLiteral("/PROG_%1.txt").arg(program);
            const QJsonObject entry = entries.value(program);
            QCOMPARE(entry.value(QStringLiteral("segments")).toInt(-1), segments);
            QVERIFY(entry.value(QStringLiteral("errors")).toArray().isEmpty());
            QCOMPARE(QFile::exists(file), segments > 0);
            if (segments == 0) {
                QCOMPARE(blockReads(m_demo, program), 1); // segment 1 only
                continue;
            }
            QCOMPARE(m_backupRun.labelled(QStringLiteral("program file")).count(file), 1);
            QCOMPARE(ProgramFiles::load(file), ProgramFiles::demoRows(program, segments));
            QCOMPARE(entry.value(QStringLiteral("sha256")).toString(),
                     BackupManifest::sha256Of(TestFiles::read(file)));
            // The probe: segment 1 and a binary search over 30 segments, then the read itself.
            const int reads = blockReads(m_demo, program);
            QVERIFY2(reads > segments && reads <= segments + 6, qPrintable(QString::number(reads)));
        }
    }

    // The backup restored and verified into another controller; a backup of that controller gives
    // the same files.
    void roundTrip()
    {
        ToolProcess target;
        QVERIFY(target.start(words("--pty")));
        RUN_EXPECTING(
            restore, 0,
            CliProcess::run({"restore", "--dir", m_backup, "--port", target.where(), "--verify"},
                            120000, m_work.path()));
        QCOMPARE(restore.labelled(QStringLiteral("verified")).size(), 1);
        const QString again = m_work.filePath(QStringLiteral("again"));
        RUN_EXPECTING(run, 0, backup(again, "3-4", target.where()));
        QCOMPARE(TestFiles::read(again + "/PROG_3.txt"), TestFiles::read(m_backup + "/PROG_3.txt"));
        QVERIFY(!QFile::exists(again + "/PROG_4.txt"));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("change"); // what is done to a copy of the demo backup
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("options");
        QTest::addColumn<int>("restored");
        QTest::addColumn<QString>("message");
        QTest::newRow("changed file")
            << "edit 3" << 1 << "--programs 3" << 0 << "does not match its SHA-256";
        QTest::newRow("changed file, forced") << "edit 3" << 0 << "--programs 3 --force" << 1 << "";
        QTest::newRow("program not in the backup")
            << "" << 1 << "--programs 7" << 0 << "holds no program 7";
        QTest::newRow("program without segment 1")
            << "" << 1 << "--programs 4" << 0 << "it had no segment 1";
        QTest::newRow("broken manifest")
            << "break manifest" << 1 << "" << 0 << "is not a backup manifest";
        QTest::newRow("file outside the backup")
            << "foreign file" << 1 << "" << 0 << "not a program of a backup";
        QTest::newRow("no such directory") << "remove" << 3 << "" << 0 << "no such directory";
    }

    void refusals()
    {
        QFETCH(QString, change);
        QFETCH(QString, options);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(int, restored);
        const QString dir = m_work.filePath(QString("refused-") + QTest::currentDataTag());
        QVERIFY(QDir().mkpath(dir));
        for (const QString &name : QDir(m_backup).entryList(QDir::Files))
            QVERIFY(QFile::copy(m_backup + '/' + name, dir + '/' + name));
        const QString manifest = dir + QStringLiteral("/manifest.json");
        if (change == QLatin1String("edit 3")) {
            // Still a valid program: only its Tag differs.
            QList<QStringList> rows = ProgramFiles::load(dir + "/PROG_3.txt");
            rows[1].last() = QStringLiteral("EDITED");
            QVERIFY(ProgramFiles::save(rows, dir + "/PROG_3.txt"));
        } else if (change == QLatin1String("break manifest")) {
            QVERIFY(TestFiles::write(manifest, "{\"tool\": \"dcp30\", "));
        } else if (change == QLatin1String("foreign file")) {
            QVERIFY(TestFiles::write(manifest, TestFiles::read(manifest).replace(
                                                   "\"PROG_3.txt\"", "\"../PROG_3.txt\"")));
        } else if (change == QLatin1String("remove")) {
            QVERIFY(QDir(dir).removeRecursively());
        }
        RUN_EXPECTING(
            run, exitCode,
            CliProcess::run(QStringList{"restore", "--dir", dir, "--quiet"} + words(options), 60000,
                            m_work.path()));
        QVERIFY2(run.err.contains(message), run.describe());
        QCOMPARE(run.labelled(QStringLiteral("restored")).size(), restored);
    }

    void severalControllers()
    {
        ToolProcess pty;
        ToolProcess tcp;
        QVERIFY(pty.start(words("--pty")));
        QVERIFY(tcp.start(words("--tcp 0")));
        const QString dir = m_work.filePath(QStringLiteral("several"));
        RUN_EXPECTING(run, 0,
                      CliProcess::run({"backup", "--dir", dir, "--programs", "3", "--port",
                                       pty.where(), "--port=" + tcp.where()},
                                      120000, m_work.path()));

        for (const QString &port : {pty.where(), tcp.where()}) {
            // Each controller's backup in a directory named after its port.
            const QString name = QString(port)
                                     .replace(QRegularExpression("[^A-Za-z0-9._-]"), "_")
                                     .remove(QRegularExpression("^_+"));

            QCOMPARE(TestFiles::read(dir + '/' + name + "/PROG_3.txt"),
                     TestFiles::read(m_backup + "/PROG_3.txt"));
            QVERIFY2(run.err.contains(QStringLiteral("[%1] dcp30: program 3: ").arg(port)),
                     run.describe());
        }
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("backup without --dir")
            << words("backup --programs 1") << "--dir DIR is required";
        QTest::newRow("program 20") << words("restore --dir x --programs 1,20") << "\"20\" is not";
        QTest::newRow("same port twice")
            << words("backup --dir x --port /dev/ttyS1 --port /dev/ttyS1") << "is given twice";
        QTest::newRow("ports sharing a directory")
            << words("backup --dir x --port /dev/a:b --port /dev/a_b")
            << "shares its directory name";
        QTest::newRow("ports with an argument") << words("ports x") << "unexpected argument";
    }

    void badArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        RUN_EXPECTING(run, 2, CliProcess::run(arguments, 30000, m_work.path()));
        QVERIFY2(run.err.contains(message), run.describe());
        QVERIFY(!QFile::exists(m_work.filePath(QStringLiteral("x"))));
    }

    void programList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("programs"); // empty: refused
        QTest::newRow("numbers and a range") << "1,3,5-7" << QList<int>{1, 3, 5, 6, 7};
        QTest::newRow("overlaps and order") << "7,2-3, 3 ,1-2" << QList<int>{1, 2, 3, 7};
        QTest::newRow("one-program range") << "19-19" << QList<int>{19};
        QTest::newRow("backward range") << "5-3" << QList<int>{};
        QTest::newRow("empty part") << "1,,2" << QList<int>{};
        QTest::newRow("open range") << "3-" << QList<int>{};
        QTest::newRow("two dashes") << "1-2-3" << QList<int>{};
        QTest::newRow("letters") << "1,a" << QList<int>{};
    }

    void programList()
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

private:
    CliProcess::Result backup(const QString &dir, const QString &programs, const QString &port)
    {
        return CliProcess::run({"backup", "--dir", dir, "--programs", programs, "--port", port},
                               120000, m_work.path());
    }
    QTemporaryDir m_work;
    ToolProcess m_demo;
    QString m_backup; // programs 3 and 4 (empty) of m_demo
    CliProcess::Result m_backupRun;
};

QTEST_GUILESS_MAIN(tst_cli_backup)
#include "tst_cli_backup.moc"
