#include "ProgramFormat.h"

#include <QtTest>

namespace {

const QString formatTail =
    QStringLiteral(" is incorrect.Maybe the negative symbol is not ASCII code or the value is not "
                   "number.");

// A valid row: SP1 0, TIME 0, nothing else set; segment 1 adds P.STA, CYCL, P.LIN and a tag.
QStringList baseRow(int segment)
{
    QStringList row{QStringLiteral("SEG%1").arg(segment), "0", "00:00"};
    for (int i = 0; i < 16; ++i)
        row << "----";
    row << "0"
        << "----"
        << "----";
    if (segment == 1)
        row << "0"
            << "0"
            << "0"
            << "TAG";
    else
        row << "----"
            << "----"
            << "----"
            << "----";
    return row;
}

// The record of baseRow(segment): word index -> digits.
QStringList baseWords(int segment)
{
    QStringList words{"0000", "0000", "0000"};
    for (int i = 0; i < 16; ++i)
        words << "7FFF";
    words << "0000"
          << "0000"
          << "7FFF"
          << "7FFF";
    if (segment == 1)
        words << "0000"
              << "0000"
              << "0000"
              << "5441472020202020";
    return words;
}

// Applies "title=text" edits, titles as in the header row.
QStringList editedRow(int segment, const QStringList &edits)
{
    QStringList row = baseRow(segment);
    const QStringList header = ProgramFormat::headerRow();
    for (const QString &edit : edits) {
        const int split = edit.indexOf(QLatin1Char('='));
        const int column = header.indexOf(edit.left(split));
        Q_ASSERT(column > 0);
        row[column] = edit.mid(split + 1);
    }
    return row;
}

struct Outcome
{
    bool ok;
    QString record;
    QStringList errors;
};

Outcome convert(int segment, const QStringList &row, const QList<qint32> &eventTypes = {0, 0, 0})
{
    ProgramFormat format;
    format.setParameters(QList<qint32>{-1999, 9999} + eventTypes);
    Outcome outcome;
    QList<QStringList> rows;
    for (int i = 1; i < segment; ++i)
        rows << QStringList();
    rows << row;
    outcome.ok = format.validateDataRow(segment, rows, outcome.record, outcome.errors);
    return outcome;
}

void addColumns()
{
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QStringList>("words"); // "index=digits" expected in the record
}

// Converts baseRow(2) with the edits and checks the lines, or the words of the record.
void checkEdits(const QList<qint32> &eventTypes, int segment = 2)
{
    QFETCH(QStringList, edits);
    QFETCH(QStringList, errors);
    QFETCH(QStringList, words);

    const Outcome outcome = convert(segment, editedRow(segment, edits), eventTypes);
    QCOMPARE(outcome.errors, errors);
    QCOMPARE(outcome.ok, errors.isEmpty());
    if (!outcome.ok)
        return;
    QStringList expected = baseWords(segment);
    for (const QString &w : words)
        expected[w.section('=', 0, 0).toInt()] = w.section('=', 1);
    QCOMPARE(outcome.record, expected.join(QString()));
}

} // namespace

class tst_ProgramValidation : public QObject
{
    Q_OBJECT
private slots:
    void records_data();
    void records();
    void columnCount_data();
    void columnCount();
    void cells_data();
    void cells() { checkEdits({0, 0, 0}); }
    void time_data();
    void time() { checkEdits({0, 0, 0}); }
    void timeEvents_data();
    void timeEvents() { checkEdits({0, 0, 0}); }
    void eventPairs_data();
    void eventPairs();
    void tag_data();
    void tag() { checkEdits({0, 0, 0}, 1); }
    void severalProblems();
    void missingRow();
};

void tst_ProgramValidation::records_data()
{
    QTest::addColumn<int>("segment");
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<int>("length");

    QTest::newRow("segment 2") << 2 << baseRow(2) << 92;
    QTest::newRow("segment 1") << 1 << baseRow(1) << 120;
    QStringList full =
        editedRow(2, {"SP1=-1", "TIME=99:59", "EV1 1st=-1999", "EV1 2nd=5999", "T5 1st=0.00",
                      "T5 2nd=99.59", "PID1=8", "G.S=1000", "G.S.TO=5999"});
    QTest::newRow("segment 2, bounds") << 2 << full << 92;
    full.replace(22, "junk");
    full.replace(25, "any text at all");
    QTest::newRow("segment 3, program-wide cells ignored") << 3 << full << 92;
    QTest::newRow("segment 1, bounds")
        << 1 << editedRow(1, {"P.STA=1", "CYCL=9999", "P.LIN=19", "Tag=]_ Z09!@"}) << 120;
}

