// "dcp30 validate": the problems of a program CSV file, printed exactly as a program write logs
// them, with the range parameters from the options or from the controller.

#include "CliProcess.h"
#include "ProgramFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Changes made to the first three segments of demo program 1 ("ANNEAL01": 150, 150 and 620
// degrees) before it is checked.
enum class Change {
    None,
    SpTooHigh,        // segment 2 SP1 1500
    TimeWithoutColon, // segment 1 TIME "0045"
    TimePairReversed, // segment 2 T1 from 0.20 to 0.10
    ColumnExtra,      // segment 2 gains a cell (the loader pads a short row)
    Several           // segment 1 TIME without colon and segment 2 SP1 1500
};

QList<QStringList> changedRows(Change change)
{
    QList<QStringList> rows = ProgramFiles::demoRows(1, 3);
    switch (change) {
    case Change::None:
        break;
    case Change::SpTooHigh:
        rows[2][1] = QStringLiteral("1500");
        break;
    case Change::TimeWithoutColon:
        rows[1][2] = QStringLiteral("0045");
        break;
    case Change::TimePairReversed:
        rows[2][9] = QStringLiteral("0.20");
        rows[2][10] = QStringLiteral("0.10");
        break;
    case Change::ColumnExtra:
        rows[2].append(QStringLiteral("x"));
        break;
    case Change::Several:
        rows[1][2] = QStringLiteral("0045");
        rows[2][1] = QStringLiteral("1500");
        break;
    }
    return rows;
}

QString heading(int segment)
{
    return QStringLiteral("\tSegment %1 has following format error : ").arg(segment);
}

const QString NothingToWrite = QStringLiteral(
    "There is no data to write out. Maybe the format of all segments are incorrect.");

} // namespace

Q_DECLARE_METATYPE(Change)

class tst_CliValidate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void problems_data();
    void problems();
    void sameLinesAsTheWriteLog();
    void validFile_data();
    void validFile();
    void unloadableFile();

private:
    QString saved(const QList<QStringList> &rows, const QString &name);
    QTemporaryDir m_dir;
};

void tst_CliValidate::init()
{
    QVERIFY(m_dir.isValid());
}

QString tst_CliValidate::saved(const QList<QStringList> &rows, const QString &name)
{
    const QString file = m_dir.filePath(name);
    return ProgramFiles::save(rows, file) ? file : QString();
}

void tst_CliValidate::problems_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("lines");

    // Without range options the ranges come from the built-in simulated controller.
    QTest::newRow("SP1 above the controller's limit")
        << Change::SpTooHigh << QStringList{}
        << QStringList{"Program 1:", "", heading(2),
                       "\t\tSP1 [1500] is out of range (-200 ~ 1300)."};
    QTest::newRow("SP1 above the given limit")
        << Change::None << QStringList{"--sp-limits", "0,200", "--event-types", "0,50,8"}
        << QStringList{"Program 1:", "", heading(3), "\t\tSP1 [620] is out of range (0 ~ 200)."};
    QTest::newRow("limits given, event types from the controller")
        << Change::None << QStringList{"--sp-limits=-300,100"}
        << QStringList{"Program 1:",
                       "",
                       heading(1),
                       "\t\tSP1 [150] is out of range (-300 ~ 100).",
                       "",
                       heading(2),
                       "\t\tSP1 [150] is out of range (-300 ~ 100).",
                       "",
                       heading(3),
                       "\t\tSP1 [620] is out of range (-300 ~ 100).",
                       "",
                       NothingToWrite};
    QTest::newRow("TIME without colon")
        << Change::TimeWithoutColon << QStringList{}
        << QStringList{"Program 1:", "", heading(1),
                       "\t\tThe format of TM is incorrect. There is no \":\" symbol."};
    QTest::newRow("time event pair reversed")
        << Change::TimePairReversed << QStringList{}
        << QStringList{"Program 1:", "", heading(2),
                       "\t\tThe value of T1 2nd must be bigger than the value of T1 1st."};
    QTest::newRow("column too many")
        << Change::ColumnExtra << QStringList{}
        << QStringList{"Program 1:", "", heading(2),
                       "\t\tThe number of columns is incorrect. 21 columns are required, not "
                       "counting the segment label and the 4 program-wide columns, but 22 were "
                       "found."};
    QTest::newRow("more segments than rows")
        << Change::None << QStringList{"--segments", "5"}
        << QStringList{"Program 1:", "Segment 4 has no data in the csv file. Please check it.",
                       "Segment 5 has no data in the csv file. Please check it."};
    QTest::newRow("only an invalid segment checked")
        << Change::TimeWithoutColon << QStringList{"--segments", "1"}
        << QStringList{"Program 1:", "",
                       heading(1),   "\t\tThe format of TM is incorrect. There is no \":\" symbol.",
                       "",           NothingToWrite};
}

