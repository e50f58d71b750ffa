#include "../csvsupport/CsvTestSupport.h"

#include "KCSVLoader.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

using namespace CsvTestSupport;
using Table = QList<QStringList>;
using L = QStringList;

// Everything the loader reports for one file.
struct LoadOutcome
{
    bool ok = false;
    int status = -1;
    L errors;
    L warnings;
    Table data; // loadedData()
    L reported; // what two calls of loadedData() added to the error list
    bool replaced = false;
    QString delimiterAfter;
};

// The loader on a worker thread, the way the transfer worker uses it: no dialog can appear, every
// message lands in the lists.
class tst_KCSVLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { isolateSettings(m_dir.filePath(QStringLiteral("settings"))); }
    void parse_data();
    void parse();
    void headerCheck_data();
    void headerCheck();
    void reports_data();
    void reports();
    void progressReports_data();
    void progressReports();
    void encodings_data();
    void encodings();
    void delimiterReadThroughAccessor();
    void reusedLoader();
    void largeQuotedFieldsParse();

private:
    // Loads bytes with a fresh loader, or with loader when given.
    LoadOutcome load(const QByteArray &bytes, const QString &delimiter = QStringLiteral("\t"),
                     KCSVLoader *loader = nullptr);
    LoadOutcome open(const QString &file, const QString &delimiter, KCSVLoader *loader);

    QTemporaryDir m_dir;
    WorkerThread m_worker;
};

LoadOutcome tst_KCSVLoader::load(const QByteArray &bytes, const QString &delimiter,
                                 KCSVLoader *loader)
{
    static int serial = 0;
    const QString file = m_dir.filePath(QStringLiteral("in%1.txt").arg(++serial));
    return writeBytes(file, bytes) ? open(file, delimiter, loader) : LoadOutcome();
}

LoadOutcome tst_KCSVLoader::open(const QString &file, const QString &delimiter, KCSVLoader *loader)
{
    LoadOutcome out;
    KCSVLoader *used = loader ? loader : m_worker.run([] { return new KCSVLoader; });
    m_worker.run([&] {
        used->setDelimiter(delimiter);
        out.ok = used->openFile(file);
        out.status = used->statusCode();
        out.errors = used->errorMessageList();
        out.warnings = used->warningMessageList();
        out.data = used->loadedData();
        used->loadedData();
        out.reported = used->errorMessageList().mid(out.errors.size());
        out.replaced = used->isDelimiterReplaced();
        out.delimiterAfter = used->delimiter();
        if (!loader)
            delete used;
    });
    return out;
}