void tst_ProgramValidation::records()
{
    QFETCH(int, segment);
    QFETCH(QStringList, row);
    QFETCH(int, length);

    const Outcome outcome = convert(segment, row);
    QVERIFY2(outcome.ok, qPrintable(outcome.errors.join('|')));
    QCOMPARE(outcome.record.size(), length);
    QVERIFY(QRegularExpression("^[0-9A-F]+$").match(outcome.record).hasMatch());
    QCOMPARE(outcome.record.mid(8, 4), QStringLiteral("0000"));
    QCOMPARE(outcome.record.mid(80, 4), QStringLiteral("0000"));
}

void tst_ProgramValidation::columnCount_data()
{
    QTest::addColumn<int>("segment");
    QTest::addColumn<int>("cells");
    QTest::addColumn<QString>("error");

    const QString one =
        QStringLiteral("The number of columns is incorrect. 25 columns are required, "
                       "not counting the segment label, but %1 were found.");
    const QString other =
        QStringLiteral("The number of columns is incorrect. 21 columns are required, not counting "
                       "the segment label and the 4 program-wide columns, but %1 were found.");
    QTest::newRow("segment 2, 25 cells") << 2 << 25 << other.arg(20);
    QTest::newRow("segment 2, 27 cells") << 2 << 27 << other.arg(22);
    QTest::newRow("segment 1, 27 cells") << 1 << 27 << one.arg(26);
    QTest::newRow("segment 1, 25 cells") << 1 << 25 << one.arg(24);
    QTest::newRow("segment 1, empty row") << 1 << 0 << one.arg(0);
    QTest::newRow("segment 2, empty row") << 2 << 0 << other.arg(0);
    QTest::newRow("segment 2, label and 3 cells") << 2 << 4 << other.arg(0);
    QTest::newRow("segment 2, label only") << 2 << 1 << other.arg(0);
    QTest::newRow("segment 1, label only") << 1 << 1 << one.arg(0);
}

void tst_ProgramValidation::columnCount()
{
    QFETCH(int, segment);
    QFETCH(int, cells);
    QFETCH(QString, error);

    // Every cell is also wrong, yet the count is the only line.
    QStringList row;
    for (int i = 0; i < cells; ++i)
        row << "x";
    const Outcome outcome = convert(segment, row);
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.errors, QStringList{error});
    QVERIFY(outcome.record.isEmpty());
}

void tst_ProgramValidation::cells_data()
{
    addColumns();
    QTest::newRow("SP1 unset") << QStringList{"SP1=----"} << QStringList() << QStringList{"0=7FFF"};
    QTest::newRow("SP1 -1") << QStringList{"SP1=-1"} << QStringList() << QStringList{"0=FFFF"};
    QTest::newRow("SP1 1.5") << QStringList{"SP1=1.5"}
                             << QStringList{"The format of SP1" + formatTail} << QStringList();
    QTest::newRow("SP1 beyond the limit")
        << QStringList{"SP1=10000"} << QStringList{"SP1 [10000] is out of range (-1999 ~ 9999)."}
        << QStringList();
    QTest::newRow("PID1 unset") << QStringList{"PID1=----"} << QStringList()
                                << QStringList{"19=7FFF"};
    QTest::newRow("G.S named with its dot")
        << QStringList{"G.S=1001"} << QStringList{"G.S. [1001] is out of range (0 ~ 1000)."}
        << QStringList();
    QTest::newRow("G.S format") << QStringList{"G.S=a"}
                                << QStringList{"The format of G.S." + formatTail} << QStringList();
    QTest::newRow("G.S.TO value") << QStringList{"G.S.TO=5999"} << QStringList()
                                  << QStringList{"22=176F"};
    QTest::newRow("event value") << QStringList{"EV2 1st=-1999", "EV2 2nd=0"} << QStringList()
                                 << QStringList{"5=F831", "6=0000"};
}

