#include "../csvsupport/CsvTestSupport.h"

#include "KCSVLoader.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

using namespace CsvTestSupport;
using Table = QList<QStringList>;

// Everything the loader reports for one file, collected on the worker thread.
struct LoadOutcome
{
    bool ok = false;
    int status = -1;
    QStringList errors;
    QStringList warnings;
    Table data;           // loadedData()
    QStringList reported; // what loadedData() added to the error list
    bool replaced = false;
    QString delimiterAfter;
};

// The loader's parse, driven through openFile()/loadedData() on a worker thread, the way the
// transfer worker uses it: no dialog can appear, every message lands in the lists.
class tst_KCSVLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void parse_data();
    void parse();
    void headerCheck_data();
    void headerCheck();
    void progressReports_data();
    void progressReports();
    void encodings_data();
    void encodings();
    void defaults();
    void delimiterReadThroughAccessor();
    void nullCodecReadsUtf16();
    void noContentKeepsPreviousRows();
    void loadNeverChangesOwnDelimiter();
    void largeQuotedFieldsParse();

private:
    KCSVLoader *newLoader();
    void deleteLoader(KCSVLoader *loader);
    LoadOutcome load(const QByteArray &bytes, const QString &delimiter = QStringLiteral("\t"),
                     KCSVLoader *reuse = nullptr);
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QThread worker;
    QObject *anchor = nullptr;
};

void tst_KCSVLoader::initTestCase()
{
    QVERIFY(dir.isValid());
    isolateSettings(dir.filePath(QStringLiteral("settings")));
    anchor = new QObject;
    anchor->moveToThread(&worker);
    worker.start();
}

void tst_KCSVLoader::cleanupTestCase()
{
    anchor->deleteLater();
    worker.quit();
    QVERIFY(worker.wait(10000));
}

KCSVLoader *tst_KCSVLoader::newLoader()
{
    KCSVLoader *loader = nullptr;
    runOn(anchor, [&] { loader = new KCSVLoader; });
    return loader;
}

void tst_KCSVLoader::deleteLoader(KCSVLoader *loader)
{
    runOn(anchor, [&] { delete loader; });
}

LoadOutcome tst_KCSVLoader::load(const QByteArray &bytes, const QString &delimiter,
                                 KCSVLoader *reuse)
{
    static int serial = 0;
    const QString file = path(QStringLiteral("in%1.txt").arg(++serial));
    LoadOutcome out;
    if (!writeBytes(file, bytes))
        return out;
    KCSVLoader *loader = reuse ? reuse : newLoader();
    runOn(loader, [&] {
        loader->setDelimiter(delimiter);
        out.ok = loader->openFile(file);
        out.status = loader->statusCode();
        out.errors = loader->errorMessageList();
        out.warnings = loader->warningMessageList();
        out.data = loader->loadedData();
        out.reported = loader->errorMessageList().mid(out.errors.size());
        out.replaced = loader->isDelimiterReplaced();
        out.delimiterAfter = loader->delimiter();
    });
    if (!reuse)
        deleteLoader(loader);
    return out;
}

