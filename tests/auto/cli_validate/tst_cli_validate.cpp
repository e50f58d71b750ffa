// "dcp30 validate": the problems of a program CSV file, printed exactly as a program write logs
// them, with the range parameters from the options or from the controller. Which problems a row
// has is the program format's business; here it is where the ranges come from and what is printed.

#include "CliSupport.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QString heading(int segment)
{
    return QStringLiteral("\tSegment %1 has following format error : ").arg(segment);
}

QString spOutOfRange(int value, int low, int high)
{
    return QStringLiteral("\t\tSP1 [%1] is out of range (%2 ~ %3).").arg(value).arg(low).arg(high);
}

} // namespace

class tst_CliValidate : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void check_data();
    void check();
    void sameLinesAsTheWriteLog();
    void unloadableFile();

private:
    QString saved(const QString &name, const QList<QStringList> &rows)
    {
        const QString file = m_dir.filePath(name);
        return ProgramFiles::save(rows, file) ? file : QString();
    }
    QTemporaryDir m_dir;
};

void tst_CliValidate::check_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("lines"); // the problems; none: the file is valid
    QTest::addColumn<QString>("summary");   // on stderr when the file is valid

    QTest::newRow("valid, ranges from the controller")
        << QStringList{} << QStringList{}
        << "segments 1 to 3 are valid (SP1 -200 to 1300, event types 0, 50, 8)";
    QTest::newRow("valid, fewer segments than rows, ranges given")
        << QStringList{"--segments", "1", "--sp-limits", "0,700", "--event-types", "0,50,9"}
        << QStringList{} << "segments 1 to 1 are valid (SP1 0 to 700, event types 0, 50, 9)";

    QTest::newRow("SP1 above the given limit")
        << QStringList{"--sp-limits", "0,200", "--event-types", "0,50,8"}
        << QStringList{"Program 1:", "", heading(3), spOutOfRange(620, 0, 200)} << "";
    // Every segment is refused, which a write logs with one more line.
    QStringList allRefused{"Program 1:"};
    for (int segment = 1; segment <= 3; ++segment)
        allRefused << "" << heading(segment) << spOutOfRange(segment < 3 ? 150 : 620, -300, 100);
    allRefused << ""
               << "There is no data to write out. Maybe the format of all segments are incorrect.";
    QTest::newRow("limits given, event types from the controller")
        << QStringList{"--sp-limits=-300,100"} << allRefused << "";
}

void tst_CliValidate::check()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, lines);
    QFETCH(QString, summary);
    // Demo program 1 ("ANNEAL01": SP1 150, 150 and 620 in segments 1 to 3).
    const QString file = saved(QStringLiteral("program.txt"), ProgramFiles::demoRows(1, 3));
    QVERIFY(!file.isEmpty());
    const CliProcess::Result result = CliProcess::run(QStringList{"validate", file} + options);
    if (lines.isEmpty()) {
        QVERIFY2(result.finished && result.exitCode == 0, result.describe());
        QVERIFY(result.out.isEmpty());
        QVERIFY2(result.err.contains(summary), result.describe());
        return;
    }
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QCOMPARE(result.out, lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void tst_CliValidate::sameLinesAsTheWriteLog()
{
    QList<QStringList> rows = ProgramFiles::demoRows(1, 3);
    rows[1][2] = QStringLiteral("0045"); // segment 1 TIME without colon
    rows[2][1] = QStringLiteral("1500"); // segment 2 SP1 above the limit
    const QString file = saved(QStringLiteral("several.txt"), rows);
    QVERIFY(!file.isEmpty());
    const CliProcess::Result validate =
        CliProcess::run({"validate", file, "--segments", "3", "--quiet"});
    QVERIFY2(validate.finished && validate.exitCode == 1, validate.describe());

    const QString logFile = ProgramFiles::errorLog("WRITE", 11);
    QFile::remove(logFile);
    const CliProcess::Result write =
        CliProcess::run({"write", "--program", "11", "--segments", "3", "--csv", file, "--quiet"});
    QVERIFY2(write.finished && write.exitCode == 1, write.describe());
    QCOMPARE(write.labelled("error log"), QStringList{logFile});
    const QStringList log = ProgramFiles::logLines(logFile);
    QVERIFY(log.size() > 4);
    QCOMPARE(validate.out, log.join(QLatin1Char('\n')) + QLatin1Char('\n'));
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
