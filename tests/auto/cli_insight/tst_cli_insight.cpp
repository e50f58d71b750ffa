// The dcp30 tool's commands that judge and show program files: "validate" (the problems printed
// exactly as a program write logs them, with the ranges from the options or the controller),
// "show" (the table with its problems marked at their cells), "plot" (pictures of the asked size,
// failing segments named), "diff", and a file taken through LibreOffice Calc the way the README
// says.

#include "CliSupport.h"

#include <QImage>
#include <QtTest>

using CliProcess::words;

namespace {

// Demo program 1 ("ANNEAL01": 8 segments, 855 minutes, SP1 150, 150 and 620 in segments 1 to 3)
// with one cell changed when row > 0; column -1 appends a cell.
QList<QStringList> demo(int segments, int row = 0, int column = 0, const QString &cell = {})
{
    QList<QStringList> rows = ProgramFiles::demoRows(1, segments);
    if (row > 0 && column < 0)
        rows[row] << cell;
    else if (row > 0)
        rows[row][column] = cell;
    return rows;
}

QString heading(int segment)
{
    return QStringLiteral("\tSegment %1 has following format error : ").arg(segment);
}

// The text of a table line from the title column's position on, up to the next gap.
QString cellUnder(const QStringList &lines, const QString &title, const QString &label)
{
    const QString header = lines.value(lines.indexOf(QRegularExpression("^Seg\\b.*")));
    const int at =
        header.indexOf(QRegularExpression("\\b" + QRegularExpression::escape(title) + "(\\s|$)"));
    for (const QString &line : lines) {
        if (at >= 0 && (line.startsWith(label + ' ') || line.startsWith(label + '!')))
            return line.mid(at).section(QLatin1Char(' '), 0, 0);
    }
    return QString();
}

} // namespace

