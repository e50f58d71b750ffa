#include "ProgramFormat.h"

#include <QtTest>

namespace {

using L = QStringList;

const QString formatTail =
    QStringLiteral(" is incorrect.Maybe the negative symbol is not ASCII code or the value is not "
                   "number.");

L repeated(int count, const QString &text)
{
    return QVector<QString>(count, text).toList();
}

// A valid row: SP1 0, TIME 0, event 2 a time event from minute 0 to 1, nothing else set; segment
// 1 adds P.STA, CYCL, P.LIN and a tag.
L baseRow(int segment)
{
    const L row = QStringLiteral("SEG%1,0,00:00,----,----,0,1,----,----").arg(segment).split(',') +
                  repeated(10, "----") + L{"0", "----", "----"};
    return row + (segment == 1 ? L{"0", "0", "0", "TAG"} : repeated(4, "----"));
}

// The record of baseRow(segment), one element a word (the tag's 8 bytes are one element).
L baseWords(int segment)
{
    const L words = QStringLiteral("0000 0000 0000 7FFF 7FFF 0000 0001 7FFF 7FFF").split(' ') +
                    repeated(10, "7FFF") + L{"0000", "0000", "7FFF", "7FFF"};
    return words + (segment == 1 ? L{"0000", "0000", "0000", "5441472020202020"} : L());
}

// baseRow(segment) with "title=text" edits, titles as in the header row.
L editedRow(int segment, const L &edits)
{
    L row = baseRow(segment);
    for (const QString &edit : edits) {
        const int column = ProgramFormat::headerRow().indexOf(edit.section('=', 0, 0));
        if (column < 0)
            qFatal("no column for %s", qPrintable(edit));
        row[column] = edit.section('=', 1);
    }
    return row;
}

struct Outcome
{
    bool ok;
    QString record;
    L errors;
};

// Validates row as the given segment's with SP1 limits -1999..9999. Event 1 has the given type,
// event 2 is a time event and event 3 a PV event left unset, so a time-event rule that leaks to
// the wrong event shows up as event 3's line.
Outcome convert(int segment, const L &row, int ev1Type = 0)
{
    ProgramFormat format;
    format.setParameters({-1999, 9999, ev1Type, 50, 0});
    QList<L> rows;
    for (int i = 1; i < segment; ++i)
        rows << L();
    rows << row;
    Outcome outcome;
    outcome.ok = format.validateDataRow(segment, rows, outcome.record, outcome.errors);
    return outcome;
}

} // namespace

class tst_ProgramValidation : public QObject
{
    Q_OBJECT
private slots:
    void rows_data();
    void rows();
    void columnCount_data();
    void columnCount();
    void severalProblems();
    void missingRow();
};

