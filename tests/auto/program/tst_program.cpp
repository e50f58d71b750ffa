// The program library: CSV rows checked against the controller's ranges and turned into
// records and back, program files loaded and checked before a write, and programs compared.

#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "ProgramDiff.h"
#include "ProgramEncoding.h"
#include "ProgramFile.h"
#include "ProgramFormat.h"
#include "TestFiles.h"
#include "TestTables.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

using TestFiles::utf16WithBom;
using TestTables::columns;
using TestTables::fetch;

namespace {

using L = QStringList;
using Rows = QList<L>;
using Finding = ProgramFile::Finding;
using Kind = ProgramFile::FindingKind;
using Difference = ProgramDiff::Difference;

const qint32 Int32Min = std::numeric_limits<qint32>::min();
const qint32 Int32Max = std::numeric_limits<qint32>::max();
const QString formatTail =
    QStringLiteral(" is incorrect.Maybe the negative symbol is not ASCII code or the value is not "
                   "number.");

L repeated(int count, const QString &text)
{
    return QVector<QString>(count, text).toList();
}

// A valid row: SP1 0, TIME 0, event 2 a time event from minute 0 to 1, nothing else set; segment
// 1 adds P.STA, CYCL, P.LIN and a tag. "title=text" edits change cells, titles as in the header.
L row(int segment, const L &edits = {})
{
    L cells = QStringLiteral("SEG%1,0,00:00,----,----,0,1,----,----").arg(segment).split(',') +
              repeated(10, "----") + L{"0", "----", "----"} +
              (segment == 1 ? L{"0", "0", "0", "TAG"} : repeated(4, "----"));
    for (const QString &edit : edits) {
        const int column = ProgramFormat::headerRow().indexOf(edit.section('=', 0, 0));
        if (column < 0)
            qFatal("no column for %s", qPrintable(edit));
        cells[column] = edit.section('=', 1);
    }
    return cells;
}

// The record of row(segment), one element a word (the tag's 8 bytes are one element).
L baseWords(int segment)
{
    const L words = QStringLiteral("0000 0000 0000 7FFF 7FFF 0000 0001 7FFF 7FFF").split(' ') +
                    repeated(10, "7FFF") + L{"0000", "0000", "7FFF", "7FFF"};
    return words + (segment == 1 ? L{"0000", "0000", "0000", "5441472020202020"} : L());
}

// A program as a read from the controller gives it.
Rows readProgram(int segments)
{
    Rows rows;
    for (int s = 1; s <= segments; ++s)
        rows << row(s, {"SP1=85", "TIME=01:30", "EV1 1st=0", "EV1 2nd=10", "EV2 1st=----",
                        "EV2 2nd=----", "T1 1st=0.10", "T1 2nd=2.00", "PID1=3"});
    rows[0][23] = "1";
    rows[0][25] = "ANNEAL  ";
    return rows;
}

// Comma-separated cells; "text*n" stands for n cells holding text.
L cells(const QString &list)
{
    static const QRegularExpression repeat(QStringLiteral("^(.*)\\*(\\d+)$"));
    L out;
    for (const QString &item : list.split(QLatin1Char(','))) {
        const QRegularExpressionMatch m = repeat.match(item);
        out += m.hasMatch() ? repeated(m.captured(2).toInt(), m.captured(1)) : L{item};
    }
    return out;
}

QString noRow(int segment)
{
    return QStringLiteral("Segment %1 has no data in the csv file. Please check it.").arg(segment);
}

struct Outcome
{
    bool ok;
    QString record;
    L errors;
};

// Validates r as the given segment's with SP1 limits -1999..9999. Event 1 has the given type,
// event 2 is a time event and event 3 a PV event left unset, so a time-event rule that leaks to
// the wrong event shows up as event 3's line.
Outcome convert(int segment, const L &r, int ev1Type = 0)
{
    ProgramFormat format;
    format.setParameters({-1999, 9999, ev1Type, 50, 0});
    Rows rows;
    for (int i = 1; i < segment; ++i)
        rows << L();
    Outcome outcome;
    outcome.ok = format.validateDataRow(segment, rows << r, outcome.record, outcome.errors);
    return outcome;
}

} // namespace