class tst_CliInsight : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void validate_data()
    {
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("lines"); // stdout; none: the file is valid
        QTest::addColumn<QString>("summary");   // on stderr

        const QStringList given{"--sp-limits", "0,1300", "--event-types", "0,50,8"};
        QTest::newRow("valid, ranges from the controller")
            << demo(3) << QStringList{} << QStringList{}
            << "segments 1 to 3 are valid (SP1 -200 to 1300, event types 0, 50, 8)";
        QTest::newRow("valid, fewer segments than rows, ranges given")
            << demo(3) << words("--segments 1 --sp-limits 0,700 --event-types 0,50,9")
            << QStringList{} << "segments 1 to 1 are valid (SP1 0 to 700, event types 0, 50, 9)";
        // Every segment is refused, which a write logs with one more line.
        QStringList allRefused{"Program 1:"};
        for (int segment = 1; segment <= 3; ++segment)
            allRefused << "" << heading(segment)
                       << QStringLiteral("\t\tSP1 [%1] is out of range (-300 ~ 100).")
                              .arg(segment < 3 ? 150 : 620);
        allRefused
            << ""
            << "There is no data to write out. Maybe the format of all segments are incorrect.";
        QTest::newRow("limits given, event types from the controller")
            << demo(3) << QStringList{"--sp-limits=-300,100"} << allRefused << "";

        // What a write refuses beyond the rows' own problems (the program library words them),
        // printed after the write log's lines.
        const QString problem = QStringLiteral("problem: ");
        QTest::newRow("tag of nine")
            << demo(3, 1, 25, "ANNEAL012") << given
            << QStringList{problem + "Tag \"ANNEAL012\" has more than 8 characters; only "
                                     "\"ANNEAL01\" is written."}
            << "";
        QTest::newRow("row longer than the header")
            << demo(3, 3, -1, "0") << given
            << QStringList{"Program 1:", "", heading(3),
                           "\t\tThe number of columns is incorrect. 21 columns are required, not "
                           "counting the segment label and the 4 program-wide columns, but 22 were "
                           "found.",
                           problem + "Line 4 is 1 columns more of header. A missing or extra cell "
                                     "shifts every later value of its row."}
            << "";
    }

    void validate()
    {
        QFETCH(QList<QStringList>, rows);
        QFETCH(QStringList, options);
        QFETCH(QStringList, lines);
        QFETCH(QString, summary);
        const QString file = saved(QStringLiteral("program.txt"), rows);
        QVERIFY(!file.isEmpty());
        RUN_EXPECTING(result, lines.isEmpty() ? 0 : 1,
                      CliProcess::run(QStringList{"validate", file} + options));
        QCOMPARE(result.out, lines.isEmpty() ? QString() : lines.join('\n') + QLatin1Char('\n'));
        QVERIFY2(result.err.contains(summary), result.describe());
    }

    void notAProgramFile_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: a file over 10 MB
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("found"); // on stderr

        const QByteArray text = "-\tSP1\r\nSEG1\t100 \xC2\xB0"
                                "C\r\n";
        const QString hint = QStringLiteral("\"Unicode text\"");
        QTest::newRow("UTF-8") << text << 1
                               << QStringList{"is UTF-8 without a byte-order mark", hint};
        QTest::newRow("over 10 MB")
            << QByteArray() << 3 << QStringList{"far larger than any program file"};
        QTest::newRow("header only")
            << QByteArray("\xFF\xFE-\0\t\0S\0P\0\x31\0\r\0\n\0", 16) << 1
            << QStringList{"dcp30: cannot load ", "No content found in the imported file."};
    }

    void notAProgramFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, exitCode);
        QFETCH(QStringList, found);
        const QString file = m_dir.filePath(QStringLiteral("other.txt"));
        QVERIFY(TestFiles::write(file, bytes));
        if (bytes.isEmpty())
            QVERIFY(QFile(file).resize(10 * 1024 * 1024 + 1));
        RUN_EXPECTING(
            result, exitCode,
            CliProcess::run({"validate", file, "--sp-limits", "0,10", "--event-types", "0,0,0"}));
        QVERIFY(result.out.isEmpty());
        for (const QString &text : found)
            QVERIFY2(result.err.contains(text), result.describe());
    }

    void show_data()
    {
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("title");    // the column of the cell to look at
        QTest::addColumn<QString>("label");    // the row
        QTest::addColumn<QString>("cell");     // its text, marks included
        QTest::addColumn<QString>("footnote"); // a line of the problem list; empty: none

        auto row = [](const char *name, const QList<QStringList> &rows, const QString &options,
                      int exitCode, const char *title, const char *label, const char *cell,
                      const char *footnote) {
            QTest::newRow(name) << rows << words(options) << exitCode << title << label << cell
                                << footnote;
        };
        row("valid, ranges from the controller", demo(8), "", 0, "TIME", "SEG4", "4:00", "");
        row("SP1 above the given limit", demo(8), "--sp-limits 0,500 --event-types 0,50,8", 1,
            "SP1", "SEG3", "620!1", "!1  SEG3 SP1: SP1 [620] is out of range (0 ~ 500).");
        row("event range unknown without a controller", demo(3, 1, 3, "-5000"),
            "--port /nonexistent/tty", 0, "EV1", "SEG1", "-5000/-", "");
        row("more segments than rows", demo(2),
            "--sp-limits -200,1300 --event-types 0,50,8 --segments 3", 1, "Seg", "SEG3", "SEG3!1",
            "SEG3: Segment 3 has no data in the csv file.");
    }

    void show()
    {
        QFETCH(QList<QStringList>, rows);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, title);
        QFETCH(QString, label);
        QFETCH(QString, cell);
        QFETCH(QString, footnote);
        const QString file = saved(QStringLiteral("PROG_1.txt"), rows);
        QVERIFY(!file.isEmpty());
        RUN_EXPECTING(result, exitCode, CliProcess::run(QStringList{"show", file} + options));
        const QStringList lines = result.out.split(QLatin1Char('\n'));
        QVERIFY2(lines.first().startsWith("PROG_1.txt: program 1") &&
                     result.out.contains("Tag ANNEAL01"),
                 result.describe());
        if (rows.size() == 9)
            QVERIFY2(result.out.contains("Run time 14:15 (855 min)"), result.describe());
        QVERIFY2(!result.out.contains("\x1b["), "no colour when stdout is not a terminal");
        QCOMPARE(cellUnder(lines, title, label), cell);
        QVERIFY2(result.out.contains(footnote.isEmpty() ? "\nNo problems.\n" : footnote),
                 result.describe());
        if (options.isEmpty()) // the ranges the simulated controller holds, taken by the tool
            QVERIFY2(result.out.contains("Ranges: SP1 -200 to 1300, event types 0, 50, 8 (from the "
                                         "controller at sim)"),
                     result.describe());
        if (options.contains("/nonexistent/tty"))
            QVERIFY2(result.out.contains("event types unknown (event ranges not checked)") &&
                         result.err.contains("/nonexistent/tty"),
                     result.describe());
    }

    void plotPng_data()
    {
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("marked");          // failing segments drawn
        QTest::addColumn<bool>("bareEnvironment"); // no display and no platform named

        QTest::newRow("smaller, no display set")
            << demo(8) << words("--width 640 --height 400") << QSize(640, 400) << false << true;

        // Failing segments are marked by the ranges given, or by the row alone without them.
        QTest::newRow("SP1 above the limit in segments 3 and 4")
            << demo(8) << words("--sp-limits 0,500 --event-types 0,50,8 --width 1000 --height 600")
            << QSize(1000, 600) << true << false;
        QTest::newRow("PID group out of range, ranges not given")
            << demo(8, 2, 19, "9") << QStringList{} << QSize(1200, 700) << true << false;
    }

    void plotPng()
    {
        QFETCH(QList<QStringList>, rows);
        QFETCH(QStringList, options);
        QFETCH(QSize, size);
        QFETCH(bool, marked);
        QFETCH(bool, bareEnvironment);
        const QString file = saved(QStringLiteral("PROG_1.txt"), rows);
        const QString picture = m_dir.filePath(QStringLiteral("profile.png"));
        // The tool run by env, which can drop the variables that name a display or a platform.
        const QStringList bare =
            words(bareEnvironment ? "-u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY" : "");
        RUN_EXPECTING(
            result, 0,
            CliProcess::run(
                bare + QStringList{CliProcess::binary(), "plot", file, "--out", picture} + options,
                60000, QString(), QStringLiteral("/usr/bin/env")));
        QCOMPARE(result.out, "picture: " + picture + "\n");
        QCOMPARE(result.err.contains("marked in red"), marked);
        QCOMPARE(QImage(picture).size(), size);
    }

    // A picture that cannot be written whole (here: a file size limit) leaves the old one and no
    // temporary file behind.
    void unwritablePicture()
    {
        const QString file = saved(QStringLiteral("program.txt"), demo(8));
        const QString old = m_dir.filePath(QStringLiteral("old.png"));
        QVERIFY(TestFiles::write(old, "old picture"));
        const QStringList before = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
        RUN_EXPECTING(result, 3,
                      CliProcess::run({"-c", "ulimit -f 1 && exec \"$0\" \"$@\"",
                                       CliProcess::binary(), "plot", file, "--out", old},
                                      60000, QString(), QStringLiteral("/bin/sh")));
        QVERIFY2(result.err.contains("Cannot write") && result.out.isEmpty(), result.describe());
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
        QCOMPARE(TestFiles::read(old), "old picture");
    }

    void diff_data()
    {
        QTest::addColumn<QString>("right");      // "controller:N" or the name of a changed copy
        QTest::addColumn<QList<int>>("changed"); // row, column, of the copy's cell to change ...
        QTest::addColumn<QStringList>("texts");  // ... to these texts
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines"); // stdout, sorted

        // Written differently, stored alike.
        QTest::newRow("same values, other notation")
            << "copy.txt" << QList<int>{1, 1, 1, 2} << QStringList{"0150", "0:45"} << 0
            << QStringList{};
        QTest::newRow("a setpoint and the tag")
            << "copy.txt" << QList<int>{3, 1, 1, 25} << QStringList{"600", "ANNEAL02"} << 1
            << QStringList{"SEG3 SP1: left.txt 620, copy.txt 600",
                           "Tag: left.txt \"ANNEAL01\", copy.txt \"ANNEAL02\""};
        QTest::newRow("the controller holds the file's program")
            << "controller:1" << QList<int>{} << QStringList{} << 0 << QStringList{};
    }

    // "dcp30 diff": which cells differ between two programs, and the exit status scripts rely on.
    void diff()
    {
        QFETCH(QString, right);
        QFETCH(QList<int>, changed);
        QFETCH(QStringList, texts);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        QList<QStringList> copy = demo(3);
        QVERIFY(!saved("left.txt", copy).isEmpty());
        for (int i = 0; i < texts.size(); ++i)
            copy[changed.at(2 * i)][changed.at(2 * i + 1)] = texts.at(i);
        QVERIFY(!saved("copy.txt", copy).isEmpty());
        RUN_EXPECTING(result, exitCode,
                      CliProcess::run({"diff", "left.txt", right}, 60000, m_dir.path()));
        QStringList out = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        out.sort();
        QCOMPARE(out, lines);
    }

    // The procedure the README gives (UTF-16, tab only, every column imported as Text) keeps every
    // cell, so "dcp30 validate" takes the file back. What the default import does to times is a
    // validate problem (the program suite words it).
    void throughCalc()
    {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed; scripts/deps installs it");
        // Demo program 3: TIME 00:50 in segment 1, time event T1 0.10 to 1.20 in segment 3.
        QList<QStringList> rows = ProgramFiles::demoRows(3, 5);
        rows[1][9] = QStringLiteral("0.10"); // segment 1, T1 1st
        rows[1][10] = QStringLiteral("3.50");
        const QString original = saved(QStringLiteral("program.txt"), rows);
        QVERIFY(!original.isEmpty());
        // The filter options of the text import and export: tab (9), double quote (34), UTF-16
        // (65535), from line 1, then column/format pairs (2: Text); the export quotes no text cell.
        QStringList formats;
        for (int column = 1; column <= 26; ++column)
            formats << QStringLiteral("%1/2").arg(column);
        const QString filter = QStringLiteral("Text - txt - csv (StarCalc)");
        const QString outDir = m_dir.filePath(QStringLiteral("calc"));
        const CliProcess::Result calc = CliProcess::run(
            {"-env:UserInstallation=" + QUrl::fromLocalFile(m_dir.filePath("profile")).toString(),
             "--headless",
             QStringLiteral("--infilter=%1:9,34,65535,1,%2").arg(filter, formats.join('/')),
             "--convert-to", QStringLiteral("csv:%1:9,34,65535,1,,0,false,true,true").arg(filter),
             "--outdir", outDir, original},
            120000, QString(), soffice);
        const QString saved = outDir + QStringLiteral("/program.csv");
        QVERIFY2(QFile::exists(saved), calc.describe());
        QCOMPARE(ProgramFiles::load(saved), rows);
        RUN_EXPECTING(validate, 0,
                      CliProcess::run({"validate", saved, "--sp-limits", "-200,1300",
                                       "--event-types", "0,50,8"}));
    }

private:
    QString saved(const QString &name, const QList<QStringList> &rows)
    {
        const QString file = m_dir.filePath(name);
        return ProgramFiles::save(rows, file) ? file : QString();
    }
    QTemporaryDir m_dir;
};

QTEST_MAIN(tst_CliInsight)
#include "tst_cli_insight.moc"
