// A program CSV file loaded from disk, validated as a program write validates it, and the
// findings a check before a write can add.

#include "KCSVLoader.h"
#include "ProgramEncoding.h"
#include "ProgramFile.h"
#include "ProgramFormat.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

using L = QStringList;
using Rows = QList<L>;
using Finding = ProgramFile::Finding;
using Kind = ProgramFile::FindingKind;

// A valid row under the parameters below: SP1 0, TIME 0, event 2 a time event from minute 0 to
// 1, nothing else set; segment 1 adds P.STA, CYCL, P.LIN and a tag.
L row(int segment, const QString &sp1 = QStringLiteral("0"), const QString &tag = "TAG")
{
    L cells =
        QStringLiteral("SEG%1,%2,00:00,----,----,0,1,----,----").arg(segment).arg(sp1).split(',');
    for (int i = 0; i < 10; ++i)
        cells << "----";
    cells << "0"
          << "----"
          << "----";
    return cells + (segment == 1 ? L{"0", "0", "0", tag} : L{"----", "----", "----", "----"});
}

const QList<qint32> paras{-100, 100, 0, 50, 0};

QString heading(int segment)
{
    return QStringLiteral("\n\tSegment %1 has following format error : ").arg(segment);
}

// A program CSV file's bytes: UTF-16LE with a byte-order mark.
QByteArray encoded(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

QString noRow(int segment)
{
    return QStringLiteral("Segment %1 has no data in the csv file. Please check it.").arg(segment);
}

} // namespace

Q_DECLARE_METATYPE(ProgramFile::LoadResult)
Q_DECLARE_METATYPE(ProgramEncoding::Encoding)
Q_DECLARE_METATYPE(QList<ProgramFile::Finding>)

class tst_ProgramFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void validate_data();
    void validate();
    void unloadable_data();
    void unloadable();
    void findings_data();
    void findings();
    void reusedLoader();
    void spreadsheetCells_data();
    void spreadsheetCells();
    void encoding_data();
    void encoding();

private:
    // Writes rows as a program CSV file: UTF-16LE with a byte-order mark, tabs, CR LF.
    QString written(const Rows &rows)
    {
        QString text;
        for (const L &r : rows)
            text += r.join('\t') + "\r\n";
        const QByteArray bytes = encoded(text);
        const QString name = m_dir.filePath(QStringLiteral("PROG_%1.txt").arg(++m_files));
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QString();
        return name;
    }
    QTemporaryDir m_dir;
    int m_files = 0;
};

void tst_ProgramFile::validate_data()
{
    QTest::addColumn<Rows>("rows"); // segment rows; the header is added
    QTest::addColumn<int>("segments");
    QTest::addColumn<QList<int>>("recorded"); // segments with a record
    QTest::addColumn<L>("log");               // the write log; none: all valid

    QTest::newRow("all valid") << Rows{row(1), row(2)} << 2 << QList<int>{1, 2} << L();
    QTest::newRow("rows beyond the count unread")
        << Rows{row(1), row(2, "x")} << 1 << QList<int>{1} << L();
    QTest::newRow("one invalid segment")
        << Rows{row(1), row(2, "101"), row(3)} << 3 << QList<int>{1, 3}
        << L{"Program 1:", heading(2), "\t\tSP1 [101] is out of range (-100 ~ 100)."};
    QTest::newRow("fewer rows than segments")
        << Rows{row(1)} << 3 << QList<int>{1} << L{"Program 1:", noRow(2), noRow(3)};
    QTest::newRow("nothing valid")
        << Rows{row(1, "-101")} << 2 << QList<int>{}
        << L{"Program 1:", heading(1), "\t\tSP1 [-101] is out of range (-100 ~ 100).", noRow(2),
             ProgramFile::nothingToWriteLine()};
}

void tst_ProgramFile::validate()
{
    QFETCH(Rows, rows);
    QFETCH(int, segments);
    QFETCH(QList<int>, recorded);
    QFETCH(L, log);

    const QString name = written(Rows{ProgramFormat::headerRow()} + rows);
    QVERIFY(!name.isEmpty());
    ProgramFile file;
    QCOMPARE(file.load(name), ProgramFile::LoadResult::Loaded);
    QCOMPARE(file.rows(), rows);
    QVERIFY(file.loaderErrors().isEmpty());

    const ProgramFile::Validation validation = file.validate(segments, paras);
    QCOMPARE(validation.records.keys(), recorded);
    QCOMPARE(ProgramFile::logLines(validation), log);
    QCOMPARE(validation.nothingToWrite, recorded.isEmpty());
    // The records are those the row conversion builds.
    ProgramFormat format;
    format.setParameters(paras);
    for (const int segment : recorded) {
        QString record;
        L errors;
        QVERIFY(format.validateDataRow(segment, rows, record, errors));
        QCOMPARE(validation.records.value(segment), record);
    }
}