void tst_KCSVLoader::parse_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<Table>("data");

    const QStringList none;
    const QString noContent = QStringLiteral("No content found in the imported file.");

    QTest::newRow("header and one line")
        << "a\tb\r\nc\td\r\n"
        << true << 3 << none << none << Table{{"a", "b"}, {"c", "d"}};
    QTest::newRow("line feeds only, no final line end")
        << "a\tb\nc\td" << true << 3 << none << none << Table{{"a", "b"}, {"c", "d"}};
    QTest::newRow("carriage returns dropped anywhere")
        << "a\r\tb\r\nc\rx\td\r\r\n"
        << true << 3 << none << none << Table{{"a", "b"}, {"cx", "d"}};
    QTest::newRow("empty file") << "" << false << 3 << QStringList{noContent} << none << Table{};
    QTest::newRow("header only") << "a\tb\r\n"
                                 << false << 3 << QStringList{noContent} << none << Table{};
    QTest::newRow("empty lines skipped")
        << "a\tb\n\nc\td\n\n"
        << true << 3 << none << none << Table{{"a", "b"}, {"c", "d"}};
    QTest::newRow("whitespace belongs to fields")
        << "a \t b\n c\td \n"
        << true << 3 << none << none << Table{{"a ", " b"}, {" c", "d "}};
    QTest::newRow("quoted field across lines")
        << "h1\th2\th3\na\t\"x\ny\"\tb\n"
        << true << 3 << none << none << Table{{"h1", "h2", "h3"}, {"a", "x\ny", "b"}};
    QTest::newRow("delimiter before the line break kept")
        << "h1\th2\n\"a\tb\nc\"\td\n"
        << true << 3 << none << none << Table{{"h1", "h2"}, {"a\tb\nc", "d"}};
    QTest::newRow("empty line inside a quoted field kept")
        << "h1\th2\n\"a\n\nb\"\tc\n"
        << true << 3 << none << none << Table{{"h1", "h2"}, {"a\n\nb", "c"}};
    QTest::newRow("doubled quotes become one")
        << "h1\th2\n\"p\tq\"\"r\"\tz\n"
        << true << 3 << none << none << Table{{"h1", "h2"}, {"p\tq\"r", "z"}};
    QTest::newRow("doubled quotes on both sides of a line break")
        << "h\tk\n\"a\"\"\n\"\"b\"\tc\n"
        << true << 3 << none << none << Table{{"h", "k"}, {"a\"\n\"b", "c"}};
    QTest::newRow("quote inside an unquoted field is ordinary")
        << "h1\th2\na\"b\tc\"\n"
        << true << 3 << none << none << Table{{"h1", "h2"}, {"a\"b", "c\""}};
    QTest::newRow("two quotes make an empty cell")
        << "h1\th2\n\"\"\tx\n"
        << true << 3 << none << none << Table{{"h1", "h2"}, {"", "x"}};
    QTest::newRow("lone quote never closes")
        << "h1\th2\n\"\tx\n"
        << false << 3 << QStringList{"Format error at line 3"} << none << Table{{"h1", "h2"}};
    QTest::newRow("text after closing quote keeps the field open")
        << "h1\th2\n\"ab\"c\td\"\n"
        << false << 3 << QStringList{"Format error at line 3"} << none << Table{{"h1", "h2"}};
    QTest::newRow("quote open at end of file, rows so far kept")
        << "h\tk\nx\ty\na\t\"x\ny\n"
        << false << 3 << QStringList{"Format error at line 5"} << none
        << Table{{"h", "k"}, {"x", "y"}};
    QTest::newRow("short row padded")
        << "h1\th2\th3\na\n"
        << true << 5 << none << QStringList{"Line 2 is 2 columns short of header."}
        << Table{{"h1", "h2", "h3"}, {"a", "", ""}};
    QTest::newRow("long row kept whole")
        << "h1\th2\na\tb\tc\td\n"
        << true << 5 << none << QStringList{"Line 2 is 2 columns more of header."}
        << Table{{"h1", "h2"}, {"a", "b", "c", "d"}};
    QTest::newRow("warning names the last line a row used")
        << "h1\th2\th3\na\t\"x\ny\"\n"
        << true << 5 << none << QStringList{"Line 3 is 1 columns short of header."}
        << Table{{"h1", "h2", "h3"}, {"a", "x\ny", ""}};
    QTest::newRow("empty lines count in line numbers")
        << "h1\th2\n\na\n"
        << true << 5 << none << QStringList{"Line 3 is 1 columns short of header."}
        << Table{{"h1", "h2"}, {"a", ""}};
    // The header's column count comes from its first line alone.
    QTest::newRow("header row spanning two lines is compared")
        << "\"h\n1\"\th2\th3\na\tb\tc\n"
        << true << 5 << none
        << QStringList{"Line 2 is 2 columns more of header.", "Line 3 is 2 columns more of header."}
        << Table{{"h\n1", "h2", "h3"}, {"a", "b", "c"}};
    {
        // Equal cells share one string: values of the same length, more distinct values than a
        // column remembers, and a column shifted by a field over two lines must all come back.
        QString text = QStringLiteral("h1\th2\n");
        Table table{{"h1", "h2"}};
        for (int k = 0; k < 24; ++k) {
            const QString value = QStringLiteral("v%1").arg(k % 11);
            text += value + QLatin1Char('\t') + QStringLiteral("x%1\n").arg(k % 2);
            table.append(QStringList{value, QStringLiteral("x%1").arg(k % 2)});
        }
        text += QStringLiteral("\"v\n1\"\tx1\nv1\tx0\n");
        table.append(QStringList{"v\n1", "x1"});
        table.append(QStringList{"v1", "x0"});
        QTest::newRow("repeated values in a column") << text << true << 3 << none << none << table;
    }
    QTest::newRow("error after warnings: format error status")
        << "h1\th2\th3\na\n\"x\n"
        << false << 2 << QStringList{"Format error at line 4"}
        << QStringList{"Line 2 is 2 columns short of header."} << Table{};
}

