#include "ControllerSimulator.h"
#include "DemoPrograms.h"
#include "ProgramFormat.h"

#include <QtTest>

namespace {

const int Unset = 0x7FFF;

// Field checks written out independently of the simulator: the controller's record layout with
// the simulator's default range parameters (SP1 -200..1300; event 1 PV type, event 2 time event,
// event 3 MV event). Answers one line per problem.
QStringList problems(int segment, const QString &rec)
{
    QStringList out;
    const int length = segment == 1 ? 120 : 92;
    if (rec.size() != length)
        return {QString("length %1 instead of %2").arg(rec.size()).arg(length)};
    if (!QRegularExpression("^[0-9A-F]*$").match(rec).hasMatch())
        out << "not upper-case hex";
    auto word = [&](int i) { return int(qint16(rec.mid(i * 4, 4).toUShort(nullptr, 16))); };
    auto check = [&](bool ok, const QString &what) {
        if (!ok)
            out << what;
    };
    auto inRange = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    auto unsetOr = [&](int v, int lo, int hi) { return v == Unset || inRange(v, lo, hi); };

    check(inRange(word(0), -200, 1300), "SP1");
    check(inRange(word(1), 0, 5999), "TIME");
    check(rec.mid(8, 4) == "0000" && rec.mid(80, 4) == "0000", "reserved words");
    check(unsetOr(word(3), -1999, 9999) && unsetOr(word(4), 0, 5999), "EV1 (PV type)");
    const int on = word(5), off = word(6);
    check((inRange(on, 0, 5999) && inRange(off, 0, 5999) && off > on) ||
              (on == 5999 && off == Unset),
          "EV2 (time event)");
    check(unsetOr(word(7), -100, 1100) && unsetOr(word(8), 0, 5999), "EV3 (MV type)");
    for (int t = 0; t < 5; ++t) {
        const int first = word(9 + 2 * t), second = word(10 + 2 * t);
        check((first == Unset && second == Unset) ||
                  (inRange(first, 0, 5999) && inRange(second, 0, 5999) && second > first),
              QString("T%1 pair").arg(t + 1));
    }
    check(inRange(word(19), 0, 8), "PID1");
    check(unsetOr(word(21), 0, 1000), "G.S");
    check(unsetOr(word(22), 0, 5999), "G.S.TO");
    if (segment == 1) {
        check(inRange(word(23), 0, 1), "P.STA");
        check(inRange(word(24), 0, 9999), "CYCL");
        check(inRange(word(25), 0, 19), "P.LIN");
        for (int i = 0; i < 8; ++i)
            check(inRange(rec.mid(104 + 2 * i, 2).toInt(nullptr, 16), 0x20, 0x5F), "Tag");
    }
    return out;
}

QString withWord(QString rec, int index, const QString &digits)
{
    return rec.replace(index * 4, 4, digits);
}

} // namespace

class tst_DemoPrograms : public QObject
{
    Q_OBJECT

private slots:
    void recordsAreValid_data();
    void recordsAreValid();
    void recordsSurviveTheDriversRoundTrip_data();
    void recordsSurviveTheDriversRoundTrip();
    void checkerRejectsBrokenRecords_data();
    void checkerRejectsBrokenRecords();
    void onlyProgramsOneToThreeAreSeeded();
    void tagsAreReadable();
};

void tst_DemoPrograms::recordsAreValid_data()
{
    QTest::addColumn<int>("program");
    for (int p = DemoPrograms::FirstProgram; p <= DemoPrograms::LastProgram; ++p)
        QTest::newRow(qPrintable(QString("program %1").arg(p))) << p;
}

void tst_DemoPrograms::recordsAreValid()
{
    QFETCH(int, program);

    ControllerSimulator sim;
    // The checks assume the simulator's default range parameters.
    QCOMPARE(sim.rangeParameters(), (QList<qint32>{-200, 1300, 0, 50, 8}));
    const QStringList records = sim.programRecords(program);
    QVERIFY(records.size() >= 8);
    QCOMPARE(records, DemoPrograms::records(program));
    for (int s = 1; s <= records.size(); ++s) {
        const QStringList found = problems(s, records.at(s - 1));
        QVERIFY2(found.isEmpty(),
                 qPrintable(QString("segment %1: %2").arg(s).arg(found.join(", "))));
    }
}