void tst_ProgramValidation::rows_data()
{
    QTest::addColumn<int>("segment");
    QTest::addColumn<int>("ev1Type");
    QTest::addColumn<L>("edits");  // "title=text", titles as in the header row
    QTest::addColumn<L>("errors"); // the lines expected; none: the record is checked
    QTest::addColumn<L>("words");  // "index=digits" that differ from baseWords()
    const auto add = [](const char *name, const L &edits, const L &errors, const L &words = {},
                        int segment = 2, int ev1Type = 0) {
        QTest::newRow(name) << segment << ev1Type << edits << errors << words;
    };

    // A segment's row is found by its position among the rows, not by its label.
    add("label not read", {"-=SEG9"}, {});
    add("segment 3, program-wide cells ignored", {"P.STA=junk", "Tag=any text at all"}, {}, {}, 3);
    add("segment 2, limits",
        {"SP1=-1", "TIME=99:59", "EV1 1st=-1999", "EV1 2nd=5999", "T5 1st=0.00", "T5 2nd=99.59",
         "PID1=8", "G.S=1000", "G.S.TO=5999"},
        {},
        {"0=FFFF", "1=176F", "3=F831", "4=176F", "17=0000", "18=176F", "19=0008", "21=03E8",
         "22=176F"});
    add("segment 1, limits", {"P.STA=1", "CYCL=9999", "P.LIN=19", "Tag=]_ Z09!@"}, {},
        {"23=0001", "24=270F", "25=0013", "26=5D5F205A30392140"}, 1);
    add("SP1 format", {"SP1=1.5"}, {"The format of SP1" + formatTail});
    add("G.S named with its dot", {"G.S=1001"}, {"G.S. [1001] is out of range (0 ~ 1000)."});

    // TIME is hours:minutes, neither of them signed.
    add("TIME with spaces and plus", {"TIME= +1 : 05 "}, {}, {"1=0041"});
    add("TIME minutes above 59", {"TIME=1:75"}, {}, {"1=0087"});
    add("TIME extra fields ignored", {"TIME=1:05:30"}, {}, {"1=0041"});
    add("TIME 100:00", {"TIME=100:00"}, {"TIME [6000] is out of range (0 ~ 5999)."});
    add("TIME beyond 32 bits in total", {"TIME=2147483647:00"},
        {"TIME [128849018820] is out of range (0 ~ 5999)."});
    add("TIME unset", {"TIME=----"}, {"The format of TM is incorrect. There is no \":\" symbol."});
    add("TIME negative hours", {"TIME=-1:00"}, {"The format of TM's hour is incorrect."});
    add("TIME hours and minutes bad", {"TIME=x:y"}, {"The format of TM's hour is incorrect."});
    add("TIME negative minutes", {"TIME=1:-5"}, {"The format of TM's minute is incorrect."});

    // T cells are hours.minutes (or whole hours), both signed.
    const auto tFormat = [](const char *cell) {
        return QStringLiteral("The format of %1 is incorrect.").arg(cell);
    };
    const auto tPair = [](int n) {
        return QStringLiteral("The value of T%1 2nd must be bigger than the value of T%1 1st.")
            .arg(n);
    };
    add("T hours and minutes", {"T1 1st=1.5", "T1 2nd=1.50", "T2 1st=2"}, {},
        {"9=0041", "10=006E", "11=0078"});
    add("T 100.00", {"T3 1st=100.00"}, {"T3 1st [6000] is out of range (0 ~ 5999)."});
    add("T negative hours", {"T2 1st=-1", "T2 2nd=-1.00"},
        {"T2 1st [-60] is out of range (0 ~ 5999).", "T2 2nd [-60] is out of range (0 ~ 5999).",
         tPair(2)});
    add("T signed minutes", {"T2 1st=1.-5", "T2 2nd=+0.+70"}, {}, {"11=0037", "12=0046"});
    add("T point and nothing", {"T1 1st=1."}, {tFormat("T1 1st")});
    add("T reversed pair", {"T1 1st=0.10", "T1 2nd=0.05"}, {tPair(1)});
    add("T equal pair", {"T5 1st=1.00", "T5 2nd=0.60"}, {tPair(5)});
    add("T out-of-range 1st still compared", {"T2 1st=100.00", "T2 2nd=1.00"},
        {"T2 1st [6000] is out of range (0 ~ 5999).", tPair(2)});
    add("T 1st value, 2nd unset", {"T2 1st=10.00"}, {}, {"11=0258"});
    add("T 1st unset, 2nd value", {"T2 2nd=0.00"}, {}, {"12=0000"});
    add("T bad 2nd only has its own line", {"T3 1st=5.00", "T3 2nd=1,00"}, {tFormat("T3 2nd")});

    // A time event's 2nd is later than its 1st, or "----" after a 1st of 5999.
    const QString bigger = QStringLiteral("In case of time event;  The value of EV1 2nd must be "
                                          "bigger than the value of EV1 1st.");
    const QString unset = QStringLiteral("In case of time event; The value of EV1 2nd must be "
                                         "[----] when the value of EV1 1st is 5999.");
    add("time event: 5999 then unset", {"EV1 1st=5999"}, {}, {"3=176F"}, 2, 50);
    add("time event: 5999 then 0", {"EV1 1st=5999", "EV1 2nd=0"}, {unset}, {}, 2, 50);
    add("time event: 5999 then -1", {"EV1 1st=5999", "EV1 2nd=-1"},
        {"In case of time event; EV1 2nd [-1] is out of range (0 ~ 5999).", unset}, {}, 2, 50);
    add("time event: 10 then 10", {"EV1 1st=10", "EV1 2nd=10"}, {bigger}, {}, 2, 50);
    add("time event: 10 then 11", {"EV1 1st=10", "EV1 2nd=11"}, {}, {"3=000A", "4=000B"}, 2, 50);
    add("time event: 10 then unset", {"EV1 1st=10"}, {bigger}, {}, 2, 50);
    add("time event: both unset", {}, {bigger}, {}, 2, 50);
    add("time event: unset then 0", {"EV1 2nd=0"}, {}, {"4=0000"}, 2, 50);
    add("time event: range line before pair line", {"EV1 1st=6000", "EV1 2nd=5"},
        {"In case of time event; EV1 1st [6000] is out of range (0 ~ 5999).", bigger}, {}, 2, 50);
    add("PV event: no pair rule", {"EV1 1st=10", "EV1 2nd=10"}, {}, {"3=000A", "4=000A"});

    // Tag characters are upper-cased, cut to 8 and padded with spaces; 0x20..0x5F are allowed.
    const L tagLine{"The each character of Tag can only be Numerics, Capital letters and Symbols."};
    add("tag lower case, both ends of the span", {"Tag=a _"}, {}, {"26=41205F2020202020"}, 1);
    add("tag bad character past 8 is cut off", {"Tag=ABCDEFGH~"}, {}, {"26=4142434445464748"}, 1);
    add("tag 0x60 reported once", {"Tag=a`b`"}, tagLine, {}, 1);
    add("tag 0x1F", {"Tag=A\x1f"}, tagLine, {}, 1);
}