void tst_KCSVLoader::parse()
{
    QFETCH(QString, content);
    QFETCH(bool, ok);
    QFETCH(int, status);
    QFETCH(QStringList, errors);
    QFETCH(QStringList, warnings);
    QFETCH(Table, data);

    const LoadOutcome out = load(utf16LeBytes(content));
    QCOMPARE(out.errors, errors);
    QCOMPARE(out.warnings, warnings);
    QCOMPARE(out.ok, ok);
    QCOMPARE(out.status, status);
    QCOMPARE(out.data, data);
    QVERIFY(!out.replaced);
}

void tst_KCSVLoader::headerCheck_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<Table>("data");

    const QStringList cannot{"File format error.\nCannot detect delimiter."};
    const QStringList none;

    QTest::newRow("comma file read with tab")
        << "name,age,city\nbob,42,rome\n"
        << "\t" << true << none << Table{{"name", "age", "city"}, {"bob", "42", "rome"}};
    QTest::newRow("short first line not checked")
        << "a,b,c\nd,e,f\n"
        << "\t" << false << none << Table{{"a,b,c"}, {"d,e,f"}};
    QTest::newRow("one comma cannot decide") << "abcdefghij,k\nx\n"
                                             << "\t" << false << cannot << Table{};
    QTest::newRow("semicolon replaced by tab")
        << "alpha\tbeta\tgamma\n1\t2\t3\n"
        << ";" << true << none << Table{{"alpha", "beta", "gamma"}, {"1", "2", "3"}};
    QTest::newRow("comma replaced by tab")
        << "alpha\tbeta\tgamma\n1\t2\t3\n"
        << "," << true << none << Table{{"alpha", "beta", "gamma"}, {"1", "2", "3"}};
    QTest::newRow("comma never picks comma") << "a,\"bc,de\"fghijklmnop\nx\n"
                                             << "," << false << cannot << Table{};
    QTest::newRow("tab is tried before comma")
        << "abcdefghijklmnop\tq,r\ts,t\nx\n"
        << ";" << true << none << Table{{"abcdefghijklmnop", "q,r", "s,t"}, {"x", "", ""}};
    QTest::newRow("no quotes, delimiter present")
        << "abcdefghijklmnop\tq\nx\ty\n"
        << "\t" << false << none << Table{{"abcdefghijklmnop", "q"}, {"x", "y"}};
    QTest::newRow("delimiter before first quote") << "ab\tcdefghijkl\"m\"\nx\ty\n"
                                                  << "\t" << false << cannot << Table{};
    QTest::newRow("delimiter right after quoted span")
        << "x\"abcdefghij\"\tk\nx\ty\n"
        << "\t" << false << none << Table{{"x\"abcdefghij\"", "k"}, {"x", "y"}};
    QTest::newRow("text between quoted span and delimiter") << "x\"abcdefghij\"y\tk\nx\ty\n"
                                                            << "\t" << false << cannot << Table{};
    QTest::newRow("unclosed quote") << "x\"abcdefghijk\tl\nx\ty\n"
                                    << "\t" << false << cannot << Table{};
    QTest::newRow("delimiter inside quotes, delimiter after")
        << "x\"ab\tcdefghijklmnopqrst\"\ty\nx\ty\tz\n"
        << "\t" << false << none << Table{{"x\"ab", "cdefghijklmnopqrst\"", "y"}, {"x", "y", "z"}};
    QTest::newRow("delimiter inside quotes, line ends at quote")
        << "x\"ab\tcdefghijklmnopqrst\"\nx\ty\n"
        << "\t" << false << cannot << Table{};
    QTest::newRow("delimiter inside quotes, other character after")
        << "x\"ab\tcdefghijklmnop\"z\ty\nx\ty\n"
        << "\t" << false << cannot << Table{};
    QTest::newRow("suspect line with two commas switches")
        << "ab\tcdxxxx,ef\"g\",h\nx,y,z\n"
        << "\t" << true << none << Table{{"ab\tcdxxxx", "ef\"g\"", "h"}, {"x", "y", "z"}};
    QTest::newRow("quoted first cell followed by delimiter")
        << "\"ab\tcdefghijklmnop\"\ty\nx\ty\n"
        << "\t" << false << none << Table{{"ab\tcdefghijklmnop", "y"}, {"x", "y", ""}};
    QTest::newRow("quoted first cell is the whole line")
        << "\"ab\tcdefghijklmnopq\"\nx\n"
        << "\t" << false << none << Table{{"ab\tcdefghijklmnopq"}, {"x", ""}};
    QTest::newRow("quoted first cell followed by text") << "\"ab\tcdefghijklmnop\"z\ty\nx\ty\n"
                                                        << "\t" << false << cannot << Table{};
    // The check runs only when the first line's length divided by 5 exceeds its column count.
    QTest::newRow("10 characters, 1 column: checked")
        << "ab,cd,efgh\r\n1,2,3\r\n"
        << "\t" << true << none << Table{{"ab", "cd", "efgh"}, {"1", "2", "3"}};
    QTest::newRow("9 characters, 1 column: not checked")
        << "ab,cd,efg\r\n1,2,3\r\n"
        << "\t" << false << none << Table{{"ab,cd,efg"}, {"1,2,3"}};
    QTest::newRow("20 characters, 3 columns: checked")
        << "x\t\"y\"\tz,w,vvvvvvvvvv\r\n1,2,3\r\n"
        << "\t" << true << none << Table{{"x\t\"y\"\tz", "w", "vvvvvvvvvv"}, {"1", "2", "3"}};
    QTest::newRow("19 characters, 3 columns: not checked")
        << "x\t\"y\"\tz,w,vvvvvvvvv\r\n1,2,3\r\n"
        << "\t" << false << none << Table{{"x", "y", "z,w,vvvvvvvvv"}, {"1,2,3", "", ""}};
    QTest::newRow("two-character delimiter never matches one character")
        << "x\"ab::cdefghijklmnopqrst\"::y\nx::y\n"
        << "::" << false << cannot << Table{};
}

