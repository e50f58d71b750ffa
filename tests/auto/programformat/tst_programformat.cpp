#include "ProgramFormat.h"

#include <QRandomGenerator>
#include <QtTest>

#include <limits>

namespace {

// One record word as the controller writes it: 4 upper-case digits of the 16-bit pattern.
QString word(int value)
{
    return QString::asprintf("%04X", unsigned(value) & 0xFFFFu);
}

// A record built from the given words (zeros for the rest), padded to the common length.
QString record(const QStringList &words, int digits = 92)
{
    return words.join(QString()).leftJustified(digits, QLatin1Char('0'));
}

QString tagDigits(const QByteArray &tag)
{
    return QString::fromLatin1(tag.toHex().toUpper());
}

QStringList unsetCells(int count)
{
    QStringList cells;
    for (int i = 0; i < count; ++i)
        cells << QStringLiteral("----");
    return cells;
}

} // namespace

class tst_ProgramFormat : public QObject
{
    Q_OBJECT
private slots:
    void headerRow();
    void numberParsing_data();
    void numberParsing();
    void unsetCellKeepsNoError();
    void ranges_data();
    void ranges();
    void setParametersShortList();
    void hex2csv_data();
    void hex2csv();
    void roundTrip();
    void knownAsymmetries_data();
    void knownAsymmetries();
};

void tst_ProgramFormat::headerRow()
{
    const QStringList header = ProgramFormat::headerRow();
    QCOMPARE(header.size(), 26);
    QCOMPARE(header.first(), QStringLiteral("-"));
    QCOMPARE(header.at(20), QStringLiteral("G.S"));
    QCOMPARE(header.last(), QStringLiteral("Tag"));
    QList<QStringList> rows{{QStringLiteral("x")}};
    ProgramFormat().generalHead(rows);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(1), header);
}

void tst_ProgramFormat::numberParsing_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("word");

    QTest::newRow("zero") << "0" << true << 0 << "0000";
    QTest::newRow("plus") << "+5" << true << 5 << "0005";
    QTest::newRow("minus one") << "-1" << true << -1 << "FFFF";
    QTest::newRow("signed leading zeros") << "-0010" << true << -10 << "FFF6";
    QTest::newRow("many leading zeros") << "0000000000002147483647" << true << 2147483647 << "FFFF";
    QTest::newRow("spaces around") << "  12  " << true << 12 << "000C";
    QTest::newRow("tabs around sign") << "\t-3\t" << true << -3 << "FFFD";
    QTest::newRow("int max") << "2147483647" << true << 2147483647 << "FFFF";
    QTest::newRow("int min") << "-2147483648" << true << int(std::numeric_limits<qint32>::min())
                             << "0000";
    QTest::newRow("above int max") << "2147483648" << false << 0 << "";
    QTest::newRow("below int min") << "-2147483649" << false << 0 << "";
    QTest::newRow("beyond 64 bits") << "99999999999999999999999" << false << 0 << "";
    QTest::newRow("empty") << "" << false << 0 << "";
    QTest::newRow("blank") << "   " << false << 0 << "";
    QTest::newRow("sign alone") << "-" << false << 0 << "";
    QTest::newRow("space after sign") << "- 3" << false << 0 << "";
    QTest::newRow("double sign") << "+-3" << false << 0 << "";
    QTest::newRow("decimal point") << "1.5" << false << 0 << "";
    QTest::newRow("group separator") << "1,000" << false << 0 << "";
    QTest::newRow("hex prefix") << "0x10" << false << 0 << "";
    QTest::newRow("full-width minus") << QString::fromUtf8("\xEF\xBC\x8D"
                                                           "5")
                                      << false << 0 << "";
    QTest::newRow("minus sign U+2212") << QString::fromUtf8("\xE2\x88\x92"
                                                            "5")
                                       << false << 0 << "";
    QTest::newRow("full-width digits")
        << QString::fromUtf8("\xEF\xBC\x91\xEF\xBC\x92") << false << 0 << "";
}