void tst_DemoPrograms::recordsSurviveTheDriversRoundTrip_data()
{
    recordsAreValid_data();
}

void tst_DemoPrograms::recordsSurviveTheDriversRoundTrip()
{
    QFETCH(int, program);

    // Read into CSV rows the way a read transfer does, then validate and rebuild each record
    // the way a write transfer does, with the ranges the controller reports.
    ControllerSimulator sim;
    ProgramFormat format;
    format.setParameters(sim.rangeParameters());
    const QStringList records = sim.programRecords(program);
    QList<QStringList> rows;
    for (int s = 1; s <= records.size(); ++s)
        format.HEX2CSV(s, records.at(s - 1) + "\x03\r\n", rows);
    QCOMPARE(rows.size(), records.size());
    for (int s = 1; s <= records.size(); ++s) {
        QString rebuilt;
        QStringList errors;
        QVERIFY2(format.validateDataRow(s, rows, rebuilt, errors),
                 qPrintable(QString("segment %1: %2").arg(s).arg(errors.join(" | "))));
        QCOMPARE(rebuilt, records.at(s - 1));
    }
}

void tst_DemoPrograms::checkerRejectsBrokenRecords_data()
{
    QTest::addColumn<int>("segment");
    QTest::addColumn<QString>("rec");
    QTest::addColumn<QString>("problem");

    const QString first = DemoPrograms::records(1).at(0);
    const QString second = DemoPrograms::records(1).at(1);
    QTest::newRow("SP1 above limit") << 2 << withWord(second, 0, "0515") << "SP1";
    QTest::newRow("SP1 below limit") << 2 << withWord(second, 0, "FF37") << "SP1";
    QTest::newRow("TIME 6000") << 2 << withWord(second, 1, "1770") << "TIME";
    QTest::newRow("reserved word") << 2 << withWord(second, 20, "0001") << "reserved words";
    QTest::newRow("time event off pair")
        << 2 << withWord(withWord(second, 5, "0005"), 6, "0005") << "EV2 (time event)";
    QTest::newRow("time event both unset")
        << 2 << withWord(withWord(second, 5, "7FFF"), 6, "7FFF") << "EV2 (time event)";
    QTest::newRow("MV event 1st") << 2 << withWord(second, 7, "FF9B") << "EV3 (MV type)";
    QTest::newRow("T pair half unset") << 2 << withWord(second, 10, "7FFF") << "T1 pair";
    QTest::newRow("PID1 9") << 2 << withWord(second, 19, "0009") << "PID1";
    QTest::newRow("P.LIN 20") << 1 << withWord(first, 25, "0014") << "P.LIN";
    QTest::newRow("tag lower case") << 1 << QString(first).replace(104, 2, "61") << "Tag";
    QTest::newRow("lower-case digit") << 2 << withWord(second, 1, "001e") << "not upper-case hex";
}

void tst_DemoPrograms::checkerRejectsBrokenRecords()
{
    QFETCH(int, segment);
    QFETCH(QString, rec);
    QFETCH(QString, problem);

    QVERIFY(problems(segment, DemoPrograms::records(1).at(segment - 1)).isEmpty());
    QVERIFY2(problems(segment, rec).contains(problem),
             qPrintable(problems(segment, rec).join(", ")));
}

void tst_DemoPrograms::onlyProgramsOneToThreeAreSeeded()
{
    ControllerSimulator sim;
    for (int p = 4; p <= ControllerSimulator::ProgramCount; ++p)
        QVERIFY(sim.programRecords(p).isEmpty());
    QVERIFY(DemoPrograms::records(0).isEmpty());
    QVERIFY(DemoPrograms::records(4).isEmpty());
}

void tst_DemoPrograms::tagsAreReadable()
{
    const QStringList expected{"ANNEAL01", "CERAMIC2", "CLIMATE3"};
    for (int p = 1; p <= 3; ++p)
        QCOMPARE(QString::fromLatin1(
                     QByteArray::fromHex(DemoPrograms::records(p).at(0).mid(104).toLatin1())),
                 expected.at(p - 1));
}

QTEST_GUILESS_MAIN(tst_DemoPrograms)
#include "tst_demoprograms.moc"
