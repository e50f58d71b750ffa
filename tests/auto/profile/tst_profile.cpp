#include "ProfileRenderer.h"
#include "ProfileTicks.h"
#include "ProgramFormat.h"
#include "SetpointProfile.h"
#include "TestTables.h"

#include <QtTest>

using namespace TestTables;

namespace {

using L = QStringList;

// The rows of a program written compactly: segments separated by ";", each "SP1,TIME" followed by
// "title=value" edits of other columns (titles as in the header row). Unnamed cells are "----".
QList<QStringList> rowsOf(const QString &spec)
{
    const QStringList header = ProgramFormat::headerRow();
    QList<QStringList> rows{header};
    const QStringList segments = spec.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (int s = 0; s < segments.size(); ++s) {
        const QStringList cells = segments.at(s).trimmed().split(QLatin1Char(','));
        QStringList row = QVector<QString>(header.size(), QStringLiteral("----")).toList();
        row[0] = QStringLiteral("SEG%1").arg(s + 1);
        row[1] = cells.at(0);
        row[2] = cells.at(1);
        for (const QString &edit : cells.mid(2)) {
            if (edit.isEmpty())
                continue;
            row[header.indexOf(edit.section(QLatin1Char('='), 0, 0))] =
                edit.section(QLatin1Char('='), 1);
        }
        rows << row;
    }
    return rows;
}

SetpointProfile profileOf(const QString &spec, const QList<qint32> &parameters = {})
{
    SetpointProfile profile;
    const SetpointProfile::Error error = profile.build(rowsOf(spec), parameters);
    if (error != SetpointProfile::Error::None)
        qWarning("profile did not build from %s", qPrintable(spec));
    return profile;
}

const QString rampSoak = QStringLiteral("100,00:30; 300,01:00; 300,00:15; 50,00:45");

} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