void tst_KCSVLoader::parse_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("status");
    QTest::addColumn<L>("errors");
    QTest::addColumn<L>("warnings");
    QTest::addColumn<Table>("data");
    const auto add = [](const char *name, const QString &content, int status, const L &errors,
                        const L &warnings, const Table &data) {
        QTest::newRow(name) << content << status << errors << warnings << data;
    };

    add("line feeds only, no final line end", "a\tb\nc\td", 3, {}, {}, {{"a", "b"}, {"c", "d"}});
    add("carriage returns dropped anywhere, spaces kept", "a\r\t b\r\nc\rx \td\r\r\n", 3, {}, {},
        {{"a", " b"}, {"cx ", "d"}});
    add("header only", "a\tb\r\n", 3, {"No content found in the imported file."}, {}, {});
    add("quoted field across lines", "h1\th2\th3\na\t\"x\ny\"\tb\n", 3, {}, {},
        {{"h1", "h2", "h3"}, {"a", "x\ny", "b"}});
    add("delimiter before the line break kept", "h1\th2\n\"a\tb\nc\"\td\n", 3, {}, {},
        {{"h1", "h2"}, {"a\tb\nc", "d"}});
    add("empty line inside a quoted field kept", "h1\th2\n\"a\n\nb\"\tc\n", 3, {}, {},
        {{"h1", "h2"}, {"a\n\nb", "c"}});
    add("doubled quotes become one", "h1\th2\n\"p\tq\"\"r\"\tz\n", 3, {}, {},
        {{"h1", "h2"}, {"p\tq\"r", "z"}});
    add("doubled quotes on both sides of a line break", "h\tk\n\"a\"\"\n\"\"b\"\tc\n", 3, {}, {},
        {{"h", "k"}, {"a\"\n\"b", "c"}});
    add("quote inside an unquoted field is ordinary", "h1\th2\na\"b\tc\"\n", 3, {}, {},
        {{"h1", "h2"}, {"a\"b", "c\""}});
    add("two quotes make an empty cell", "h1\th2\n\"\"\tx\n", 3, {}, {}, {{"h1", "h2"}, {"", "x"}});
    add("lone quote never closes", "h1\th2\n\"\tx\n", 3, {"Format error at line 3"}, {},
        {{"h1", "h2"}});
    add("quote open at end of file, rows so far kept", "h\tk\nx\ty\na\t\"x\ny\n", 3,
        {"Format error at line 5"}, {}, {{"h", "k"}, {"x", "y"}});
    add("short row padded", "h1\th2\th3\na\n", 5, {}, {"Line 2 is 2 columns short of header."},
        {{"h1", "h2", "h3"}, {"a", "", ""}});
    add("long row kept whole", "h1\th2\na\tb\tc\td\n", 5, {},
        {"Line 2 is 2 columns more of header."}, {{"h1", "h2"}, {"a", "b", "c", "d"}});
    add("warning names the last line a row used", "h1\th2\th3\na\t\"x\ny\"\n", 5, {},
        {"Line 3 is 1 columns short of header."}, {{"h1", "h2", "h3"}, {"a", "x\ny", ""}});
    add("empty lines skipped but counted in line numbers", "h1\th2\n\na\n\n", 5, {},
        {"Line 3 is 1 columns short of header."}, {{"h1", "h2"}, {"a", ""}});
    // The header's column count comes from its first line alone.
    add("header row spanning two lines is compared", "\"h\n1\"\th2\th3\na\tb\tc\n", 5, {},
        {"Line 2 is 2 columns more of header.", "Line 3 is 2 columns more of header."},
        {{"h\n1", "h2", "h3"}, {"a", "b", "c"}});
    {
        // Equal cells share one string: values of the same length, more distinct values than a
        // column remembers, and a column shifted by a field over two lines must all come back.
        QString text = QStringLiteral("h1\th2\n");
        Table table{{"h1", "h2"}};
        for (int k = 0; k < 24; ++k) {
            const L row{QStringLiteral("v%1").arg(k % 11), QStringLiteral("x%1").arg(k % 2)};
            text += row.join(QLatin1Char('\t')) + QLatin1Char('\n');
            table.append(row);
        }
        text += QStringLiteral("\"v\n1\"\tx1\nv1\tx0\n");
        add("repeated values in a column", text, 3, {}, {},
            table + Table{{"v\n1", "x1"}, {"v1", "x0"}});
    }
    add("error after warnings: format error status", "h1\th2\th3\na\n\"x\n", 2,
        {"Format error at line 4"}, {"Line 2 is 2 columns short of header."}, {});
}

void tst_KCSVLoader::parse()
{
    QFETCH(QString, content);
    QFETCH(int, status);
    QFETCH(L, errors);
    QFETCH(L, warnings);
    QFETCH(Table, data);

    const LoadOutcome out = load(utf16LeBytes(content));
    QCOMPARE(out.errors, errors);
    QCOMPARE(out.warnings, warnings);
    QCOMPARE(out.ok, errors.isEmpty());
    QCOMPARE(out.status, status);
    QCOMPARE(out.data, data);
    QVERIFY(!out.replaced);
}