void tst_ProgramValidation::rows()
{
    QFETCH(int, segment);
    QFETCH(int, ev1Type);
    QFETCH(L, edits);
    QFETCH(L, errors);
    QFETCH(L, words);

    const Outcome outcome = convert(segment, editedRow(segment, edits), ev1Type);
    QCOMPARE(outcome.errors, errors);
    QCOMPARE(outcome.ok, errors.isEmpty());
    if (!outcome.ok)
        return;
    L expected = baseWords(segment);
    for (const QString &w : words)
        expected[w.section('=', 0, 0).toInt()] = w.section('=', 1);
    QCOMPARE(outcome.record, expected.join(QString()));
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
    QTest::newRow("segment 1, 25 cells") << 1 << 25 << one.arg(24);
    QTest::newRow("segment 1, 27 cells") << 1 << 27 << one.arg(26);
    QTest::newRow("segment 1, empty row") << 1 << 0 << one.arg(0);
    QTest::newRow("segment 2, label and 3 cells") << 2 << 4 << other.arg(0);
}

void tst_ProgramValidation::columnCount()
{
    QFETCH(int, segment);
    QFETCH(int, cells);
    QFETCH(QString, error);

    // Every cell is also wrong, yet the count is the only line.
    const Outcome outcome = convert(segment, repeated(cells, "x"));
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.errors, L{error});
    QVERIFY(outcome.record.isEmpty());
}

void tst_ProgramValidation::severalProblems()
{
    const L row =
        editedRow(1, {"SP1=１", "TIME=----", "EV1 1st=5999", "EV1 2nd=1", "T1 1st=0.10",
                      "T1 2nd=0.05", "T2 2nd=x", "PID1=9", "G.S.TO=-1", "CYCL=-2", "Tag=a|"});
    const Outcome outcome = convert(1, row, 50);
    QVERIFY(!outcome.ok);
    const L expected{
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
    for (int segment : {0, 3}) {
        QString record;
        L errors;
        QVERIFY(
            !ProgramFormat().validateDataRow(segment, {baseRow(1), baseRow(2)}, record, errors));
        QCOMPARE(errors,
                 L{QStringLiteral("Segment %1 has no data in the csv file. Please check it.")
                       .arg(segment)});
    }
}

QTEST_APPLESS_MAIN(tst_ProgramValidation)
#include "tst_programvalidation.moc"
