#include "ProgramFormat.h"

#include <QRegularExpression>
#include <QtTest>

#include <limits>

namespace {

// A record built from the given words (zeros for the rest), padded to the given length.
QString record(const QStringList &words, int digits = 92)
{
    return words.join(QString()).leftJustified(digits, QLatin1Char('0'));
}

// Comma-separated cells; "text*n" stands for n cells holding text.
QStringList cells(const QString &list)
{
    static const QRegularExpression repeat(QStringLiteral("^(.*)\\*(\\d+)$"));
    QStringList out;
    for (const QString &item : list.split(QLatin1Char(','))) {
        const QRegularExpressionMatch m = repeat.match(item);
        for (int i = 0; i < (m.hasMatch() ? m.captured(2).toInt() : 1); ++i)
            out << (m.hasMatch() ? m.captured(1) : item);
    }
    return out;
}

} // namespace

class tst_ProgramFormat : public QObject
{
    Q_OBJECT
private slots:
    void numberParsing_data();
    void numberParsing();
    void ranges_data();
    void ranges();
    void setParametersShortList();
    void hex2csv_data();
    void hex2csv();
};

void tst_ProgramFormat::numberParsing_data()
{
    QTest::addColumn<QString>("cell"); // null: no cell left
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("word"); // empty: the cell is not a number

    QTest::newRow("plus") << "+5" << 5 << "0005";
    QTest::newRow("minus one") << "-1" << -1 << "FFFF";
    QTest::newRow("many leading zeros") << "0000000000002147483647" << 2147483647 << "FFFF";
    QTest::newRow("white space around a sign") << "\t -3 \t" << -3 << "FFFD";
    QTest::newRow("int min") << "-2147483648" << int(std::numeric_limits<qint32>::min()) << "0000";
    QTest::newRow("unset") << "----" << -1 << "7FFF";
    QTest::newRow("above int max") << "2147483648" << 0 << "";
    QTest::newRow("below int min") << "-2147483649" << 0 << "";
    QTest::newRow("beyond 64 bits") << "99999999999999999999999" << 0 << "";
    QTest::newRow("blank") << "   " << 0 << "";
    QTest::newRow("no cell left") << QString() << 0 << "";
    QTest::newRow("sign alone") << "-" << 0 << "";
    QTest::newRow("space after sign") << "- 3" << 0 << "";
    QTest::newRow("double sign") << "+-3" << 0 << "";
    QTest::newRow("decimal point") << "1.5" << 0 << "";
    QTest::newRow("full-width minus") << QString::fromUtf8("\xEF\xBC\x8D") + "5" << 0 << "";
    QTest::newRow("full-width digits") << QString::fromUtf8("\xEF\xBC\x91\xEF\xBC\x92") << 0 << "";
}

// Parsing is seen through the SP1 cell with limits that let every 32-bit value pass.
void tst_ProgramFormat::numberParsing()
{
    QFETCH(QString, cell);
    QFETCH(int, value);
    QFETCH(QString, word);

    ProgramFormat format;
    format.setParameters(
        {std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), 0, 0, 0});
    const QStringList given = cell.isNull() ? QStringList() : QStringList{cell, "next"};
    const bool valid = !word.isEmpty();
    const QStringList lines =
        valid ? QStringList()
              : QStringList{"The format of SP1 is incorrect.Maybe the negative symbol is not ASCII "
                            "code or the value is not number."};
    // Once the row has failed, a cell is still judged but nothing more is appended.
    for (const bool rowFailed : {false, true}) {
        QStringList cells = given;
        QString out;
        QStringList errors;
        bool noError = !rowFailed;
        qint32 parsed = 12345;
        QCOMPARE(format.CSVCell2HEX(cells, out, errors, noError, QStringLiteral("SP1"), parsed),
                 valid);
        QCOMPARE(noError, valid && !rowFailed);
        QCOMPARE(parsed, qint32(value));
        QCOMPARE(out, rowFailed ? QString() : word);
        QCOMPARE(cells, given.mid(1));
        QCOMPARE(errors, lines);
    }
}