// The first line is checked for a wrong delimiter when its length divided by 5 exceeds its
// column count; one quoted span may hold the delimiter when the delimiter or the line end follows
// it.
void tst_KCSVLoader::headerCheck_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<L>("errors");
    QTest::addColumn<Table>("data");
    const auto add = [](const char *name, const QString &content, const QString &delimiter,
                        bool replaced, const L &errors, const Table &data) {
        QTest::newRow(name) << content << delimiter << replaced << errors << data;
    };

    const L cannot{"File format error.\nCannot detect delimiter."};
    add("comma file read with tab", "name,age,city\nbob,42,rome\n", "\t", true, {},
        {{"name", "age", "city"}, {"bob", "42", "rome"}});
    add("one comma cannot decide", "abcdefghij,k\nx\n", "\t", false, cannot, {});
    add("comma replaced by tab", "alpha\tbeta\tgamma\n1\t2\t3\n", ",", true, {},
        {{"alpha", "beta", "gamma"}, {"1", "2", "3"}});
    add("comma never picks comma", "a,\"bc,de\"fghijklmnop\nx\n", ",", false, cannot, {});
    add("tab is tried before comma", "abcdefghijklmnop\tq,r\ts,t\nx\n", ";", true, {},
        {{"abcdefghijklmnop", "q,r", "s,t"}, {"x", "", ""}});
    add("no quotes, delimiter present", "abcdefghijklmnop\tq\nx\ty\n", "\t", false, {},
        {{"abcdefghijklmnop", "q"}, {"x", "y"}});
    add("delimiter before first quote", "ab\tcdefghijkl\"m\"\nx\ty\n", "\t", false, cannot, {});
    add("delimiter right after quoted span", "x\"abcdefghij\"\tk\nx\ty\n", "\t", false, {},
        {{"x\"abcdefghij\"", "k"}, {"x", "y"}});
    add("text between quoted span and delimiter", "x\"abcdefghij\"y\tk\nx\ty\n", "\t", false,
        cannot, {});
    add("unclosed quote", "x\"abcdefghijk\tl\nx\ty\n", "\t", false, cannot, {});
    add("delimiter inside quotes, delimiter after", "x\"ab\tcdefghijklmnopqrst\"\ty\nx\ty\tz\n",
        "\t", false, {}, {{"x\"ab", "cdefghijklmnopqrst\"", "y"}, {"x", "y", "z"}});
    add("delimiter inside quotes, line ends at quote", "x\"ab\tcdefghijklmnopqrst\"\nx\ty\n", "\t",
        false, cannot, {});
    add("quoted first cell followed by delimiter", "\"ab\tcdefghijklmnop\"\ty\nx\ty\n", "\t", false,
        {}, {{"ab\tcdefghijklmnop", "y"}, {"x", "y", ""}});
    add("quoted first cell is the whole line", "\"ab\tcdefghijklmnopq\"\nx\n", "\t", false, {},
        {{"ab\tcdefghijklmnopq"}, {"x", ""}});
    add("quoted first cell followed by text", "\"ab\tcdefghijklmnop\"z\ty\nx\ty\n", "\t", false,
        cannot, {});
    add("20 characters, 3 columns: checked", "x\t\"y\"\tz,w,vvvvvvvvvv\r\n1,2,3\r\n", "\t", true,
        {}, {{"x\t\"y\"\tz", "w", "vvvvvvvvvv"}, {"1", "2", "3"}});
    add("19 characters, 3 columns: not checked", "x\t\"y\"\tz,w,vvvvvvvvv\r\n1,2,3\r\n", "\t",
        false, {}, {{"x", "y", "z,w,vvvvvvvvv"}, {"1,2,3", "", ""}});
    add("two-character delimiter never matches one character",
        "x\"ab::cdefghijklmnopqrst\"::y\nx::y\n", "::", false, cannot, {});
}