Q_DECLARE_METATYPE(ProgramEncoding::Encoding)
Q_DECLARE_METATYPE(QList<ProgramFile::Finding>)
Q_DECLARE_METATYPE(QList<ProgramDiff::Difference>)

class tst_Program : public QObject
{
    Q_OBJECT

private slots:
    void numberParsing_data()
    {
        // cell: null: no cell left; word: empty: the cell is not a number
        columns<QString, int, QString>("cell", "value", "word");

        QTest::newRow("plus") << "+5" << 5 << "0005";
        QTest::newRow("many leading zeros") << "0000000000002147483647" << 2147483647 << "FFFF";
        QTest::newRow("int min") << "-2147483648" << int(Int32Min) << "0000";
        QTest::newRow("unset") << "----" << -1 << "7FFF";
        QTest::newRow("above int max") << "2147483648" << 0 << "";
        QTest::newRow("no cell left") << QString() << 0 << "";
        QTest::newRow("decimal point") << "1.5" << 0 << "";
        QTest::newRow("full-width minus") << QString::fromUtf8("\xEF\xBC\x8D") + "5" << 0 << "";
    }

    // Parsing is seen through the SP1 cell with limits that let every 32-bit value pass.
    void numberParsing()
    {
        const auto [cell, value, word] = fetch<QString, int, QString>("cell", "value", "word");

        ProgramFormat format;
        format.setParameters({Int32Min, Int32Max, 0, 0, 0});
        const L given = cell.isNull() ? L() : L{cell, "next"};
        const bool valid = !word.isEmpty();
        const L lines = valid ? L() : L{"The format of SP1" + formatTail};
        // Once the row has failed, a cell is still judged but nothing more is appended.
        for (const bool rowFailed : {false, true}) {
            L remaining = given;
            QString out;
            L errors;
            bool noError = !rowFailed;
            qint32 parsed = 12345;
            QCOMPARE(
                format.CSVCell2HEX(remaining, out, errors, noError, QStringLiteral("SP1"), parsed),
                valid);
            QCOMPARE(noError, valid && !rowFailed);
            QCOMPARE(parsed, qint32(value));
            QCOMPARE(out, rowFailed ? QString() : word);
            QCOMPARE(remaining, given.mid(1));
            QCOMPARE(errors, lines);
        }
    }

    // Every range is checked at both limits, just inside and just outside.
    void ranges_data()
    {
        // group: the start of an event's line
        columns<QString, int, int, int, QString>("title", "eventType", "low", "high", "group");
        const auto add = [](const char *title, int low, int high, int type = 0,
                            const char *group = "") {
            QTest::newRow(qPrintable(QStringLiteral("%1, type %2").arg(title).arg(type)))
                << title << type << low << high << group;
        };

        add("SP1", -200, 1300);
        add("PID1", 0, 8);
        add("P.LIN", 0, 19);
        add("CYCL", 0, 9999);
        add("P.STA", 0, 1);
        add("G.S.", 0, 1000);
        add("G.S.TO", 0, 5999);
        add("TIME", 0, 5999);
        add("T1 2nd", 0, 5999);
        add("Tag", Int32Min, Int32Max);
        add("G.S", Int32Min, Int32Max); // no column: no range

        // An event's range depends on its type, and its line names the type's group.
        const char *pv = "In case of PV type event; ";
        const char *dev = "In case of absolute value deviation event; ";
        const char *mv = "In case of MV/MFB event; ";
        add("EV1 1st", -1999, 9999, 0, pv);
        add("EV1 1st", -1999, 9999, 1, pv);
        add("EV1 2nd", 0, 5999, 1, pv);
        add("EV2 1st", 0, 9999, 4, dev);
        add("EV2 1st", 0, 9999, 5, dev);
        add("EV2 2nd", 0, 5999, 4, dev);
        add("EV3 1st", -100, 1100, 8, mv);
        add("EV3 1st", -100, 1100, 11, mv);
        add("EV3 2nd", 0, 5999, 9, mv);
        add("EV1 1st", 0, 5999, 50, "In case of time event; ");
        add("EV2 2nd", 0, 5999, 50, "In case of time event; ");
        for (const int type : {-1, 2, 3, 6, 7, 12, 49, 51})
            add("EV3 1st", 0, 5999, type, " ");
        add("EV", 0, 5999, 0, " ");
    }

