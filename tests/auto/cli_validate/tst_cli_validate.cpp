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
    void problems_data();
    void problems();
    void notAProgramFile_data();
    void notAProgramFile();

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
    const CliProcess::Result write = CliProcess::run({"write", "--program", "11", "--segments", "3",
                                                      "--csv", file, "--quiet", "--skip-invalid"});
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
    out.write(QByteArray("\xFF\xFE-\0\t\0S\0P\0\x31\0\r\0\n\0", 16));
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

// What a write refuses beyond the rows' own problems, printed after the write log's lines.
void tst_CliValidate::problems_data()
{
    QTest::addColumn<int>("segment"); // the row changed; its cell column gets text
    QTest::addColumn<int>("column");  // -1: text is appended as a cell more
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines"); // stdout

    const QString problem = QStringLiteral("problem: ");
    QTest::newRow("label out of order")
        << 2 << 0 << "SEG3"
        << QStringList{problem + "Row 2 is labelled \"SEG3\" but is written as segment 2 "
                                 "(\"SEG2\")."};
    QTest::newRow("tag of nine") << 1 << 25 << "ANNEAL012"
                                 << QStringList{problem + "Tag \"ANNEAL012\" has more than 8 "
                                                          "characters; only \"ANNEAL01\" is "
                                                          "written."};
    QTest::newRow("row longer than the header")
        << 3 << -1 << "0"
        << QStringList{"Program 1:", "", heading(3),
                       "\t\tThe number of columns is incorrect. 21 columns are required, not "
                       "counting the segment label and the 4 program-wide columns, but 22 were "
                       "found.",
                       problem + "Line 4 is 1 columns more of header. A missing or extra cell "
                                 "shifts every later value of its row."};
    QTest::newRow("spreadsheet time")
        << 1 << 2 << "12:50:00 AM"
        << QStringList{problem + "SEG1 TIME \"12:50:00 AM\" is a spreadsheet's time, not "
                                 "hours:minutes: the plugin reads 12:50, the spreadsheet means "
                                 "00:50. Write it as \"00:50\" (hours:minutes only) and import "
                                 "the TIME column as Text."};
    QTest::newRow("time event with one digit after the point")
        << 2 << 9 << "0.5"
        << QStringList{problem + "SEG2 T1 1st \"0.5\" has one digit after the point: the plugin "
                                 "reads 0.05 (0 h 05 min), but a spreadsheet saves 0.50 (0 h 50 "
                                 "min) this way. Write the minutes with two digits: \"0.05\" or "
                                 "\"0.50\"."};
}

void tst_CliValidate::problems()
{
    QFETCH(int, segment);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QStringList, lines);

    QList<QStringList> rows = ProgramFiles::demoRows(1, 3);
    if (column < 0)
        rows[segment] << text;
    else
        rows[segment][column] = text;
    const QString file = saved(QStringLiteral("problems.txt"), rows);
    QVERIFY(!file.isEmpty());
    const CliProcess::Result result =
        CliProcess::run({"validate", file, "--sp-limits", "0,1300", "--event-types", "0,50,8"});
    QVERIFY2(result.finished && result.exitCode == 1, result.describe());
    QCOMPARE(result.out, lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void tst_CliValidate::notAProgramFile_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: a file over 10 MB
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("found");

    const QByteArray text = "-\tSP1\r\nSEG1\t100 \xC2\xB0"
                            "C\r\n";
    QTest::newRow("UTF-8") << text << 1 << "is UTF-8 without a byte-order mark";
    QTest::newRow("UTF-8 with mark")
        << "\xEF\xBB\xBF" + text << 1 << "is UTF-8 with a byte-order mark";
    QTest::newRow("ASCII") << QByteArray("-\tSP1\r\nSEG1\t100\r\n") << 1 << "is plain ASCII text";
    QTest::newRow("over 10 MB") << QByteArray() << 3 << "far larger than any program file";
}

void tst_CliValidate::notAProgramFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, exitCode);
    QFETCH(QString, found);

    const QString file = m_dir.filePath(QStringLiteral("other.txt"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    if (bytes.isEmpty())
        QVERIFY(out.resize(10 * 1024 * 1024 + 1));
    else
        QCOMPARE(out.write(bytes), qint64(bytes.size()));
    out.close();
    const CliProcess::Result result =
        CliProcess::run({"validate", file, "--sp-limits", "0,10", "--event-types", "0,0,0"});
    QVERIFY2(result.finished && result.exitCode == exitCode, result.describe());
    QVERIFY(result.out.isEmpty());
    QVERIFY2(result.err.contains(found), result.describe());
    QVERIFY2(!result.err.contains(QLatin1String("No content found")), result.describe());
    if (exitCode == 1)
        QVERIFY2(result.err.contains(QLatin1String("\"Unicode text\"")), result.describe());
}

QTEST_GUILESS_MAIN(tst_CliValidate)
#include "tst_cli_validate.moc"