void tst_ProgramValidation::time_data()
{
    addColumns();
    QTest::newRow("01:05") << QStringList{"TIME=01:05"} << QStringList() << QStringList{"1=0041"};
    QTest::newRow("minutes above 59")
        << QStringList{"TIME=1:75"} << QStringList() << QStringList{"1=0087"};
    QTest::newRow("99:59") << QStringList{"TIME=99:59"} << QStringList() << QStringList{"1=176F"};
    QTest::newRow("spaces and plus")
        << QStringList{"TIME= +1 : 05 "} << QStringList() << QStringList{"1=0041"};
    QTest::newRow("extra parts ignored")
        << QStringList{"TIME=1:05:30"} << QStringList() << QStringList{"1=0041"};
    QTest::newRow("100:00") << QStringList{"TIME=100:00"}
                            << QStringList{"TIME [6000] is out of range (0 ~ 5999)."}
                            << QStringList();
    QTest::newRow("beyond 32 bits in total")
        << QStringList{"TIME=2147483647:00"}
        << QStringList{"TIME [128849018820] is out of range (0 ~ 5999)."} << QStringList();
    const QStringList noColon{"The format of TM is incorrect. There is no \":\" symbol."};
    QTest::newRow("unset") << QStringList{"TIME=----"} << noColon << QStringList();
    QTest::newRow("point") << QStringList{"TIME=1.05"} << noColon << QStringList();
    const QStringList hour{"The format of TM's hour is incorrect."};
    QTest::newRow("negative hours") << QStringList{"TIME=-1:00"} << hour << QStringList();
    QTest::newRow("empty hours") << QStringList{"TIME=:05"} << hour << QStringList();
    QTest::newRow("hours and minutes bad") << QStringList{"TIME=x:y"} << hour << QStringList();
    const QStringList minute{"The format of TM's minute is incorrect."};
    QTest::newRow("negative minutes") << QStringList{"TIME=1:-5"} << minute << QStringList();
    QTest::newRow("empty minutes") << QStringList{"TIME=1:"} << minute << QStringList();
}

void tst_ProgramValidation::timeEvents_data()
{
    addColumns();
    const auto format = [](int n, const char *which) {
        return QStringLiteral("The format of T%1 %2 is incorrect.").arg(n).arg(which);
    };
    const auto pair = [](int n) {
        return QStringLiteral("The value of T%1 2nd must be bigger than the value of T%1 1st.")
            .arg(n);
    };
    QTest::newRow("1.5 is 65 minutes")
        << QStringList{"T1 1st=1.5"} << QStringList() << QStringList{"9=0041"};
    QTest::newRow("1.50 is 110 minutes")
        << QStringList{"T1 1st=1.50"} << QStringList() << QStringList{"9=006E"};
    QTest::newRow("whole hours") << QStringList{"T1 1st=2"} << QStringList()
                                 << QStringList{"9=0078"};
    QTest::newRow("99.59") << QStringList{"T5 2nd=99.59"} << QStringList()
                           << QStringList{"18=176F"};
    QTest::newRow("100.00") << QStringList{"T3 1st=100.00"}
                            << QStringList{"T3 1st [6000] is out of range (0 ~ 5999)."}
                            << QStringList();
    QTest::newRow("negative hours")
        << QStringList{"T2 2nd=-1.00"} << QStringList{"T2 2nd [-60] is out of range (0 ~ 5999)."}
        << QStringList();
    QTest::newRow("signed minutes") << QStringList{"T2 1st=1.-5", "T2 2nd=+0.+70"} << QStringList()
                                    << QStringList{"11=0037", "12=0046"};
    QTest::newRow("negative total")
        << QStringList{"T2 1st=0.-1"} << QStringList{"T2 1st [-1] is out of range (0 ~ 5999)."}
        << QStringList();
    QTest::newRow("point and nothing")
        << QStringList{"T1 1st=1."} << QStringList{format(1, "1st")} << QStringList();
    QTest::newRow("nothing and point")
        << QStringList{"T4 2nd=.5"} << QStringList{format(4, "2nd")} << QStringList();
    QTest::newRow("colon") << QStringList{"T1 2nd=1:05"} << QStringList{format(1, "2nd")}
                           << QStringList();
    QTest::newRow("ordered pair") << QStringList{"T1 1st=0.05", "T1 2nd=0.10"} << QStringList()
                                  << QStringList{"9=0005", "10=000A"};
    QTest::newRow("reversed pair")
        << QStringList{"T1 1st=0.10", "T1 2nd=0.05"} << QStringList{pair(1)} << QStringList();
    QTest::newRow("equal pair") << QStringList{"T5 1st=1.00", "T5 2nd=0.60"} << QStringList{pair(5)}
                                << QStringList();
    QTest::newRow("out-of-range 1st still compared")
        << QStringList{"T2 1st=100.00", "T2 2nd=1.00"}
        << QStringList{"T2 1st [6000] is out of range (0 ~ 5999).", pair(2)} << QStringList();
    // Pairs with an unset or unreadable cell.
    QTest::newRow("both unset") << QStringList{"T1 1st=----", "T1 2nd=----"} << QStringList()
                                << QStringList{"9=7FFF", "10=7FFF"};
    QTest::newRow("1st value, 2nd unset") << QStringList{"T2 1st=10.00", "T2 2nd=----"}
                                          << QStringList() << QStringList{"11=0258", "12=7FFF"};
    QTest::newRow("1st unset, 2nd value") << QStringList{"T2 1st=----", "T2 2nd=0.00"}
                                          << QStringList() << QStringList{"11=7FFF", "12=0000"};
    QTest::newRow("bad 2nd only has its own line")
        << QStringList{"T3 1st=5.00", "T3 2nd=1,00"} << QStringList{format(3, "2nd")}
        << QStringList();
    QTest::newRow("bad 1st only has its own line")
        << QStringList{"T3 1st=abc", "T3 2nd=0.00"} << QStringList{format(3, "1st")}
        << QStringList();
}