// Parsing is seen through the SP1 cell with limits that let every 32-bit value pass.
void tst_ProgramFormat::numberParsing()
{
    QFETCH(QString, cell);
    QFETCH(bool, valid);
    QFETCH(int, value);
    QFETCH(QString, word);

    ProgramFormat format;
    format.setParameters(
        {std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), 0, 0, 0});
    QStringList cells{cell, QStringLiteral("next")};
    QString out;
    QStringList errors;
    bool noError = true;
    qint32 decValue = 12345;
    const bool result =
        format.CSVCell2HEX(cells, out, errors, noError, QStringLiteral("SP1"), decValue);

    QCOMPARE(result, valid);
    QCOMPARE(noError, valid);
    QCOMPARE(decValue, qint32(value));
    QCOMPARE(out, word);
    QCOMPARE(cells, QStringList{QStringLiteral("next")});
    const QStringList expectedErrors =
        valid ? QStringList()
              : QStringList{QStringLiteral("The format of SP1 is incorrect.Maybe the negative "
                                           "symbol is not ASCII code or the value is not number.")};
    QCOMPARE(errors, expectedErrors);
}

void tst_ProgramFormat::unsetCellKeepsNoError()
{
    ProgramFormat format;
    QStringList cells{QStringLiteral("----"), QStringLiteral("----")};
    QString out;
    QStringList errors;
    bool noError = true;
    qint32 value = 0;
    QVERIFY(format.CSVCell2HEX(cells, out, errors, noError, QStringLiteral("G.S."), value));
    QCOMPARE(out, QStringLiteral("7FFF"));
    QCOMPARE(value, -1);
    // Once the row has failed, nothing more is appended, but the cell itself is fine.
    noError = false;
    QVERIFY(format.CSVCell2HEX(cells, out, errors, noError, QStringLiteral("G.S."), value));
    QCOMPARE(out, QStringLiteral("7FFF"));
    QVERIFY(errors.isEmpty());
    // A missing cell is an empty one.
    QVERIFY(!format.CSVCell2HEX(cells, out, errors, noError, QStringLiteral("PID1"), value));
    QCOMPARE(errors.size(), 1);
}