void tst_KCSVLoader::headerCheck()
{
    QFETCH(QString, content);
    QFETCH(QString, delimiter);
    QFETCH(bool, replaced);
    QFETCH(QStringList, errors);
    QFETCH(Table, data);

    const LoadOutcome out = load(utf16LeBytes(content), delimiter);
    QCOMPARE(out.errors, errors);
    QCOMPARE(out.ok, errors.isEmpty());
    QCOMPARE(out.replaced, replaced);
    QCOMPARE(out.data, data);
    QCOMPARE(out.delimiterAfter, delimiter);
}

void tst_KCSVLoader::progressReports_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("total");
    QTest::addColumn<QList<int>>("current");

    QTest::newRow("every line a row") << "a\tb\nc\td\ne\tf\n" << 3 << QList<int>{1, 2, 3};
    QTest::newRow("empty lines counted, not reported") << "a\tb\n\n\nc\td\n\n"
                                                       << 5 << QList<int>{1, 4};
    QTest::newRow("row over two lines") << "h1\th2\n\"x\ny\"\tz\nu\tv" << 4 << QList<int>{1, 3, 4};
    QTest::newRow("parse stopped") << "h1\th2\nok\t1\n\"x\n" << 3 << QList<int>{1, 2};
    QTest::newRow("header check failed") << "abcdefghij,k\nx\n" << 2 << QList<int>{};
}

