// "dcp30 show" and "dcp30 plot" end to end: the table with its problems marked at their cells,
// and pictures whose curve lies where the profile library puts a known program.

#include "CliSupport.h"
#include "ProfileRenderer.h"
#include "SetpointProfile.h"

#include <QImage>
#include <QProcessEnvironment>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Demo program 1 ("ANNEAL01", 8 segments, 855 minutes) with one cell changed when row > 0.
QList<QStringList> demo(int segments, int row = 0, int column = 0, const QString &cell = {})
{
    QList<QStringList> rows = ProgramFiles::demoRows(1, segments);
    if (row > 0)
        rows[row][column] = cell;
    return rows;
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
    void show_data();
    void show();
    void plotPng_data();
    void plotPng();
    void plotSvg();
    void unwritablePicture_data();
    void unwritablePicture();

private:
    QString saved(const QString &name, const QList<QStringList> &rows)
    {
        const QString file = m_dir.filePath(name);
        return ProgramFiles::save(rows, file) ? file : QString();
    }
    QTemporaryDir m_dir;
};

void tst_CliInsight::show_data()
{
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("title");    // the column of the cell to look at
    QTest::addColumn<QString>("label");    // the row
    QTest::addColumn<QString>("cell");     // its text, marks included
    QTest::addColumn<QString>("footnote"); // a line of the problem list; empty: none

    const QStringList given{"--sp-limits", "-200,1300", "--event-types", "0,50,8"};
    QTest::newRow("valid, ranges from the controller") << demo(8) << QStringList{} << 0 << "TIME"
                                                       << "SEG4"
                                                       << "4:00"
                                                       << "";
    QTest::newRow("SP1 above the given limit")
        << demo(8) << QStringList{"--sp-limits", "0,500", "--event-types", "0,50,8"} << 1 << "SP1"
        << "SEG3"
        << "620!1"
        << "!1  SEG3 SP1: SP1 [620] is out of range (0 ~ 500).";
    QTest::newRow("TIME without colon") << demo(3, 2, 2, "0030") << given << 1 << "TIME"
                                        << "SEG2"
                                        << "0030!1"
                                        << "SEG2 TIME: The format of TM is incorrect.";
    QTest::newRow("time event pair broken")
        << demo(3, 1, 5, "40") << given << 1 << "EV2"
        << "SEG1"
        << "40/5!1"
        << "SEG1 EV2 2nd: In case of time event;  The value of EV2 2nd must be bigger";
    QTest::newRow("event range unknown without a controller")
        << demo(3, 1, 3, "-5000") << QStringList{"--port", "/nonexistent/tty"} << 0 << "EV1"
        << "SEG1"
        << "-5000/-"
        << "";
    QTest::newRow("label out of order") << demo(3, 3, 0, "SEG7") << given << 1 << "Seg"
                                        << "SEG7"
                                        << "SEG7!1"
                                        << "SEG3 label: Row 3 is labelled";
    QTest::newRow("more segments than rows")
        << demo(2) << (given + QStringList{"--segments", "3"}) << 1 << "Seg"
        << "SEG3"
        << "SEG3!1"
        << "SEG3: Segment 3 has no data in the csv file.";
}

void tst_CliInsight::show()
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
    const CliProcess::Result result = CliProcess::run(QStringList{"show", file} + options);
    QVERIFY2(result.finished && result.exitCode == exitCode, result.describe());
    const QStringList lines = result.out.split(QLatin1Char('\n'));
    QVERIFY2(lines.first().startsWith("PROG_1.txt: program 1"), result.describe());
    QVERIFY2(result.out.contains("Tag ANNEAL01"), result.describe());
    if (rows.size() == 9)
        QVERIFY2(result.out.contains("Run time 14:15 (855 min)"), result.describe());
    QVERIFY2(!result.out.contains("\x1b["), "no colour when stdout is not a terminal");
    QCOMPARE(cellUnder(lines, title, label), cell);
    if (footnote.isEmpty()) {
        QVERIFY2(result.out.contains("\nNo problems.\n"), result.describe());
    } else {
        const auto matches = [&footnote](const QString &line) {
            return line.trimmed().startsWith(footnote) || line.contains(footnote);
        };
        QVERIFY2(std::any_of(lines.begin(), lines.end(), matches), result.describe());
    }
    if (options.contains("/nonexistent/tty"))
        QVERIFY2(result.out.contains("event types unknown (event ranges not checked)") &&
                     result.err.contains("/nonexistent/tty"),
                 result.describe());
}

void tst_CliInsight::plotPng_data()
{
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<qint32>>("parameters"); // those the picture was drawn with
    QTest::addColumn<QList<int>>("marked");        // the segments drawn as failing
    QTest::addColumn<bool>("bareEnvironment");     // no display and no platform named

    QTest::newRow("demo program, default size")
        << demo(8) << QStringList{} << QSize(1200, 700) << QList<qint32>{} << QList<int>{} << false;
    QTest::newRow("smaller, no display set")
        << demo(8) << QStringList{"--width", "640", "--height", "400"} << QSize(640, 400)
        << QList<qint32>{} << QList<int>{} << true;
    QTest::newRow("single segment")
        << demo(1) << QStringList{} << QSize(1200, 700) << QList<qint32>{} << QList<int>{} << false;
    QTest::newRow("SP1 above the limit in segments 3 and 4")
        << demo(8) << QStringList{"--sp-limits", "0,500", "--event-types", "0,50,8",
                                  "--width",     "1000",  "--height",      "600"}
        << QSize(1000, 600) << QList<qint32>{0, 500, 0, 50, 8} << QList<int>{3, 4} << false;
    QTest::newRow("PID group out of range, ranges not given")
        << demo(8, 2, 19, "9") << QStringList{"--width", "900", "--height", "500"}
        << QSize(900, 500) << QList<qint32>{} << QList<int>{2} << false;
}