void tst_ProgramFormat::ranges_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("eventType");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("error");

    const QString none;
    QTest::newRow("SP1 low bound") << "SP1" << 0 << -200 << none;
    QTest::newRow("SP1 high bound") << "SP1" << 0 << 1300 << none;
    QTest::newRow("SP1 below") << "SP1" << 0 << -201 << "SP1 [-201] is out of range (-200 ~ 1300).";
    QTest::newRow("SP1 above") << "SP1" << 0 << 1301 << "SP1 [1301] is out of range (-200 ~ 1300).";
    QTest::newRow("P.LIN 19") << "P.LIN" << 0 << 19 << none;
    QTest::newRow("P.LIN 20") << "P.LIN" << 0 << 20 << "P.LIN [20] is out of range (0 ~ 19).";
    QTest::newRow("P.LIN -1") << "P.LIN" << 0 << -1 << "P.LIN [-1] is out of range (0 ~ 19).";
    QTest::newRow("CYCL 9999") << "CYCL" << 0 << 9999 << none;
    QTest::newRow("CYCL 10000") << "CYCL" << 0 << 10000
                                << "CYCL [10000] is out of range (0 ~ 9999).";
    QTest::newRow("P.STA 1") << "P.STA" << 0 << 1 << none;
    QTest::newRow("P.STA 2") << "P.STA" << 0 << 2 << "P.STA [2] is out of range (0 ~ 1).";
    QTest::newRow("G.S. 1000") << "G.S." << 0 << 1000 << none;
    QTest::newRow("G.S. 1001") << "G.S." << 0 << 1001 << "G.S. [1001] is out of range (0 ~ 1000).";
    QTest::newRow("G.S without dot has no range") << "G.S" << 0 << 5000 << none;
    QTest::newRow("G.S.TO 5999") << "G.S.TO" << 0 << 5999 << none;
    QTest::newRow("G.S.TO 6000") << "G.S.TO" << 0 << 6000
                                 << "G.S.TO [6000] is out of range (0 ~ 5999).";
    QTest::newRow("PID1 0") << "PID1" << 0 << 0 << none;
    QTest::newRow("PID1 8") << "PID1" << 0 << 8 << none;
    QTest::newRow("PID1 9") << "PID1" << 0 << 9 << "PID1 [9] is out of range (0 ~ 8).";
    QTest::newRow("TIME 6000") << "TIME" << 0 << 6000 << "TIME [6000] is out of range (0 ~ 5999).";
    QTest::newRow("T5 2nd 5999") << "T5 2nd" << 0 << 5999 << none;
    QTest::newRow("T1 1st -1") << "T1 1st" << 0 << -1 << "T1 1st [-1] is out of range (0 ~ 5999).";
    QTest::newRow("Tag has no range") << "Tag" << 0 << -7 << none;
    QTest::newRow("TIME lower case has no range") << "time" << 0 << -7 << none;

    const QString pv = QStringLiteral("In case of PV type event; ");
    QTest::newRow("PV 1st -1999") << "EV1 1st" << 0 << -1999 << none;
    QTest::newRow("PV 1st -2000") << "EV1 1st" << 0 << -2000
                                  << pv + "EV1 1st [-2000] is out of range (-1999 ~ 9999).";
    QTest::newRow("PV type 1 1st 9999") << "EV1 1st" << 1 << 9999 << none;
    QTest::newRow("PV 2nd -1") << "EV1 2nd" << 1 << -1
                               << pv + "EV1 2nd [-1] is out of range (0 ~ 5999).";
    QTest::newRow("PV 2nd 6000") << "EV1 2nd" << 0 << 6000
                                 << pv + "EV1 2nd [6000] is out of range (0 ~ 5999).";
    const QString dev = QStringLiteral("In case of absolute value deviation event; ");
    QTest::newRow("deviation 1st 9999") << "EV2 1st" << 4 << 9999 << none;
    QTest::newRow("deviation 1st -1")
        << "EV2 1st" << 5 << -1 << dev + "EV2 1st [-1] is out of range (0 ~ 9999).";
    QTest::newRow("deviation 2nd 6000")
        << "EV2 2nd" << 4 << 6000 << dev + "EV2 2nd [6000] is out of range (0 ~ 5999).";
    const QString mv = QStringLiteral("In case of MV/MFB event; ");
    QTest::newRow("MV 1st -100") << "EV2 1st" << 8 << -100 << none;
    QTest::newRow("MV 1st -101") << "EV2 1st" << 8 << -101
                                 << mv + "EV2 1st [-101] is out of range (-100 ~ 1100).";
    QTest::newRow("MV type 11 1st 1100") << "EV2 1st" << 11 << 1100 << none;
    QTest::newRow("MV type 11 1st 1101")
        << "EV2 1st" << 11 << 1101 << mv + "EV2 1st [1101] is out of range (-100 ~ 1100).";
    QTest::newRow("time 2nd 6000") << "EV3 2nd" << 50 << 6000
                                   << "In case of time event; EV3 2nd [6000] is out of range (0 ~ "
                                      "5999).";
    QTest::newRow("time 1st -1") << "EV3 1st" << 50 << -1
                                 << "In case of time event; EV3 1st [-1] is out of range (0 ~ "
                                    "5999).";
    QTest::newRow("no group type 3")
        << "EV1 1st" << 3 << -5 << " EV1 1st [-5] is out of range (0 ~ 5999).";
    QTest::newRow("no group type 12") << "EV1 1st" << 12 << 5999 << none;
    QTest::newRow("negative type is no group")
        << "EV1 1st" << -1 << -1 << " EV1 1st [-1] is out of range (0 ~ 5999).";
    QTest::newRow("title EV alone")
        << "EV" << 0 << 6000 << " EV [6000] is out of range (0 ~ 5999).";
}

void tst_ProgramFormat::ranges()
{
    QFETCH(QString, title);
    QFETCH(int, eventType);
    QFETCH(int, value);
    QFETCH(QString, error);

    ProgramFormat format;
    // Only the event named in the title carries the type; the others are in no group.
    const int selected = title.size() > 2 ? title.at(2).digitValue() : 0;
    format.setParameters({-200, 1300, selected == 1 ? eventType : 3, selected == 2 ? eventType : 3,
                          selected == 3 ? eventType : 3});
    QString line = QStringLiteral("untouched");
    QCOMPARE(format.checkValueRange(title, value, line), error.isEmpty());
    QCOMPARE(line, error.isEmpty() ? QStringLiteral("untouched") : error);
}