private slots:
    void layout_data()
    {
        // layout: per segment "start-end:startSp>endSp" in run minutes, "!" when unreadable
        columns<QString, QString>("spec", "layout");

        row("ramps from the previous SP1", rampSoak,
            "0-30:100>100 30-90:100>300 90-105:300>300 105-150:300>50");
        row("SP1 unset keeps the previous", "100,00:10; ----,00:20", "0-10:100>100 10-30:100>100");
        row("zero TIME steps", "100,00:10; 500,00:00; 500,00:10",
            "0-10:100>100 10-10:100>500 10-20:500>500");
        row("unreadable TIME lasts 0", "100,00:10; 200,ab:cd; 300,00:10",
            "0-10:100>100 10-10:100>200! 10-20:200>300");
        row("TIME without colon", "100,0010", "0-0:100>100!");
        row("unreadable SP1 keeps the previous", "100,00:10; 2x0,00:10",
            "0-10:100>100 10-20:100>100!");
        row("bad PID1 and event cells", "10,00:10; 10,00:10,PID1=x,EV3 2nd=1.5",
            "0-10:10>10 10-20:10>10!");
    }

    void layout()
    {
        const auto [spec, layout] = fetch<QString, QString>("spec", "layout");
        const SetpointProfile profile = profileOf(spec);
        QStringList found;
        for (const SetpointProfile::Segment &segment : profile.segments()) {
            found << QStringLiteral("%1-%2:%3>%4%5")
                         .arg(segment.startMinutes)
                         .arg(segment.endMinutes)
                         .arg(segment.startSp)
                         .arg(segment.endSp)
                         .arg(segment.unreadable ? "!" : "");
            QCOMPARE(segment.unreadable, !segment.unreadableCells.isEmpty());
        }
        QCOMPARE(found.join(' '), layout);
        QCOMPARE(profile.totalMinutes(), profile.segments().last().endMinutes);
    }

    void bands_data()
    {
        // bands: "lane segment:start-end" in run minutes
        columns<QString, QList<qint32>, QStringList>("spec", "parameters", "bands");

        const QList<qint32> ev2Time{-200, 1300, 0, 50, 8}, none;
        const QString first = QStringLiteral("0,00:30; 0,01:00,");
        row("on from 1st to 2nd", first + "T1 1st=0.05,T1 2nd=0.20", none, L{"T1 2:35-50"});
        row("2nd unset: to the end", first + "T3 1st=0.10", none, L{"T3 2:40-90"});
        row("1st unset: off", first + "T2 2nd=0.10", none, L{});
        row("2nd past the end is cut", first + "T1 1st=0.50,T1 2nd=2.00", none, L{"T1 2:80-90"});
        row("bad cell draws nothing", first + "T1 1st=0.2x,T2 1st=0.00", none, L{"T2 2:30-90"});
        row("time-type event", first + "EV2 1st=5,EV2 2nd=15", ev2Time, L{"EV2 2:35-45"});
        row("time-type event 5999 is off", first + "EV2 1st=5999", ev2Time, L{});
        row("other event types draw nothing", first + "EV1 1st=5,EV1 2nd=15,EV3 1st=5,EV3 2nd=15",
            ev2Time, L{});
        row("lanes of several segments",
            "0,00:30,T1 1st=0.00,EV2 1st=0,EV2 2nd=5; 0,00:30,T1 1st=0.00,T1 2nd=0.05", ev2Time,
            L{"T1 1:0-30", "EV2 1:0-5", "T1 2:30-35"});
    }

    void bands()
    {
        const auto [spec, parameters, bands] =
            fetch<QString, QList<qint32>, QStringList>("spec", "parameters", "bands");
        const SetpointProfile profile = profileOf(spec, parameters);
        QStringList found;
        for (const SetpointProfile::Band &band : profile.bands())
            found << QStringLiteral("%1 %2:%3-%4")
                         .arg(SetpointProfile::laneName(band.lane))
                         .arg(band.segment)
                         .arg(band.startMinutes)
                         .arg(band.endMinutes);
        QCOMPARE(found, bands);
    }

    void buildErrors_data()
    {
        columns<QString, QList<qint32>, int>("spec", "parameters", "error");

        row("header only", "", QList<qint32>(), int(SetpointProfile::Error::NoSegments));
        row("three parameters", "0,00:10", QList<qint32>{0, 100, 0},
            int(SetpointProfile::Error::IncompleteParameters));
        row("too many segments",
            QStringLiteral("0,00:01;").repeated(SetpointProfile::MaxSegments + 1), QList<qint32>(),
            int(SetpointProfile::Error::TooManySegments));
    }

    void buildErrors()
    {
        const auto [spec, parameters, error] =
            fetch<QString, QList<qint32>, int>("spec", "parameters", "error");
        SetpointProfile profile = profileOf(rampSoak);
        QCOMPARE(int(profile.build(rowsOf(spec), parameters)), error);
        QCOMPARE(profile.segments().size(), error == int(SetpointProfile::Error::None) ? 1 : 0);
        QCOMPARE(int(profile.build({}, {})), int(SetpointProfile::Error::NoSegments));
        // A picture of no size is refused before any file is touched.
        ProfileRenderer renderer(profileOf(rampSoak));
        QVERIFY(!renderer.savePng(QStringLiteral("never-written.png"), QSize(0, 300)));
        QCOMPARE(int(renderer.error()), int(ProfileRenderer::ExportError::EmptySize));
        QVERIFY(!QFile::exists(QStringLiteral("never-written.png")));
    }

    void ticks_data()
    {
        columns<int, int, double, QString>("totalMinutes", "maxTicks", "step", "lastLabel");

        row("short program in minutes", 45, 10, 5.0, "45");
        row("quarter hours", 150, 10, 15.0, "2:30");
        row("two hours", 855, 8, 120.0, "14:00");
        row("weeks", 1000000, 10, 100800.0, "15120:00");
    }

    void ticks()
    {
        const auto [totalMinutes, maxTicks, step, lastLabel] =
            fetch<int, int, double, QString>("totalMinutes", "maxTicks", "step", "lastLabel");
        const ProfileTicks::Axis time = ProfileTicks::timeAxis(totalMinutes, maxTicks);
        QCOMPARE(time.step, step);
        QCOMPARE(time.high, double(totalMinutes));
        QVERIFY(time.ticks.size() - 1 <= maxTicks);
        QCOMPARE(time.ticks.first(), 0.0);
        const bool clock = ProfileTicks::useClock(totalMinutes);
        QCOMPARE(ProfileTicks::timeLabel(time.ticks.last(), clock), lastLabel);

        // SP1 ticks on 1, 2 or 5 times a power of ten, inside the axis.
        const ProfileTicks::Axis sp = ProfileTicks::valueAxis(-45, totalMinutes, maxTicks);
        const double mantissa = sp.step / std::pow(10.0, std::floor(std::log10(sp.step)));
        QVERIFY2(qFuzzyCompare(mantissa, 1) || qFuzzyCompare(mantissa, 2) ||
                     qFuzzyCompare(mantissa, 5),
                 qPrintable(QString::number(sp.step)));
        QVERIFY((sp.high - sp.low) / sp.step <= maxTicks);
        QVERIFY(sp.ticks.first() >= sp.low && sp.ticks.last() <= sp.high);
        QVERIFY(sp.ticks.last() + sp.step > sp.high);
    }
};

QTEST_MAIN(TestProfile)
#include "tst_profile.moc"