void tst_KCSVLoader::headerCheck()
{
    QFETCH(QString, content);
    QFETCH(QString, delimiter);
    QFETCH(bool, replaced);
    QFETCH(L, errors);
    QFETCH(Table, data);

    const LoadOutcome out = load(utf16LeBytes(content), delimiter);
    QCOMPARE(out.errors, errors);
    QCOMPARE(out.ok, errors.isEmpty());
    QCOMPARE(out.replaced, replaced);
    QCOMPARE(out.data, data);
    QCOMPARE(out.delimiterAfter, delimiter); // a replacement applies to that load only
}

// What loadedData() reports, every time it is called, off the GUI thread.
void tst_KCSVLoader::reports_data()
{
    QTest::addColumn<QString>("content"); // null: no file name; empty: a missing file
    QTest::addColumn<int>("status");
    QTest::addColumn<L>("report");

    QTest::newRow("no file name") << QString() << 0
                                  << L{"File cannot be loaded.", "Please select a file."};
    QTest::newRow("missing file") << "" << 1
                                  << L{"File cannot be opened.", "Please select the right file."};
    QTest::newRow("format error after warnings")
        << "a\tb\r\n1\r\n\"open" << 2 << L{"File cannot be loaded.", "Please check file format."};
    // Two warnings are shown, and "..." for any more.
    QTest::newRow("two warnings") << "a\tb\r\n1\r\n2\r\n"
                                  << 5
                                  << L{"Warning: Incorrect File Format",
                                       "Line 2 is 1 columns short of header.\nLine 3 is 1 columns "
                                       "short of header."};
    QTest::newRow("three warnings")
        << "a\tb\r\n1\r\n1\t2\t3\r\n4\r\n"
        << 5
        << L{"Warning: Incorrect File Format", "Line 2 is 1 columns short of header.\nLine 3 is 1 "
                                               "columns more of header.\n..."};
    QTest::newRow("replaced delimiter, no warnings") << "aaa,bbb,ccc\r\n1,2,3\r\n" << 3 << L();
    QTest::newRow("replaced delimiter and a warning")
        << "aaa,bbb,ccc\r\n1,2\r\n"
        << 5
        << L{"Warning: Incorrect File Format",
             "The file format has been modified. We strongly recommend you to export the file "
             "again after final edits.\nLine 2 is 1 columns short of header."};
}

void tst_KCSVLoader::reports()
{
    QFETCH(QString, content);
    QFETCH(int, status);
    QFETCH(L, report);

    const LoadOutcome out = content.isEmpty()
                                ? open(content.isNull() ? QString() : m_dir.filePath("missing"),
                                       QStringLiteral("\t"), nullptr)
                                : load(utf16LeBytes(content));
    QCOMPARE(out.status, status);
    QCOMPARE(out.reported, report + report);
}

void tst_KCSVLoader::progressReports_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("total");
    QTest::addColumn<QList<int>>("current");

    QTest::newRow("empty lines counted, not reported") << "a\tb\n\n\nc\td\n\n"
                                                       << 5 << QList<int>{1, 4};
    QTest::newRow("row over two lines") << "h1\th2\n\"x\ny\"\tz\nu\tv" << 4 << QList<int>{1, 3, 4};
    QTest::newRow("header check failed") << "abcdefghij,k\nx\n" << 2 << QList<int>{};
}

void tst_KCSVLoader::progressReports()
{
    QFETCH(QString, content);
    QFETCH(int, total);
    QFETCH(QList<int>, current);

    KCSVLoader *loader = m_worker.make<KCSVLoader>();
    QSignalSpy spy(loader, &KCSVInterface::updateStatus);
    load(utf16LeBytes(content), QStringLiteral("\t"), loader);

    QCOMPARE(spy.count(), 1 + current.size());
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("total lines"));
    QCOMPARE(spy.at(0).at(1).userType(), int(QMetaType::Int));
    QCOMPARE(spy.at(0).at(1).toInt(), total);
    for (int k = 0; k < current.size(); ++k)
        QCOMPARE(spy.at(k + 1), (QVariantList{QStringLiteral("current line"), current.at(k)}));
}

