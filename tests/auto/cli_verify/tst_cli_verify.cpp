// "dcp30 write" refusing a file before the controller is touched, --skip-invalid handing the
// choice to the plugin, and --verify on writes and reads: a reply damaged on the line (the line
// has no check characters) shows as a difference by segment and column.

#include "CliSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Demo program 1 ("ANNEAL01"), segment 1's SP1 is 150 (0096): flipping the lowest bit of the
// reply's last SP1 digit (character 19 of a block-read reply) makes it 151.
const QString damagedSp1 = QStringLiteral("block-read:nth=1:garbled=19");

} // namespace

class tst_CliVerify : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void refused_data();
    void refused();
    void verified_data();
    void verified();
    void refusedWriteLeavesTheProgram();

private:
    // Demo program 1's three rows with one cell changed (segment 0: none), saved in the run's
    // directory.
    QString program(int segment = 0, int column = 0, const QString &text = QString())
    {
        QList<QStringList> rows = ProgramFiles::demoRows(1, 3);
        if (segment > 0)
            rows[segment][column] = text;
        const QString file = m_dir->filePath(QStringLiteral("program.txt"));
        return ProgramFiles::save(rows, file) ? file : QString();
    }
    CliProcess::Result run(const QStringList &arguments)
    {
        return CliProcess::run(arguments, 120000, m_dir->path());
    }
    // The error logs and program files the run left in its directory.
    QStringList left() const
    {
        return QDir(m_dir->path()).entryList({"*_ERROR.txt", "out.txt"}, QDir::Files);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_CliVerify::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void tst_CliVerify::refused_data()
{
    QTest::addColumn<int>("segment");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("out"); // a line on stdout

    QTest::newRow("SP1 above the controller's limit")
        << 2 << 1 << "1301"
        << "\t\tSP1 [1301] is out of range (-200 ~ 1300).";
    QTest::newRow("labels out of order")
        << 3 << 0 << "SEG2"
        << "problem: Row 3 is labelled \"SEG2\" but is written as segment 3 (\"SEG3\").";
    QTest::newRow("spreadsheet time") << 1 << 2 << "12:50:00 AM"
                                      << "problem: SEG1 TIME \"12:50:00 AM\" is a spreadsheet's "
                                         "time, not hours:minutes: the plugin reads 12:50, the "
                                         "spreadsheet means 00:50. Write it as \"00:50\" "
                                         "(hours:minutes only) and import the TIME column as Text.";
}

// Refused before the transfer starts: nothing is logged, no transfer was run.
void tst_CliVerify::refused()
{
    QFETCH(int, segment);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, out);

    const QString file = program(segment, column, text);
    QVERIFY(!file.isEmpty());
    const CliProcess::Result result =
        run({"write", "--program", "7", "--segments", "3", "--csv", file, "--verify"});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QVERIFY2(result.out.split('\n').contains(out), result.describe());
    QVERIFY2(result.err.contains(file + " has problems, so nothing was written"),
             result.describe());
    QCOMPARE(left(), QStringList{});
}

void tst_CliVerify::verified_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE: the program file; OUT: out.txt
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("differences"); // stdout lines
    QTest::addColumn<QStringList>("files");       // left in the run's directory

    const QStringList write =
        CliProcess::words("write --program 7 --segments 3 --csv FILE --verify");
    const QStringList read = CliProcess::words("read --program 1 --segments 3 --out OUT --verify");
    QTest::newRow("write read back as written") << write << 0 << QStringList{} << QStringList{};
    QTest::newRow("write, damaged reply in the read-back")
        << write + QStringList{"--fault", damagedSp1} << 1
        << QStringList{"SEG1 SP1: wrote 150, read 151"} << QStringList{};
    // Segment 3 is invalid: the plugin writes 1 and 2 and logs 3; those two are read back.
    QTest::newRow("write --skip-invalid") << write + QStringList{"--skip-invalid"} << 1
                                          << QStringList{} << QStringList{"WRITE_PROG_7_ERROR.txt"};
    QTest::newRow("two reads alike") << read << 0 << QStringList{} << QStringList{"out.txt"};
    QTest::newRow("reads differ: the file is left alone")
        << read + QStringList{"--fault", damagedSp1} << 1
        << QStringList{"SEG1 SP1: first read 151, second read 150"} << QStringList{};
    QTest::newRow("reads differ, --keep-partial")
        << read + QStringList{"--fault", damagedSp1, "--keep-partial"} << 1
        << QStringList{"SEG1 SP1: first read 151, second read 150"} << QStringList{"out.txt"};
}

void tst_CliVerify::verified()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, differences);
    QFETCH(QStringList, files);

    const bool skip = arguments.contains("--skip-invalid");
    const QString file = skip ? program(3, 1, "5000") : program();
    QVERIFY(!file.isEmpty());
    arguments.replaceInStrings(QRegularExpression("^FILE$"), file);
    arguments.replaceInStrings(QRegularExpression("^OUT$"), m_dir->filePath("out.txt"));
    const CliProcess::Result result = run(arguments);
    QVERIFY2(result.finished && result.exitCode == exitCode, result.describe());
    QStringList lines;
    for (const QString &line : result.out.split('\n')) {
        if (line.startsWith("SEG"))
            lines << line;
    }
    QCOMPARE(lines, differences);
    QCOMPARE(left(), files);
    if (differences.isEmpty() && arguments.first() == "write")
        QVERIFY2(result.err.contains("read back as written"), result.describe());
    if (files.contains("out.txt")) {
        // --keep-partial hands over the first read, the one the damaged reply went into.
        QList<QStringList> expected = ProgramFiles::demoRows(1, 3);
        if (arguments.contains("--keep-partial"))
            expected[1][1] = QStringLiteral("151");
        QCOMPARE(ProgramFiles::load(m_dir->filePath("out.txt")), expected);
    }
}

// A refused write never opens the controller's program, which opening for writing would clear.
void tst_CliVerify::refusedWriteLeavesTheProgram()
{
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--tcp", "0"}));
    const QString file = program(2, 0, "SEG9");
    CliProcess::Result result = run(
        {"write", "--program", "1", "--segments", "3", "--csv", file, "--port", simulator.where()});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    const QString out = m_dir->filePath("out.txt");
    result = run({"read", "--program", "1", "--segments", "3", "--out", out, "--port",
                  simulator.where(), "--quiet"});
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QCOMPARE(ProgramFiles::load(out), ProgramFiles::demoRows(1, 3));
}

QTEST_GUILESS_MAIN(tst_CliVerify)
#include "tst_cli_verify.moc"