void tst_ProgramValidation::eventPairs_data()
{
    QTest::addColumn<int>("eventType");
    addColumns();
    const QString bigger = QStringLiteral("In case of time event;  The value of EV%1 2nd must be "
                                          "bigger than the value of EV%1 1st.");
    const QString unset = QStringLiteral("In case of time event; The value of EV%1 2nd must be "
                                         "[----] when the value of EV%1 1st is 5999.");
    const QStringList none;
    QTest::newRow("time: 5999 then unset") << 50 << QStringList{"EV1 1st=5999", "EV1 2nd=----"}
                                           << none << QStringList{"3=176F", "4=7FFF"};
    QTest::newRow("time: 5999 then 0")
        << 50 << QStringList{"EV1 1st=5999", "EV1 2nd=0"} << QStringList{unset.arg(1)} << none;
    QTest::newRow("time: 5999 then bad")
        << 50 << QStringList{"EV1 1st=5999", "EV1 2nd=x"}
        << QStringList{"The format of EV1 2nd" + formatTail, unset.arg(1)} << none;
    QTest::newRow("time: 10 then 10")
        << 50 << QStringList{"EV1 1st=10", "EV1 2nd=10"} << QStringList{bigger.arg(1)} << none;
    QTest::newRow("time: 10 then 11")
        << 50 << QStringList{"EV1 1st=10", "EV1 2nd=11"} << none << QStringList{"3=000A", "4=000B"};
    QTest::newRow("time: 10 then unset")
        << 50 << QStringList{"EV1 1st=10", "EV1 2nd=----"} << QStringList{bigger.arg(1)} << none;
    QTest::newRow("time: both unset") << 50 << QStringList() << QStringList{bigger.arg(1)} << none;
    QTest::newRow("time: unset then 0")
        << 50 << QStringList{"EV1 2nd=0"} << none << QStringList{"3=7FFF", "4=0000"};
    QTest::newRow("time: range line before pair line")
        << 50 << QStringList{"EV1 1st=6000", "EV1 2nd=5"}
        << QStringList{"In case of time event; EV1 1st [6000] is out of range (0 ~ 5999).",
                       bigger.arg(1)}
        << none;
    QTest::newRow("PV: no pair rule")
        << 0 << QStringList{"EV1 1st=10", "EV1 2nd=10"} << none << QStringList{"3=000A", "4=000A"};
    QTest::newRow("PV: 5999 then 0")
        << 1 << QStringList{"EV1 1st=5999", "EV1 2nd=0"} << none << QStringList{"3=176F", "4=0000"};
    QTest::newRow("deviation: no pair rule")
        << 4 << QStringList{"EV1 1st=9999", "EV1 2nd=0"} << none << QStringList{"3=270F", "4=0000"};
    QTest::newRow("MV: no pair rule")
        << 9 << QStringList{"EV1 1st=-100", "EV1 2nd=0"} << none << QStringList{"3=FF9C", "4=0000"};
    QTest::newRow("no group: both unset")
        << 7 << QStringList() << none << QStringList{"3=7FFF", "4=7FFF"};
}

// The type is given to the event under test, event 1; events 2 and 3 stay unset with type 50
// too, so a rule leaking to the wrong event shows up as their pair line.
void tst_ProgramValidation::eventPairs()
{
    QFETCH(int, eventType);
    QFETCH(QStringList, edits);
    QFETCH(QStringList, errors);

    const QStringList others = {"EV2 1st=0", "EV2 2nd=1", "EV3 1st=0", "EV3 2nd=1"};
    QFETCH(QStringList, words);
    const Outcome outcome = convert(2, editedRow(2, others + edits), {eventType, 50, 50});
    QCOMPARE(outcome.errors, errors);
    QCOMPARE(outcome.ok, errors.isEmpty());
    for (const QString &w : words)
        QCOMPARE(outcome.record.mid(4 * w.section('=', 0, 0).toInt(), 4), w.section('=', 1));
}