    void ranges()
    {
        const auto [title, eventType, low, high, group] =
            fetch<QString, int, int, int, QString>("title", "eventType", "low", "high", "group");

        ProgramFormat format;
        // Only the event named in the title carries the type; the others are in no group.
        const int selected = title.size() > 2 ? title.at(2).digitValue() : 0;
        format.setParameters({-200, 1300, selected == 1 ? eventType : 3,
                              selected == 2 ? eventType : 3, selected == 3 ? eventType : 3});
        for (const qint64 value : {qint64(low) - 1, qint64(low), qint64(high), qint64(high) + 1}) {
            if (value < Int32Min || value > Int32Max)
                continue;
            const bool inside = value >= low && value <= high;
            QString line = QStringLiteral("untouched");
            QCOMPARE(format.checkValueRange(title, qint32(value), line), inside);
            QCOMPARE(line, inside ? QStringLiteral("untouched")
                                  : QStringLiteral("%1%2 [%3] is out of range (%4 ~ %5).")
                                        .arg(group, title)
                                        .arg(value)
                                        .arg(low)
                                        .arg(high));
        }
    }

    // A short list leaves the parameters it does not reach; a long one is cut at five.
    void setParametersShortList()
    {
        ProgramFormat format;
        format.setParameters({1, 2, 3, 4, 5, 6});
        format.setParameters({-10, 20});
        const QList<qint32> now{format.spLowLimit, format.spHighLimit, format.ev1Type,
                                format.ev2Type, format.ev3Type};
        QCOMPARE(now, (QList<qint32>{-10, 20, 3, 4, 5}));
    }