void tst_KCSVLoader::progressReports()
{
    QFETCH(QString, content);
    QFETCH(int, total);
    QFETCH(QList<int>, current);

    KCSVLoader *loader = newLoader();
    QSignalSpy spy(loader, &KCSVInterface::updateStatus);
    load(utf16LeBytes(content), QStringLiteral("\t"), loader);
    deleteLoader(loader);

    QCOMPARE(spy.count(), 1 + current.size());
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("total lines"));
    QCOMPARE(spy.at(0).at(1).userType(), int(QMetaType::Int));
    QCOMPARE(spy.at(0).at(1).toInt(), total);
    for (int k = 0; k < current.size(); ++k) {
        QCOMPARE(spy.at(k + 1).at(0).toString(), QStringLiteral("current line"));
        QCOMPARE(spy.at(k + 1).at(1).userType(), int(QMetaType::Int));
        QCOMPARE(spy.at(k + 1).at(1).toInt(), current.at(k));
    }
}

void tst_KCSVLoader::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Table>("data");

    const QString text =
        QString::fromUtf8("h\xC3\xA9\tk\r\n\xF0\x9F\x98\x80\t\xC4\x8D\xE0\xB4\x8A\r\n");
    const Table table{
        {QString::fromUtf8("h\xC3\xA9"), "k"},
        {QString::fromUtf8("\xF0\x9F\x98\x80"), QString::fromUtf8("\xC4\x8D\xE0\xB4\x8A")}};
    auto encoded = [&](const char *codec) {
        QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
        return QTextCodec::codecForName(codec)->fromUnicode(text.constData(), text.size(), &state);
    };

    // U+010D and U+0D0A hold the byte 0D: only whole carriage-return characters may be dropped.
    QTest::newRow("UTF-16LE with mark") << utf16LeBytes(text) << table;
    QTest::newRow("UTF-16LE without mark") << utf16LeBytes(text, false) << table;
    QTest::newRow("UTF-8 mark decides") << QByteArray("\xEF\xBB\xBF") + encoded("UTF-8") << table;
    QTest::newRow("UTF-16BE mark decides") << QByteArray("\xFE\xFF") + encoded("UTF-16BE") << table;
    // Qt's own UTF-32 encoder pads surrogate pairs with a zero code point, so encode by hand.
    QByteArray utf32("\xFF\xFE\x00\x00", 4);
    for (const uint code : text.toUcs4()) {
        for (int shift = 0; shift < 32; shift += 8)
            utf32.append(char((code >> shift) & 0xFF));
    }
    QTest::newRow("UTF-32LE mark decides") << utf32 << table;
    QTest::newRow("UTF-8 without mark is not UTF-16") << QByteArray("a\tb\nc\td\n") << Table{};
}

void tst_KCSVLoader::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Table, data);

    const LoadOutcome out = load(bytes);
    QCOMPARE(out.data, data);
    QCOMPARE(out.ok, !data.isEmpty());
    if (data.isEmpty())
        QCOMPARE(out.errors, QStringList{"No content found in the imported file."});
}

// A caller that supplies its own delimiter through the virtual accessor.
class SemicolonLoader : public KCSVLoader
{
public:
    QString delimiter() const override { return QStringLiteral(";"); }
};

void tst_KCSVLoader::defaults()
{
    KCSVLoader loader;
    QCOMPARE(loader.codec()->name(), QByteArray("UTF-16LE"));
    QCOMPARE(loader.delimiter(), QStringLiteral("\t"));
    QVERIFY(!loader.promptFormat());
    QCOMPARE(loader.statusCode(), int(KCSVLoader::NoFileName));
    QVERIFY(!loader.isDelimiterReplaced());
    loader.setCodec(nullptr);
    loader.setDefaultCodec();
    QCOMPARE(loader.codec()->name(), QByteArray("UTF-16LE"));
    // An unknown file type keeps the delimiter of the last known one.
    loader.setFileType(1);
    loader.setFileType(7);
    QCOMPARE(loader.delimiter(), QStringLiteral(","));
    loader.setFileType(0);
    QCOMPARE(loader.delimiter(), QStringLiteral("\t"));
}