void tst_ProgramValidation::tag_data()
{
    addColumns();
    const QStringList tagLine{
        "The each character of Tag can only be Numerics, Capital letters and Symbols."};
    QTest::newRow("lower case") << QStringList{"Tag=abc"} << QStringList()
                                << QStringList{"26=4142432020202020"};
    QTest::newRow("ten letters") << QStringList{"Tag=ABCDEFGHIJ"} << QStringList()
                                 << QStringList{"26=4142434445464748"};
    QTest::newRow("unset text") << QStringList{"Tag=----"} << QStringList()
                                << QStringList{"26=2D2D2D2D20202020"};
    QTest::newRow("empty") << QStringList{"Tag="} << QStringList()
                           << QStringList{"26=2020202020202020"};
    QTest::newRow("span ends") << QStringList{"Tag= _"} << QStringList()
                               << QStringList{"26=205F202020202020"};
    QTest::newRow("tilde, reported once") << QStringList{"Tag=a~b~"} << tagLine << QStringList();
    QTest::newRow("code 0") << QStringList{QString::fromLatin1("Tag=A\0B", 6)} << tagLine
                            << QStringList();
    QTest::newRow("non-ASCII") << QStringList{QString::fromUtf8("Tag=\xC3\xA9")} << tagLine
                               << QStringList();
    QTest::newRow("bad character past 8 is cut off")
        << QStringList{"Tag=ABCDEFGH~"} << QStringList() << QStringList{"26=4142434445464748"};
    QTest::newRow("P.STA 2") << QStringList{"P.STA=2"}
                             << QStringList{"P.STA [2] is out of range (0 ~ 1)."} << QStringList();
    QTest::newRow("CYCL and P.LIN") << QStringList{"CYCL=10000", "P.LIN=20"}
                                    << QStringList{"CYCL [10000] is out of range (0 ~ 9999).",
                                                   "P.LIN [20] is out of range (0 ~ 19)."}
                                    << QStringList();
    QTest::newRow("program-wide values")
        << QStringList{"P.STA=1", "CYCL=9999", "P.LIN=----"} << QStringList()
        << QStringList{"23=0001", "24=270F", "25=7FFF"};
}

void tst_ProgramValidation::severalProblems()
{
    const QStringList row =
        editedRow(1, {"SP1=１", "TIME=----", "EV1 1st=5999", "EV1 2nd=1", "T1 1st=0.10",
                      "T1 2nd=0.05", "T2 2nd=x", "PID1=9", "G.S.TO=-1", "CYCL=-2", "Tag=a|"});
    const Outcome outcome = convert(1, row, {50, 0, 0});
    QVERIFY(!outcome.ok);
    const QStringList expected{
        "The format of SP1" + formatTail,
        "The format of TM is incorrect. There is no \":\" symbol.",
        "In case of time event; The value of EV1 2nd must be [----] when the value of EV1 1st is "
        "5999.",
        "The value of T1 2nd must be bigger than the value of T1 1st.",
        "The format of T2 2nd is incorrect.",
        "PID1 [9] is out of range (0 ~ 8).",
        "G.S.TO [-1] is out of range (0 ~ 5999).",
        "CYCL [-2] is out of range (0 ~ 9999).",
        "The each character of Tag can only be Numerics, Capital letters and Symbols."};
    QCOMPARE(outcome.errors, expected);
}

void tst_ProgramValidation::missingRow()
{
    ProgramFormat format;
    const QList<QStringList> rows{baseRow(1), baseRow(2)};
    for (int segment : {0, -1, 3}) {
        QString record;
        QStringList errors;
        QVERIFY(!format.validateDataRow(segment, rows, record, errors));
        QCOMPARE(errors, QStringList{QStringLiteral("Segment %1 has no data in the csv file. "
                                                    "Please check it.")
                                         .arg(segment)});
    }
    // The row is found by position, not by its label, and the rows are left as they were.
    QList<QStringList> relabelled{baseRow(1), baseRow(2)};
    relabelled[1][0] = "SEG9";
    const QList<QStringList> before = relabelled;
    QString record;
    QStringList errors;
    QVERIFY(format.validateDataRow(2, relabelled, record, errors));
    QCOMPARE(record, baseWords(2).join(QString()));
    QCOMPARE(relabelled, before);
}

QTEST_APPLESS_MAIN(tst_ProgramValidation)
#include "tst_programvalidation.moc"