void tst_KCSVLoader::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("nullCodec");
    QTest::addColumn<Table>("data");

    // U+010D and U+0D0A hold the byte 0D: only whole carriage-return characters may be dropped.
    const QString text =
        QString::fromUtf8("h\xC3\xA9\tk\r\n\xF0\x9F\x98\x80\t\xC4\x8D\xE0\xB4\x8A\r\n");
    const Table table{
        {QString::fromUtf8("h\xC3\xA9"), "k"},
        {QString::fromUtf8("\xF0\x9F\x98\x80"), QString::fromUtf8("\xC4\x8D\xE0\xB4\x8A")}};

    QTest::newRow("UTF-16LE with mark") << utf16LeBytes(text) << false << table;
    QTest::newRow("no codec reads UTF-16LE") << utf16LeBytes(text, false) << true << table;
    QTest::newRow("UTF-8 mark decides")
        << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << false << table;
    QTest::newRow("UTF-8 without mark is not UTF-16")
        << QByteArray("a\tb\nc\td\n") << false << Table{};
}

void tst_KCSVLoader::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, nullCodec);
    QFETCH(Table, data);

    KCSVLoader *loader = m_worker.make<KCSVLoader>();
    if (nullCodec)
        m_worker.run([&] { loader->setCodec(nullptr); });
    const LoadOutcome out = load(bytes, QStringLiteral("\t"), loader);
    QCOMPARE(out.data, data);
    QCOMPARE(out.errors, data.isEmpty() ? L{"No content found in the imported file."} : L());
}

// A caller that supplies its own delimiter through the virtual accessor.
class SemicolonLoader : public KCSVLoader
{
public:
    QString delimiter() const override { return QStringLiteral(";"); }
};

void tst_KCSVLoader::delimiterReadThroughAccessor()
{
    const LoadOutcome out =
        load(utf16LeBytes("a;b\tc\r\n\"d;\r\ne\";f\r\n"), "\t", m_worker.make<SemicolonLoader>());
    QVERIFY(out.ok);
    QCOMPARE(out.data, (Table{{"a", "b\tc"}, {"d;\ne", "f"}}));
}

// One loader for a sequence of files, as the transfer worker keeps it.
void tst_KCSVLoader::reusedLoader()
{
    KCSVLoader *loader = m_worker.make<KCSVLoader>();
    QVERIFY(load(utf16LeBytes("name,age,city\nbob,42,rome\n"), "\t", loader).replaced);
    // A later load in which the header check does not run keeps the replacement flag.
    const LoadOutcome tab = load(utf16LeBytes("a\tb\nc\n"), "\t", loader);
    QVERIFY(tab.ok && tab.replaced);
    // A file without content keeps the previous rows and reports nothing: callers must rely on
    // the result.
    const LoadOutcome empty = load(utf16LeBytes("only\tone\n"), "\t", loader);
    QVERIFY(!empty.ok);
    QCOMPARE(empty.status, 3);
    QCOMPARE(empty.data, (Table{{"a", "b"}, {"c", ""}}));
    QCOMPARE(empty.reported, L());
    // A failed header check comes after the rows were cleared.
    const LoadOutcome undecided = load(utf16LeBytes("abcdefghij,k\nx\n"), "\t", loader);
    QCOMPARE(undecided.errors, L{"File format error.\nCannot detect delimiter."});
    QCOMPARE(undecided.status, 3);
    QCOMPARE(undecided.data, Table{});
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
    QCOMPARE(out.data,
             (Table{{"h1", "h2"}, {longCell, "end"}, {QString(pairs, QLatin1Char('"')), "x"}}));
}

QTEST_MAIN(tst_KCSVLoader)
#include "tst_kcsvloader.moc"