void tst_KCSVLoader::delimiterReadThroughAccessor()
{
    SemicolonLoader *loader = nullptr;
    runOn(anchor, [&] { loader = new SemicolonLoader; });
    const QString file = path(QStringLiteral("semicolon.txt"));
    QVERIFY(writeBytes(file, utf16LeBytes("a;b\tc\r\n\"d;\r\ne\";f\r\n")));
    bool ok = false;
    Table data;
    runOn(loader, [&] {
        ok = loader->openFile(file);
        data = loader->loadedData();
    });
    deleteLoader(loader);
    QVERIFY(ok);
    QCOMPARE(data, (Table{{"a", "b\tc"}, {"d;\ne", "f"}}));
}

void tst_KCSVLoader::nullCodecReadsUtf16()
{
    KCSVLoader *loader = newLoader();
    runOn(loader, [&] { loader->setCodec(nullptr); });
    const LoadOutcome out = load(utf16LeBytes("a\tb\nc\td\n", false), "\t", loader);
    deleteLoader(loader);
    QVERIFY(out.ok);
    QCOMPARE(out.data, (Table{{"a", "b"}, {"c", "d"}}));
}

void tst_KCSVLoader::noContentKeepsPreviousRows()
{
    KCSVLoader *loader = newLoader();
    const LoadOutcome first = load(utf16LeBytes("a\tb\nc\td\n"), "\t", loader);
    const LoadOutcome second = load(utf16LeBytes("only\tone\n"), "\t", loader);
    const LoadOutcome third = load(utf16LeBytes("abcdefghij,k\nx\n"), "\t", loader);
    deleteLoader(loader);

    QVERIFY(first.ok);
    QVERIFY(!second.ok);
    QCOMPARE(second.status, 3);
    QCOMPARE(second.data, first.data); // the caller must rely on the result
    QVERIFY(second.reported.isEmpty());
    QVERIFY(!third.ok);
    QCOMPARE(third.status, 3);
    QCOMPARE(third.data, Table{}); // the header check ran after the rows were cleared
}

void tst_KCSVLoader::loadNeverChangesOwnDelimiter()
{
    KCSVLoader *loader = newLoader();
    const LoadOutcome comma = load(utf16LeBytes("name,age,city\nbob,42,rome\n"), "\t", loader);
    // A later load in which the check does not run keeps the earlier replacement flag.
    const LoadOutcome tab = load(utf16LeBytes("a\tb\nc\n"), "\t", loader);
    deleteLoader(loader);

    QVERIFY(comma.replaced);
    QCOMPARE(comma.delimiterAfter, QStringLiteral("\t"));
    QVERIFY(tab.ok);
    QVERIFY(tab.replaced);
    QCOMPARE(tab.data, (Table{{"a", "b"}, {"c", ""}}));
    QCOMPARE(
        tab.reported,
        (QStringList{"Warning: Incorrect File Format",
                     "The file format has been modified. We strongly recommend you to export "
                     "the file again after final edits.\nLine 2 is 1 columns short of header."}));
}

// A parse that rescanned the growing field would take hours here; this one stays linear.
void tst_KCSVLoader::largeQuotedFieldsParse()
{
    const int lines = 200000;
    const int pairs = 2000000;
    QString content = QStringLiteral("h1\th2\n\"");
    QString longCell;
    for (int k = 0; k < lines; ++k) {
        content += QStringLiteral("ab\"\"\t\n");
        longCell += QStringLiteral("ab\"\t\n");
    }
    content += QStringLiteral("\"\tend\n\"");
    content += QString(2 * pairs, QLatin1Char('"'));
    content += QStringLiteral("\"\tx\n");

    const LoadOutcome out = load(utf16LeBytes(content));
    QVERIFY(out.ok);
    QCOMPARE(out.data.size(), 3);
    QCOMPARE(out.data.at(1).at(0), longCell);
    QCOMPARE(out.data.at(1).at(1), QStringLiteral("end"));
    QCOMPARE(out.data.at(2).at(0), QString(pairs, QLatin1Char('"')));
    QCOMPARE(out.data.at(2).at(1), QStringLiteral("x"));
}

QTEST_MAIN(tst_KCSVLoader)
#include "tst_kcsvloader.moc"