void tst_ProgramFormat::setParametersShortList()
{
    ProgramFormat format;
    format.setParameters({1, 2, 3, 4, 5, 6});
    format.setParameters({-10, 20});
    QCOMPARE(format.spLowLimit, -10);
    QCOMPARE(format.spHighLimit, 20);
    QCOMPARE(format.ev1Type, 3);
    QCOMPARE(format.ev3Type, 5);
    format.setParameters({});
    QCOMPARE(format.spLowLimit, -10);

    // Limits the wrong way round let no SP1 value pass.
    format.setParameters({100, 0});
    QString error;
    QVERIFY(!format.checkValueRange(QStringLiteral("SP1"), 50, error));
    QCOMPARE(error, QStringLiteral("SP1 [50] is out of range (100 ~ 0)."));
}

void tst_ProgramFormat::hex2csv_data()
{
    QTest::addColumn<int>("segment");
    QTest::addColumn<QString>("indata");
    QTest::addColumn<QStringList>("row");

    const QString m = QStringLiteral("7FFF");
    const QString zeroT = QStringLiteral("0.00");
    QStringList zeroTimes;
    for (int i = 0; i < 10; ++i)
        zeroTimes << zeroT;

    QTest::newRow("all marked, 95 characters")
        << 2
        << record({m, m, m, m, m, m, m, m, m, m, m, m, m, m, m, m, m, m, m, m, m, m, m}) + "xyz"
        << (QStringList{"SEG2", "32767", "546:07"} + unsetCells(16) << "32767"
                                                                    << "----"
                                                                    << "----"
                                                                    << "----"
                                                                    << "----"
                                                                    << "----"
                                                                    << "----");
    QTest::newRow("lower-case marker is a number")
        << 3
        << record({"fc18", "0041", "abcd", "7fff", "7fFF", "0000", "0000", "0000", "0000", "7fff",
                   "0041", "0078", "176F", "0000"})
        << (QStringList{"SEG3", "-1000", "01:05", "32767", "32767", "0", "0", "0", "0", "546.07",
                        "1.05", "2.00", "99.59"} +
            zeroTimes.mid(4) + QStringList{"0", "0", "0"} + unsetCells(4));
    QTest::newRow("time formats") << 10
                                  << record({"0000", word(6000), "0000", "0000", "0000", "0000",
                                             "0000", "0000", "0000", "0000"})
                                  << (QStringList{"SEG10", "0", "100:00", "0", "0", "0", "0", "0",
                                                  "0"} +
                                      zeroTimes + QStringList{"0", "0", "0"} + unsetCells(4));
    QTest::newRow("unparsable digits read as 0")
        << 2 << record({"00G1", "+041", " 041", "0x7F"})
        << (QStringList{"SEG2", "0", "00:00", "0", "0", "0", "0", "0", "0"} + zeroTimes +
            QStringList{"0", "0", "0"} + unsetCells(4));
    QTest::newRow("short text") << 4 << QStringLiteral("0041004100")
                                << (QStringList{"SEG4", "65", "01:05", "0", "0", "0", "0", "0",
                                                "0"} +
                                    zeroTimes + QStringList{"0", "0", "0"} + unsetCells(4));
    QTest::newRow("empty text") << 5 << QString()
                                << (QStringList{"SEG5", "0", "00:00", "0", "0", "0", "0", "0",
                                                "0"} +
                                    zeroTimes + QStringList{"0", "0", "0"} + unsetCells(4));

    QStringList first{word(1234), word(5999)};
    for (int i = 0; i < 17; ++i)
        first << m;
    first << "0008"
          << "1234"
          << "03E8" << word(5999) << "0001" << word(9999) << "0013";
    const QStringList firstRow = QStringList{"SEG1", "1234", "99:59"} + unsetCells(16) +
                                 QStringList{"8", "1000", "5999", "1", "9999", "19"};
    QTest::newRow("segment 1, tag with spaces")
        << 1 << record(first, 104) + tagDigits("ABC     ") + "abc"
        << (firstRow + QStringList{"ABC     "});
    QTest::newRow("segment 1, tag with code 0 and bad digits")
        << 1 << record(first, 104) + "4100ZZ2020202020" + "abc"
        << (firstRow + QStringList{QString::fromLatin1("A\0\0     ", 8)});
    QTest::newRow("101 characters reach the segment-1 fields")
        << 2 << record({}, 100) + "1"
        << (QStringList{"SEG2", "0", "00:00", "0", "0", "0", "0", "0", "0"} + zeroTimes +
            QStringList{"0", "0", "0", "0", "0", "1", QString(8, QChar(0))});
    QTest::newRow("100 characters do not")
        << 1 << record({}, 100)
        << (QStringList{"SEG1", "0", "00:00", "0", "0", "0", "0", "0", "0"} + zeroTimes +
            QStringList{"0", "0", "0"} + unsetCells(4));
}