// Every range is checked at both limits, just inside and just outside.
void tst_ProgramFormat::ranges_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("eventType");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<QString>("group"); // the start of an event's line
    const auto add = [](const char *title, int low, int high, int type = 0,
                        const char *group = "") {
        QTest::newRow(qPrintable(QStringLiteral("%1, type %2").arg(title).arg(type)))
            << title << type << low << high << group;
    };
    const int none = std::numeric_limits<qint32>::max();

    add("SP1", -200, 1300);
    add("PID1", 0, 8);
    add("P.LIN", 0, 19);
    add("CYCL", 0, 9999);
    add("P.STA", 0, 1);
    add("G.S.", 0, 1000);
    add("G.S.TO", 0, 5999);
    add("TIME", 0, 5999);
    add("T1 1st", 0, 5999);
    add("T5 2nd", 0, 5999);
    add("Tag", -none - 1, none);
    add("G.S", -none - 1, none);

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

void tst_ProgramFormat::ranges()
{
    QFETCH(QString, title);
    QFETCH(int, eventType);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(QString, group);

    ProgramFormat format;
    // Only the event named in the title carries the type; the others are in no group.
    const int selected = title.size() > 2 ? title.at(2).digitValue() : 0;
    format.setParameters({-200, 1300, selected == 1 ? eventType : 3, selected == 2 ? eventType : 3,
                          selected == 3 ? eventType : 3});
    for (const qint64 value : {qint64(low) - 1, qint64(low), qint64(high), qint64(high) + 1}) {
        if (value < std::numeric_limits<qint32>::min() ||
            value > std::numeric_limits<qint32>::max())
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
void tst_ProgramFormat::setParametersShortList()
{
    ProgramFormat format;
    format.setParameters({1, 2, 3, 4, 5, 6});
    format.setParameters({-10, 20});
    const QList<qint32> now{format.spLowLimit, format.spHighLimit, format.ev1Type, format.ev2Type,
                            format.ev3Type};
    QCOMPARE(now, (QList<qint32>{-10, 20, 3, 4, 5}));
}

void tst_ProgramFormat::hex2csv_data()
{
    QTest::addColumn<int>("segment");
    QTest::addColumn<QString>("indata");
    QTest::addColumn<QStringList>("row");

    const QString m = QStringLiteral("7FFF");
    QTest::newRow("all marked, 95 characters")
        << 2 << record(QVector<QString>(23, m).toList()) + "xyz"
        << cells("SEG2,32767,546:07,----*16,32767,----*6");
    QTest::newRow("lower-case marker is a number")
        << 3
        << record({"fc18", "0041", "abcd", "7fff", "7fFF", "0000", "0000", "0000", "0000", "7fff",
                   "0041", "0078", "176F"})
        << cells("SEG3,-1000,01:05,32767,32767,0*4,546.07,1.05,2.00,99.59,0.00*6,0*3,----*4");
    QTest::newRow("unparsable digits read as 0") << 2 << record({"00G1", "+041", " 041", "0x7F"})
                                                 << cells("SEG2,0,00:00,0*6,0.00*10,0*3,----*4");
    QTest::newRow("short text") << 4 << QStringLiteral("0041004100")
                                << cells("SEG4,65,01:05,0*6,0.00*10,0*3,----*4");

    const QStringList first = QStringList{"04D2", "176F"} + QVector<QString>(17, m).toList() +
                              QStringLiteral("0008 1234 03E8 176F 0001 270F 0013").split(' ');
    QTest::newRow("segment 1, tag with code 0 and bad digits")
        << 1 << record(first, 104) + "4100ZZ2020202020" + "abc"
        << (cells("SEG1,1234,99:59,----*16,8,1000,5999,1,9999,19")
            << QString::fromLatin1("A\0\0     ", 8));
    QTest::newRow("101 characters reach the segment-1 fields")
        << 2 << record({}, 100) + "1"
        << (cells("SEG2,0,00:00,0*6,0.00*10,0*5,1") << QString(8, QChar(0)));
    QTest::newRow("100 characters do not")
        << 1 << record({}, 100) << cells("SEG1,0,00:00,0*6,0.00*10,0*3,----*4");
}

void tst_ProgramFormat::hex2csv()
{
    QFETCH(int, segment);
    QFETCH(QString, indata);
    QFETCH(QStringList, row);

    QList<QStringList> rows{ProgramFormat::headerRow()};
    ProgramFormat().HEX2CSV(segment, indata, rows);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(1), row);
}

QTEST_APPLESS_MAIN(tst_ProgramFormat)
#include "tst_programformat.moc"