void tst_CliValidate::problems()
{
    QFETCH(Change, change);
    QFETCH(QStringList, options);
    QFETCH(QStringList, lines);
    const QString file = saved(changedRows(change), QStringLiteral("program.txt"));
    QVERIFY(!file.isEmpty());
    const CliProcess::Result result = CliProcess::run(QStringList{"validate", file} + options);
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QCOMPARE(result.out, lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void tst_CliValidate::sameLinesAsTheWriteLog()
{
    const QString file = saved(changedRows(Change::Several), QStringLiteral("several.txt"));
    QVERIFY(!file.isEmpty());
    const CliProcess::Result validate =
        CliProcess::run({"validate", file, "--segments", "3", "--quiet"});
    QVERIFY2(validate.finished && validate.exitCode == 1, validate.describe());

    ProgramFiles::removeAppFile(QStringLiteral("WRITE_PROG_11_ERROR.txt"));
    const CliProcess::Result write =
        CliProcess::run({"write", "--program", "11", "--segments", "3", "--csv", file, "--quiet"});
    QVERIFY2(write.finished && write.exitCode == 1, write.describe());
    const QStringList log =
        ProgramFiles::logLines(ProgramFiles::appFile(QStringLiteral("WRITE_PROG_11_ERROR.txt")));
    QVERIFY(log.size() > 4);
    QCOMPARE(validate.out, log.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void tst_CliValidate::validFile_data()
{
    QTest::addColumn<int>("segments");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("summary");
    QTest::newRow("all rows, ranges from the controller")
        << 3 << QStringList{}
        << "segments 1 to 3 are valid (SP1 -200 to 1300, event types 0, 50, 8)";
    QTest::newRow("segment count defaults to the rows")
        << 2 << QStringList{"--sp-limits", "0,700", "--event-types", "0,50,8"}
        << "segments 1 to 2 are valid (SP1 0 to 700";
    QTest::newRow("fewer segments than rows")
        << 3 << QStringList{"--segments", "1"} << "segments 1 to 1 are valid";
}

void tst_CliValidate::validFile()
{
    QFETCH(int, segments);
    QFETCH(QStringList, options);
    QFETCH(QString, summary);
    const QString file = saved(ProgramFiles::demoRows(1, segments), QStringLiteral("valid.txt"));
    QVERIFY(!file.isEmpty());
    const CliProcess::Result result = CliProcess::run(QStringList{"validate", file} + options);
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QVERIFY(result.out.isEmpty());
    QVERIFY2(result.err.contains(summary), result.describe());
}

void tst_CliValidate::unloadableFile()
{
    const QString file = m_dir.filePath(QStringLiteral("header-only.txt"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("-\tSP1\r\n");
    out.close();
    const CliProcess::Result result =
        CliProcess::run({"validate", file, "--sp-limits", "0,10", "--event-types", "0,0,0"});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QVERIFY(result.out.isEmpty());
    QVERIFY2(result.err.startsWith(QStringLiteral("dcp30: cannot load %1:").arg(file)),
             result.describe());
    QVERIFY2(result.err.contains(QLatin1String("No content found in the imported file.")),
             result.describe());
}

QTEST_GUILESS_MAIN(tst_CliValidate)
#include "tst_cli_validate.moc"