    void rows_data()
    {
        // edits: "title=text", titles as in the header row; errors: the lines expected; none: the
        // record is checked; words: "index=digits" that differ from baseWords()
        columns<int, int, L, L, L>("segment", "ev1Type", "edits", "errors", "words");
        const auto add = [](const char *name, const L &edits, const L &errors, const L &words = {},
                            int segment = 2, int ev1Type = 0) {
            QTest::newRow(name) << segment << ev1Type << edits << errors << words;
        };

        // A segment's row is found by its position among the rows, not by its label.
        add("label not read", {"-=SEG9"}, {});
        add("segment 3, program-wide cells ignored", {"P.STA=junk", "Tag=any text at all"}, {}, {},
            3);
        add("segment 2, limits",
            {"SP1=-1", "TIME=99:59", "EV1 1st=-1999", "EV1 2nd=5999", "T5 1st=0.00", "T5 2nd=99.59",
             "PID1=8", "G.S=1000", "G.S.TO=5999"},
            {},
            {"0=FFFF", "1=176F", "3=F831", "4=176F", "17=0000", "18=176F", "19=0008", "21=03E8",
             "22=176F"});
        add("segment 1, limits", {"P.STA=1", "CYCL=9999", "P.LIN=19", "Tag=]_ Z09!@"}, {},
            {"23=0001", "24=270F", "25=0013", "26=5D5F205A30392140"}, 1);
        add("G.S named with its dot", {"G.S=1001"}, {"G.S. [1001] is out of range (0 ~ 1000)."});

        // TIME is hours:minutes, neither of them signed.
        add("TIME with spaces and plus", {"TIME= +1 : 05 "}, {}, {"1=0041"});
        add("TIME minutes above 59", {"TIME=1:75"}, {}, {"1=0087"});
        add("TIME 100:00", {"TIME=100:00"}, {"TIME [6000] is out of range (0 ~ 5999)."});
        add("TIME negative hours", {"TIME=-1:00"}, {"The format of TM's hour is incorrect."});
        add("TIME negative minutes", {"TIME=1:-5"}, {"The format of TM's minute is incorrect."});

        // T cells are hours.minutes (or whole hours), both signed.
        const auto tPair = [](int n) {
            return QStringLiteral("The value of T%1 2nd must be bigger than the value of T%1 1st.")
                .arg(n);
        };
        add("T hours and minutes", {"T1 1st=1.5", "T1 2nd=1.50", "T2 1st=2"}, {},
            {"9=0041", "10=006E", "11=0078"});
        add("T negative hours", {"T2 1st=-1", "T2 2nd=-1.00"},
            {"T2 1st [-60] is out of range (0 ~ 5999).", "T2 2nd [-60] is out of range (0 ~ 5999).",
             tPair(2)});
        add("T signed minutes", {"T2 1st=1.-5", "T2 2nd=+0.+70"}, {}, {"11=0037", "12=0046"});
        add("T equal pair", {"T5 1st=1.00", "T5 2nd=0.60"}, {tPair(5)});
        add("T out-of-range 1st still compared", {"T2 1st=100.00", "T2 2nd=1.00"},
            {"T2 1st [6000] is out of range (0 ~ 5999).", tPair(2)});
        add("T 1st value, 2nd unset", {"T2 1st=10.00"}, {}, {"11=0258"});
        add("T 1st unset, 2nd value", {"T2 2nd=0.00"}, {}, {"12=0000"});

        // A time event's 2nd is later than its 1st, or "----" after a 1st of 5999.
        const QString bigger =
            QStringLiteral("In case of time event;  The value of EV1 2nd must be "
                           "bigger than the value of EV1 1st.");
        const QString unset = QStringLiteral("In case of time event; The value of EV1 2nd must be "
                                             "[----] when the value of EV1 1st is 5999.");
        add("time event: 5999 then unset", {"EV1 1st=5999"}, {}, {"3=176F"}, 2, 50);
        add("time event: 5999 then -1", {"EV1 1st=5999", "EV1 2nd=-1"},
            {"In case of time event; EV1 2nd [-1] is out of range (0 ~ 5999).", unset}, {}, 2, 50);
        add("time event: 10 then 10", {"EV1 1st=10", "EV1 2nd=10"}, {bigger}, {}, 2, 50);
        add("time event: 10 then 11", {"EV1 1st=10", "EV1 2nd=11"}, {}, {"3=000A", "4=000B"}, 2,
            50);
        add("time event: unset then 0", {"EV1 2nd=0"}, {}, {"4=0000"}, 2, 50);
        add("time event: range line before pair line", {"EV1 1st=6000", "EV1 2nd=5"},
            {"In case of time event; EV1 1st [6000] is out of range (0 ~ 5999).", bigger}, {}, 2,
            50);
        add("PV event: no pair rule", {"EV1 1st=10", "EV1 2nd=10"}, {}, {"3=000A", "4=000A"});

        // Tag characters are upper-cased, cut to 8 and padded with spaces; 0x20..0x5F are allowed.
        const L tagLine{
            "The each character of Tag can only be Numerics, Capital letters and Symbols."};
        add("tag lower case, both ends of the span", {"Tag=a _"}, {}, {"26=41205F2020202020"}, 1);
        add("tag bad character past 8 is cut off", {"Tag=ABCDEFGH~"}, {}, {"26=4142434445464748"},
            1);
        add("tag 0x60 reported once", {"Tag=a`b`"}, tagLine, {}, 1);
    }

    void rows()
    {
        const auto [segment, ev1Type, edits, errors, words] =
            fetch<int, int, L, L, L>("segment", "ev1Type", "edits", "errors", "words");

        const Outcome outcome = convert(segment, row(segment, edits), ev1Type);
        QCOMPARE(outcome.errors, errors);
        QCOMPARE(outcome.ok, errors.isEmpty());
        if (!outcome.ok)
            return;
        L expected = baseWords(segment);
        for (const QString &w : words)
            expected[w.section('=', 0, 0).toInt()] = w.section('=', 1);
        QCOMPARE(outcome.record, expected.join(QString()));
    }

    void columnCount_data()
    {
        columns<int, int, QString>("segment", "cells", "error");

        const QString one =
            QStringLiteral("The number of columns is incorrect. 25 columns are required, "
                           "not counting the segment label, but %1 were found.");
        const QString other = QStringLiteral(
            "The number of columns is incorrect. 21 columns are required, not counting "
            "the segment label and the 4 program-wide columns, but %1 were found.");
        QTest::newRow("segment 2, 25 cells") << 2 << 25 << other.arg(20);
        QTest::newRow("segment 1, 25 cells") << 1 << 25 << one.arg(24);
        QTest::newRow("segment 2, label and 3 cells") << 2 << 4 << other.arg(0);
    }