void tst_ProgramFormat::hex2csv()
{
    QFETCH(int, segment);
    QFETCH(QString, indata);
    QFETCH(QStringList, row);

    QList<QStringList> rows{ProgramFormat::headerRow()};
    const QString before = indata;
    ProgramFormat().HEX2CSV(segment, indata, rows);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(1).size(), 26);
    QCOMPARE(rows.at(1), row);
    QCOMPARE(indata, before);
}

// Records drawn within the controller's ranges survive HEX2CSV followed by CSV2HEX unchanged.
void tst_ProgramFormat::roundTrip()
{
    const quint32 seed = 20240611;
    qInfo("round trip seed %u", seed);
    QRandomGenerator random(seed);
    const auto between = [&random](int low, int high) { return random.bounded(low, high + 1); };
    const int eventTypes[] = {0, 1, 3, 4, 5, 8, 9, 10, 11, 50};
    const QString marker = QStringLiteral("7FFF");

    for (int round = 0; round < 4000; ++round) {
        ProgramFormat format;
        QList<qint32> paras{between(-1999, 0), between(1, 9999)};
        for (int n = 0; n < 3; ++n)
            paras << eventTypes[random.bounded(10)];
        format.setParameters(paras);
        const int segment = random.bounded(4) == 0 ? 1 : between(2, 30);

        QStringList words{word(between(paras[0], paras[1])), word(between(0, 5999)), "0000"};
        for (int n = 0; n < 3; ++n) {
            const int type = paras[2 + n];
            int low = 0, high = 5999;
            if (type == 0 || type == 1)
                low = -1999, high = 9999;
            else if (type == 4 || type == 5)
                high = 9999;
            else if (type >= 8 && type <= 11)
                low = -100, high = 1100;
            const int first = between(low, high);
            QString second = random.bounded(3) == 0 ? marker : word(between(0, 5999));
            if (type == 50) {
                // A time event needs "----" after 5999 and otherwise a later 2nd value.
                second = first == 5999 ? marker : word(between(first + 1, 5999));
            }
            words << (random.bounded(4) == 0 && type != 50 ? marker : word(first)) << second;
        }
        for (int n = 0; n < 5; ++n) {
            const int first = between(0, 5998);
            switch (random.bounded(4)) {
            case 0:
                words << marker << marker;
                break;
            case 1:
                words << word(first) << marker;
                break;
            case 2:
                words << marker << word(first);
                break;
            default:
                words << word(first) << word(between(first + 1, 5999));
                break;
            }
        }
        words << word(between(0, 8)) << "0000";
        words << (random.bounded(3) == 0 ? marker : word(between(0, 1000)));
        words << (random.bounded(3) == 0 ? marker : word(between(0, 5999)));
        if (segment == 1) {
            words << word(between(0, 1)) << word(between(0, 9999)) << word(between(0, 19));
            QByteArray tag;
            for (int i = 0; i < 8; ++i)
                tag += char(between(0x20, 0x5F));
            words << tagDigits(tag);
        }
        const QString expected = words.join(QString());
        QCOMPARE(expected.size(), segment == 1 ? 120 : 92);

        QList<QStringList> rows;
        format.HEX2CSV(segment, expected + "%03", rows);
        QString rebuilt;
        QStringList errors;
        QStringList cells = rows.first();
        if (!format.CSV2HEX(segment, cells, rebuilt, errors) || rebuilt != expected) {
            qWarning() << "round" << round << "row" << rows.first() << "errors" << errors;
            QCOMPARE(rebuilt, expected);
        }
        QVERIFY(errors.isEmpty());
    }
}