void tst_CliInsight::plotPng()
{
    QFETCH(QList<QStringList>, rows);
    QFETCH(QStringList, options);
    QFETCH(QSize, size);
    QFETCH(QList<qint32>, parameters);
    QFETCH(QList<int>, marked);
    QFETCH(bool, bareEnvironment);
    const QString file = saved(QStringLiteral("PROG_1.txt"), rows);
    const QString picture = m_dir.filePath(QStringLiteral("profile.png"));
    QProcess process;
    if (bareEnvironment) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QLatin1String(name));
        process.setProcessEnvironment(environment);
    }
    process.start(CliProcess::binary(), QStringList{"plot", file, "--out", picture} + options);
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             process.readAllStandardError());
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), "picture: " + picture + "\n");

    const QImage image(picture);
    QCOMPARE(image.size(), size);
    SetpointProfile profile;
    QCOMPARE(profile.build(rows, parameters), SetpointProfile::Error::None);
    ProfileRenderer renderer(profile);
    renderer.layout(QRectF(QPointF(0, 0), QSizeF(size)));
    const QRgb curve = ProfileRenderer::curveColor().rgb();
    const QRectF plot = renderer.plotRect();
    for (const SetpointProfile::Segment &segment : profile.segments()) {
        // The middle of every segment's line, and a point well off it.
        const QPointF middle = renderer.map((segment.startMinutes + segment.endMinutes) / 2.0,
                                            (segment.startSp + segment.endSp) / 2);
        bool onCurve = false;
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy)
                onCurve |= image.pixel(middle.toPoint() + QPoint(dx, dy)) == curve;
        }
        QVERIFY2(onCurve, qPrintable(QStringLiteral("segment %1").arg(segment.number)));
        const double off = middle.y() > plot.center().y() ? -plot.height() / 3 : plot.height() / 3;
        QVERIFY(image.pixel(middle.toPoint() + QPoint(0, int(off))) != curve);
        // A marked segment is washed in red under its label; the others are white there.
        const QPointF label(middle.x(), renderer.geometry().segmentLabelRect().bottom() + 3);
        const QColor under = image.pixelColor(label.toPoint());
        const bool red = under.red() > under.green() + 10 && under.red() > under.blue() + 10;
        QCOMPARE(red, marked.contains(segment.number));
    }
}

void tst_CliInsight::plotSvg()
{
    const QString file = saved(QStringLiteral("PROG_2.txt"), ProgramFiles::demoRows(2, 10));
    const QString picture = m_dir.filePath(QStringLiteral("profile.svg"));
    const CliProcess::Result result =
        CliProcess::run({"plot", file, "--out", picture, "--width", "800", "--height", "450"});
    QVERIFY2(result.finished && result.exitCode == 0, result.describe());
    QSvgRenderer svg(picture);
    QVERIFY(svg.isValid());
    QCOMPARE(svg.defaultSize(), QSize(800, 450));
    QFile text(picture);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QByteArray content = text.readAll();
    QVERIFY(content.contains("Program 2"));
    QVERIFY(content.contains("CERAMIC2"));
}

void tst_CliInsight::unwritablePicture_data()
{
    QTest::addColumn<QString>("out");    // in the test directory
    QTest::addColumn<QString>("reason"); // on stderr
    QTest::addColumn<bool>("sizeLimit"); // run under a file size limit of 512 bytes

    QTest::newRow("missing directory") << "missing/profile.png"
                                       << "Cannot write" << false;
    QTest::newRow("a directory") << "folder.png"
                                 << "Cannot write" << false;
    QTest::newRow("file size limit, old picture kept") << "old.png"
                                                       << "Cannot write" << true;
}

void tst_CliInsight::unwritablePicture()
{
    QFETCH(QString, out);
    QFETCH(QString, reason);
    QFETCH(bool, sizeLimit);
    const QString file = saved(QStringLiteral("program.txt"), demo(8));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder.png")));
    QFile old(m_dir.filePath(QStringLiteral("old.png")));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old picture") == 11);
    old.close();
    const QStringList before = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
    const QStringList words{"plot", file, "--out", m_dir.filePath(out)};
    const CliProcess::Result result =
        sizeLimit ? CliProcess::run(QStringList{"-c", "ulimit -f 1 && exec \"$0\" \"$@\"",
                                                CliProcess::binary()} +
                                        words,
                                    60000, QString(), QStringLiteral("/bin/sh"))
                  : CliProcess::run(words);
    QVERIFY2(result.finished && result.exitCode == 3, result.describe());
    QVERIFY2(result.err.contains(reason), result.describe());
    QVERIFY(result.out.isEmpty());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old picture"));
}

QTEST_MAIN(tst_CliInsight)
#include "tst_cli_insight.moc"