    void columnCount()
    {
        const auto [segment, cells, error] = fetch<int, int, QString>("segment", "cells", "error");

        // Every cell is also wrong, yet the count is the only line.
        const Outcome outcome = convert(segment, repeated(cells, "x"));
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.errors, L{error});
        QVERIFY(outcome.record.isEmpty());
    }

    // Every problem of a row gets its line, in column order; a segment without a row gets one line.
    void severalProblems()
    {
        const Outcome outcome =
            convert(1,
                    row(1, {"SP1=１", "TIME=----", "EV1 1st=5999", "EV1 2nd=1", "T1 1st=0.10",
                            "T1 2nd=0.05", "T2 2nd=x", "PID1=9", "G.S.TO=-1", "CYCL=-2", "Tag=a|"}),
                    50);
        QVERIFY(!outcome.ok);
        const L expected{
            "The format of SP1" + formatTail,
            "The format of TM is incorrect. There is no \":\" symbol.",
            "In case of time event; The value of EV1 2nd must be [----] when the value of EV1 1st "
            "is 5999.",
            "The value of T1 2nd must be bigger than the value of T1 1st.",
            "The format of T2 2nd is incorrect.",
            "PID1 [9] is out of range (0 ~ 8).",
            "G.S.TO [-1] is out of range (0 ~ 5999).",
            "CYCL [-2] is out of range (0 ~ 9999).",
            "The each character of Tag can only be Numerics, Capital letters and Symbols."};
        QCOMPARE(outcome.errors, expected);

        for (int segment : {0, 3}) {
            QString record;
            L errors;
            QVERIFY(!ProgramFormat().validateDataRow(segment, {row(1), row(2)}, record, errors));
            QCOMPARE(errors, L{noRow(segment)});
        }
    }

    void hex2csv_data()
    {
        columns<int, QString, L>("segment", "indata", "row");

        const auto record = [](const L &words, int digits = 92) {
            return words.join(QString()).leftJustified(digits, QLatin1Char('0'));
        };
        const QString m = QStringLiteral("7FFF");
        QTest::newRow("all marked, 95 characters")
            << 2 << record(repeated(23, m)) + "xyz"
            << cells("SEG2,32767,546:07,----*16,32767,----*6");
        QTest::newRow("lower-case marker is a number")
            << 3
            << record({"fc18", "0041", "abcd", "7fff", "7fFF", "0000", "0000", "0000", "0000",
                       "7fff", "0041", "0078", "176F"})
            << cells("SEG3,-1000,01:05,32767,32767,0*4,546.07,1.05,2.00,99.59,0.00*6,0*3,----*4");
        QTest::newRow("unparsable digits read as 0")
            << 2 << record({"00G1", "+041", " 041", "0x7F"})
            << cells("SEG2,0,00:00,0*6,0.00*10,0*3,----*4");
        QTest::newRow("short text")
            << 4 << QStringLiteral("0041004100") << cells("SEG4,65,01:05,0*6,0.00*10,0*3,----*4");
        const L first = L{"04D2", "176F"} + repeated(17, m) +
                        QStringLiteral("0008 1234 03E8 176F 0001 270F 7FFF").split(' ');
        QTest::newRow("segment 1: P.LIN marker is a number, tag with code 0 and bad digits")
            << 1 << record(first, 104) + "4100ZZ2020202020" + "abc"
            << (cells("SEG1,1234,99:59,----*16,8,1000,5999,1,9999,32767")
                << QString::fromLatin1("A\0\0     ", 8));
        QTest::newRow("100 characters do not")
            << 1 << record({}, 100) << cells("SEG1,0,00:00,0*6,0.00*10,0*3,----*4");
    }

    void hex2csv()
    {
        const auto [segment, indata, row] = fetch<int, QString, L>("segment", "indata", "row");

        Rows rows{ProgramFormat::headerRow()};
        ProgramFormat().HEX2CSV(segment, indata, rows);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(1), row);
    }

    // A program file as a read saves it, byte for byte as the Windows target writes it.
    void savedFileBytes()
    {
        const QString record = QStringLiteral("04D2176F") + QString("7FFF").repeated(17) +
                               "0008123403E8176F0001270F0013" + "4142432020202020";
        Rows rows;
        ProgramFormat().generalHead(rows);
        ProgramFormat().HEX2CSV(1, record + "\x03\r\n", rows);
        const QString name = m_dir.filePath(QStringLiteral("PROG_1.txt"));
        QVERIFY(KCSVSaver().saveFile(rows, name));
        QCOMPARE(TestFiles::read(name).toHex(' '),
                 utf16WithBom(
                     "-\tSP1\tTIME\tEV1 1st\tEV1 2nd\tEV2 1st\tEV2 2nd\tEV3 1st\tEV3 2nd\tT1 1st\t"
                     "T1 2nd\tT2 1st\tT2 2nd\tT3 1st\tT3 2nd\tT4 1st\tT4 2nd\tT5 1st\tT5 2nd\t"
                     "PID1\tG.S\tG.S.TO\tP.STA\tCYCL\tP.LIN\tTag\r\nSEG1\t1234\t99:59\t" +
                     QString("----\t").repeated(16) + "8\t1000\t5999\t1\t9999\t19\tABC     \r\n")
                     .toHex(' '));
    }

    void findings_data()
    {
        columns<Rows, int, QList<Finding>>("rows", "segments", "expected");

        using F = QList<Finding>;
        const Kind missing = Kind::MissingRows;
        QTest::newRow("one row missing")
            << Rows{row(1)} << 2 << F{{missing, 2, -1, "Segment 2 has no row in the file."}};
        QTest::newRow("rows missing")
            << Rows{row(1)} << 4 << F{{missing, 2, -1, "Segments 2 to 4 have no row in the file."}};
    }

    void findings()
    {
        const auto [rows, segments, expected] =
            fetch<Rows, int, QList<Finding>>("rows", "segments", "expected");

        const QString name = written(Rows{ProgramFormat::headerRow()} + rows);
        QVERIFY(!name.isEmpty());
        ProgramFile file;
        QCOMPARE(file.load(name), ProgramFile::LoadResult::Loaded);
        const QList<Finding> found = file.warningFindings() + file.labelFindings(segments) +
                                     file.missingRowFindings(segments) + file.tagFindings();
        QCOMPARE(found.size(), expected.size());
        for (int i = 0; i < found.size(); ++i) {
            QCOMPARE(found.at(i).message, expected.at(i).message);
            QVERIFY(found.at(i) == expected.at(i));
        }
    }

    // A worker keeps one loader for every write: a failed load leaves nothing behind for the next.
    void reusedLoader()
    {
        KCSVLoader loader;
        ProgramFile file;
        QCOMPARE(file.load(loader, m_dir.filePath("none.txt")),
                 ProgramFile::LoadResult::CannotOpen);
        const QString name = written(Rows{ProgramFormat::headerRow(), row(1)});
        QCOMPARE(file.load(loader, name), ProgramFile::LoadResult::Loaded);
        QVERIFY(file.loaderErrors().isEmpty());
        QCOMPARE(file.rows(), Rows{row(1)});
        QCOMPARE(file.load(loader, m_dir.filePath("none.txt")),
                 ProgramFile::LoadResult::CannotOpen);
        QVERIFY(file.rows().isEmpty());
    }

    void encoding_data()
    {
        columns<QByteArray, ProgramEncoding::Encoding, bool>("bytes", "encoding",
                                                             "programEncoding");
        using E = ProgramEncoding::Encoding;
        const QString text = QStringLiteral("-\tSP1\r\nSEG1\t\u00C4\r\n");

        QTest::newRow("UTF-16LE with mark") << utf16WithBom(text) << E::Utf16Le << true;
        QTest::newRow("UTF-16LE without mark") << utf16WithBom(text).mid(2) << E::Utf16Le << true;
        QByteArray big("\xFE\xFF");
        for (const QChar c : text)
            big.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        QTest::newRow("UTF-16BE without mark") << big.mid(2) << E::Utf16BeNoBom << false;
        QTest::newRow("UTF-32") << QByteArray("\xFF\xFE\0\0-\0\0\0", 8) << E::Utf32 << false;
        QTest::newRow("ASCII") << QByteArray("-\tSP1\r\n") << E::Ascii << false;
        QTest::newRow("empty") << QByteArray() << E::Empty << false;
    }

    void encoding()
    {
        const auto [bytes, encoding, programEncoding] =
            fetch<QByteArray, ProgramEncoding::Encoding, bool>("bytes", "encoding",
                                                               "programEncoding");

        QCOMPARE(ProgramEncoding::detect(bytes), encoding);
        QCOMPARE(ProgramEncoding::isProgramEncoding(encoding), programEncoding);
        const L advice = ProgramEncoding::advice(encoding, QStringLiteral("p.txt"));
        // The advice names what was found and how to save it; none for a program file's encoding.
        QCOMPARE(advice.isEmpty(), programEncoding || encoding == ProgramEncoding::Encoding::Empty);
        if (!advice.isEmpty()) {
            QVERIFY(advice.first().contains(ProgramEncoding::name(encoding)));
            QVERIFY(advice.join('\n').contains(QLatin1String("\"Unicode text\"")));
        }
    }

    void compare_data()
    {
        // segment: the row of the second program that is changed
        columns<int, int, QString, QList<Difference>>("segment", "column", "cell", "expected");

        const QList<Difference> none;
        // Written and read back alike.
        QTest::newRow("same number, other spelling") << 2 << 1 << "+085" << none;
        QTest::newRow("time with minutes above 59") << 1 << 2 << "0:90" << none;
        QTest::newRow("time event as whole hours") << 1 << 10 << "2" << none;
        QTest::newRow("tag in lower case, unpadded") << 1 << 25 << "anneal" << none;
        QTest::newRow("unset event written as 32767") << 2 << 5 << "32767" << none;
        QTest::newRow("program-wide cells of other segments") << 2 << 23 << "7" << none;
        // Different.
        using D = QList<Difference>;
        QTest::newRow("SP1") << 3 << 1 << "58" << D{{3, 1, "85", "58"}};
        QTest::newRow("unset event against a value") << 1 << 5 << "0" << D{{1, 5, "----", "0"}};
        QTest::newRow("time event") << 1 << 10 << "2.01" << D{{1, 10, "2.00", "2.01"}};
        QTest::newRow("tag") << 1 << 25 << "ANNEAM" << D{{1, 25, "ANNEAL  ", "ANNEAM"}};
        QTest::newRow("segment beyond the compared ones") << 4 << 1 << "58" << none;
    }

    void compare()
    {
        const auto [segment, column, cell, expected] =
            fetch<int, int, QString, QList<Difference>>("segment", "column", "cell", "expected");

        const Rows left = readProgram(3);
        Rows right = readProgram(4);
        right[segment - 1][column] = cell;
        QCOMPARE(ProgramDiff::compare(left, right, 3), expected);
        // Swapped, the same cells differ with the sides swapped.
        const QList<Difference> swapped = ProgramDiff::compare(right, left, 3);
        QCOMPARE(swapped.size(), expected.size());
        for (int i = 0; i < swapped.size(); ++i)
            QCOMPARE(swapped.at(i).right, expected.at(i).left);
    }

    void describe_data()
    {
        columns<Rows, QList<int>, L>("right", "segments", "lines");

        Rows changed = readProgram(3);
        changed[2][1] = "58";
        changed[0][25] = "ANNEAM";
        changed[0][22] = "1";
        QTest::newRow("segment cells and program-wide cells")
            << changed << QList<int>{1, 2, 3}
            << L{"P.STA: wrote 0, read 1", "Tag: wrote \"ANNEAL  \", read \"ANNEAM\"",
                 "SEG3 SP1: wrote 85, read 58"};
        QTest::newRow("missing row")
            << readProgram(1) << QList<int>{1, 3} << L{"SEG3: wrote SEG3, read (no row)"};
    }

    void describe()
    {
        const auto [right, segments, lines] =
            fetch<Rows, QList<int>, L>("right", "segments", "lines");

        L described;
        for (const Difference &difference : ProgramDiff::compare(readProgram(3), right, segments))
            described << ProgramDiff::describe(difference, "wrote", "read");
        QCOMPARE(described, lines);
    }

private:
    // Writes rows as a program CSV file: UTF-16LE with a byte-order mark, tabs, CR LF.
    QString written(const Rows &rows)
    {
        const QString name = m_dir.filePath(QStringLiteral("PROG_%1.txt").arg(++m_files));
        return TestFiles::write(name, TestFiles::programCsv(rows)) ? name : QString();
    }
    QTemporaryDir m_dir;
    int m_files = 0;
};

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_program.moc"