void tst_ProgramFormat::knownAsymmetries_data()
{
    QTest::addColumn<int>("wordIndex");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("spHigh");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("back");
    QTest::addColumn<QString>("error");

    const QString none;
    QTest::newRow("SP1 marker is a number") << 0 << "7FFF" << 32767 << 1 << "32767"
                                            << "7FFF" << none;
    QTest::newRow("SP1 marker beyond the limit")
        << 0 << "7FFF" << 9999 << 1 << "32767" << none << "SP1 [32767] is out of range (0 ~ 9999).";
    QTest::newRow("lower-case SP1 comes back upper-case") << 0 << "7fff" << 32767 << 1 << "32767"
                                                          << "7FFF" << none;
    QTest::newRow("lower-case digits") << 0 << "03e8" << 9999 << 1 << "1000"
                                       << "03E8" << none;
    QTest::newRow("TIME marker is a time") << 1 << "7FFF" << 9999 << 2 << "546:07" << none
                                           << "TIME [32767] is out of range (0 ~ 5999).";
    QTest::newRow("reserved word comes back as 0000")
        << 2 << "1234" << 9999 << -1 << none << "0000" << none;
    QTest::newRow("EV marker") << 3 << "7FFF" << 9999 << 3 << "----"
                               << "7FFF" << none;
    QTest::newRow("lower-case EV marker is a number")
        << 3 << "7fff" << 9999 << 3 << "32767" << none
        << "In case of PV type event; EV1 1st [32767] is out of range (-1999 ~ 9999).";
    QTest::newRow("lower-case T marker is a time") << 9 << "7fff" << 9999 << 9 << "546.07" << none
                                                   << "T1 1st [32767] is out of range (0 ~ 5999).";
    QTest::newRow("PID1 marker is a number")
        << 19 << "7FFF" << 9999 << 19 << "32767" << none << "PID1 [32767] is out of range (0 ~ 8).";
    QTest::newRow("lower-case G.S marker is a number")
        << 21 << "7fff" << 9999 << 20 << "32767" << none
        << "G.S. [32767] is out of range (0 ~ 1000).";
}

void tst_ProgramFormat::knownAsymmetries()
{
    QFETCH(int, wordIndex);
    QFETCH(QString, stored);
    QFETCH(int, spHigh);
    QFETCH(int, column);
    QFETCH(QString, cell);
    QFETCH(QString, back);
    QFETCH(QString, error);

    // A valid segment-2 record: zeros, no events, no time events, no G.S.
    QStringList words =
        unsetCells(23).replaceInStrings(QStringLiteral("----"), QStringLiteral("7FFF"));
    words[0] = words[1] = words[2] = words[19] = words[20] = QStringLiteral("0000");
    QStringList expected = words;
    words[wordIndex] = stored;

    ProgramFormat format;
    format.setParameters({0, spHigh, 0, 0, 0});
    QList<QStringList> rows;
    format.HEX2CSV(2, words.join(QString()) + "abc", rows);
    if (column >= 0)
        QCOMPARE(rows.first().at(column), cell);

    QStringList cells = rows.first();
    QString out;
    QStringList errors;
    QCOMPARE(format.CSV2HEX(2, cells, out, errors), error.isEmpty());
    if (error.isEmpty()) {
        expected[wordIndex] = back;
        QCOMPARE(out, expected.join(QString()));
        QVERIFY(errors.isEmpty());
    } else {
        QCOMPARE(errors, QStringList{error});
    }
}

QTEST_APPLESS_MAIN(tst_ProgramFormat)
#include "tst_programformat.moc"