void tst_ProgramFile::unloadable_data()
{
    QTest::addColumn<QString>("text"); // null: no file at all
    QTest::addColumn<ProgramFile::LoadResult>("result");
    QTest::addColumn<L>("errors");

    QTest::newRow("missing file") << QString() << ProgramFile::LoadResult::CannotOpen
                                  << L{"File cannot be opened.", "Please select the right file."};
    // The parse failed without warnings, so the loader has no status report to add.
    QTest::newRow("header only") << QStringLiteral("-\tSP1\r\n")
                                 << ProgramFile::LoadResult::CannotLoad
                                 << L{"No content found in the imported file."};
}

void tst_ProgramFile::unloadable()
{
    QFETCH(QString, text);
    QFETCH(ProgramFile::LoadResult, result);
    QFETCH(L, errors);

    const QString name = m_dir.filePath(QStringLiteral("broken.txt"));
    QFile::remove(name);
    if (!text.isNull()) {
        QFile out(name);
        QVERIFY(out.open(QIODevice::WriteOnly));
        const QByteArray bytes = encoded(text);
        QCOMPARE(out.write(bytes), qint64(bytes.size()));
    }
    ProgramFile file;
    QCOMPARE(file.load(name), result);
    QCOMPARE(file.loaderErrors(), errors);
    QVERIFY(file.rows().isEmpty());
}

void tst_ProgramFile::findings_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("segments");
    QTest::addColumn<QList<Finding>>("expected");

    QTest::newRow("none") << Rows{row(1, "0", "ABCDEFGH"), row(2)} << 2 << QList<Finding>{};
    L swapped = row(2);
    swapped[0] = "SEG3";
    QTest::newRow("label out of order, one beyond the count unread")
        << Rows{row(1), swapped, L(row(2)).replaceInStrings("SEG2", "X")} << 2
        << QList<Finding>{{Kind::LabelMismatch, 2, 0,
                           "Row 2 is labelled \"SEG3\" but is written as segment 2 (\"SEG2\")."}};
    QTest::newRow("one row missing")
        << Rows{row(1)} << 2
        << QList<Finding>{{Kind::MissingRows, 2, -1, "Segment 2 has no row in the file."}};
    QTest::newRow("rows missing") << Rows{row(1)} << 4
                                  << QList<Finding>{{Kind::MissingRows, 2, -1,
                                                     "Segments 2 to 4 have no row in the file."}};
    QTest::newRow("tag of nine")
        << Rows{row(1, "0", "ABCDEFGHI")} << 1
        << QList<Finding>{{Kind::TagTooLong, 1, 25,
                           "Tag \"ABCDEFGHI\" has more than 8 characters; only \"ABCDEFGH\" is "
                           "written."}};
    QTest::newRow("short and long rows")
        << Rows{row(1).mid(0, 24), row(2) << "extra"} << 2
        << QList<Finding>{{Kind::LoaderWarning, 0, -1, "Line 2 is 2 columns short of header."},
                          {Kind::LoaderWarning, 0, -1, "Line 3 is 1 columns more of header."}};
}

void tst_ProgramFile::findings()
{
    QFETCH(Rows, rows);
    QFETCH(int, segments);
    QFETCH(QList<Finding>, expected);

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
void tst_ProgramFile::reusedLoader()
{
    KCSVLoader loader;
    ProgramFile file;
    QCOMPARE(file.load(loader, m_dir.filePath("none.txt")), ProgramFile::LoadResult::CannotOpen);
    const QString name = written(Rows{ProgramFormat::headerRow(), row(1)});
    QCOMPARE(file.load(loader, name), ProgramFile::LoadResult::Loaded);
    QVERIFY(file.loaderErrors().isEmpty());
    QCOMPARE(file.rows(), Rows{row(1)});
    QCOMPARE(file.load(loader, m_dir.filePath("none.txt")), ProgramFile::LoadResult::CannotOpen);
    QVERIFY(file.rows().isEmpty());
}

void tst_ProgramFile::spreadsheetCells_data()
{
    QTest::addColumn<int>("column"); // 2: TIME, 9 to 18: T1 1st to T5 2nd
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("message"); // empty: no finding

    QTest::newRow("plain time") << 2 << "00:50"
                                << "";
    QTest::newRow("time with minutes above 59") << 2 << "1:75"
                                                << "";
    QTest::newRow("time of the default import")
        << 2 << "12:50:00 AM"
        << "SEG2 TIME \"12:50:00 AM\" is a spreadsheet's time, not hours:minutes: the plugin "
           "reads 12:50, the spreadsheet means 00:50. Write it as \"00:50\" (hours:minutes "
           "only) and import the TIME column as Text.";
    QTest::newRow("afternoon")
        << 2 << "1:30 pm"
        << "SEG2 TIME \"1:30 pm\" is a spreadsheet's time, not hours:minutes: the plugin cannot "
           "read it, the spreadsheet means 13:30. Write it as \"13:30\" (hours:minutes only) and "
           "import the TIME column as Text.";
    QTest::newRow("seconds")
        << 2 << "00:50:30"
        << "SEG2 TIME \"00:50:30\" is a spreadsheet's time, not hours:minutes: the plugin reads "
           "00:50, the spreadsheet means 00:50:30 (the controller keeps whole minutes). Write it "
           "as \"00:50\" (hours:minutes only) and import the TIME column as Text.";
    QTest::newRow("date in front")
        << 2 << "1899-12-30 02:05:00"
        << "SEG2 TIME \"1899-12-30 02:05:00\" is a spreadsheet's time, not hours:minutes: the "
           "plugin cannot read it, the spreadsheet means 02:05 after the date \"1899-12-30\". "
           "Write it as \"02:05\" (hours:minutes only) and import the TIME column as Text.";
    QTest::newRow("time event, two digits") << 9 << "0.10"
                                            << "";
    QTest::newRow("time event, whole hours") << 12 << "3"
                                             << "";
    QTest::newRow("time event unset") << 18 << "----"
                                      << "";
    QTest::newRow("time event, one digit")
        << 9 << "0.1"
        << "SEG2 T1 1st \"0.1\" has one digit after the point: the plugin reads 0.01 (0 h 01 "
           "min), but a spreadsheet saves 0.10 (0 h 10 min) this way. Write the minutes with two "
           "digits: \"0.01\" or \"0.10\".";
    QTest::newRow("last time event, one digit")
        << 18 << "3.5"
        << "SEG2 T5 2nd \"3.5\" has one digit after the point: the plugin reads 3.05 (3 h 05 "
           "min), but a spreadsheet saves 3.50 (3 h 50 min) this way. Write the minutes with two "
           "digits: \"3.05\" or \"3.50\".";
    // Event values are whole numbers: a point is already refused as a format error.
    QTest::newRow("event cell with a point") << 4 << "0.1"
                                             << "";
}

void tst_ProgramFile::spreadsheetCells()
{
    QFETCH(int, column);
    QFETCH(QString, cell);
    QFETCH(QString, message);

    Rows rows{row(1), row(2), row(3)};
    rows[1][column] = cell;
    rows[2][column] = cell; // beyond the segment count: unread
    const QString name = written(Rows{ProgramFormat::headerRow()} + rows);
    ProgramFile file;
    QCOMPARE(file.load(name), ProgramFile::LoadResult::Loaded);
    const QList<Finding> found = file.spreadsheetFindings(2);
    QCOMPARE(file.findings(2), found);
    if (message.isEmpty()) {
        QCOMPARE(found, QList<Finding>{});
        return;
    }
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().message, message);
    QCOMPARE(found.first().segment, 2);
    QCOMPARE(found.first().column, column);
    QCOMPARE(found.first().kind, column == 2 ? Kind::SpreadsheetTime : Kind::SpreadsheetTimeEvent);
}

void tst_ProgramFile::encoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<ProgramEncoding::Encoding>("encoding");
    QTest::addColumn<bool>("programEncoding");
    using E = ProgramEncoding::Encoding;
    const QString text = QStringLiteral("-\tSP1\r\nSEG1\t\u00C4\r\n");

    QTest::newRow("UTF-16LE with mark") << encoded(text) << E::Utf16Le << true;
    QTest::newRow("UTF-16LE without mark") << encoded(text).mid(2) << E::Utf16Le << true;
    QByteArray big("\xFE\xFF");
    for (const QChar c : text)
        big.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    QTest::newRow("UTF-16BE with mark") << big << E::Utf16Be << true;
    QTest::newRow("UTF-16BE without mark") << big.mid(2) << E::Utf16BeNoBom << false;
    QTest::newRow("UTF-32") << QByteArray("\xFF\xFE\0\0-\0\0\0", 8) << E::Utf32 << false;
    QTest::newRow("UTF-8 with mark") << "\xEF\xBB\xBF" + text.toUtf8() << E::Utf8Bom << false;
    QTest::newRow("UTF-8") << text.toUtf8() << E::Utf8 << false;
    QTest::newRow("ASCII") << QByteArray("-\tSP1\r\n") << E::Ascii << false;
    QTest::newRow("Latin-1") << text.toLatin1() << E::EightBit << false;
    QTest::newRow("empty") << QByteArray() << E::Empty << false;
}

void tst_ProgramFile::encoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(ProgramEncoding::Encoding, encoding);
    QFETCH(bool, programEncoding);

    QCOMPARE(ProgramEncoding::detect(bytes), encoding);
    QCOMPARE(ProgramEncoding::isProgramEncoding(encoding), programEncoding);
    const QStringList advice = ProgramEncoding::advice(encoding, QStringLiteral("p.txt"));
    // The advice names what was found and how to save it; none for a program file's encoding.
    QCOMPARE(advice.isEmpty(), programEncoding || encoding == ProgramEncoding::Encoding::Empty);
    if (!advice.isEmpty()) {
        QVERIFY(advice.first().contains(ProgramEncoding::name(encoding)));
        QVERIFY(advice.join('\n').contains(QLatin1String("\"Unicode text\"")));
    }
}

QTEST_GUILESS_MAIN(tst_ProgramFile)
#include "tst_programfile.moc"
