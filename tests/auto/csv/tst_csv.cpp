// The CSV library: what the loader reads and reports, the bytes the saver writes (compared with
// what the Windows target writes), and the dialogs, which only the GUI thread may show.

#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "TestFiles.h"
#include "TestTables.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using Table = QList<QStringList>;
using L = QStringList;
using TestFiles::utf16WithBom;
using namespace TestTables;

namespace {

QSettings appSettings()
{
    return QSettings(QCoreApplication::organizationName(), QCoreApplication::applicationName());
}

QString storedDefaultDir()
{
    return appSettings().value(QStringLiteral("default_dir")).toString();
}

// The library as its callers use it away from the GUI thread (the transfer worker on a thread of
// its own, the editor on none): no dialog can appear, every message lands in the lists.
template <typename T> std::unique_ptr<T> detached()
{
    auto object = std::make_unique<T>();
    object->moveToThread(nullptr);
    return object;
};

// The name filter the save dialog would offer.
class FilterProbe : public KCSVSaver
{
public:
    QString filter() const { return fileFilter; }
};

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

} // namespace

class tst_Csv : public QObject
{
    Q_OBJECT

private slots:
    // Keeps every settings file under the test's directory, so the real user's "default_dir" is
    // never read or written.
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("dcp30-tests"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("s"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath("s"));
    }
    void init() { appSettings().remove(QStringLiteral("default_dir")); }

    // The loader off the GUI thread, as the transfer worker uses it.
    void parse_data()
    {
        columns<QString, int, L, L, Table>("content", "status", "errors", "warnings", "data");
        const auto add = [](const char *name, const QString &content, int status, const L &errors,
                            const L &warnings, const Table &data) {
            QTest::newRow(name) << content << status << errors << warnings << data;
        };

        add("line feeds only, no final line end", "a\tb\nc\td", 3, {}, {},
            {{"a", "b"}, {"c", "d"}});
        add("carriage returns dropped anywhere, spaces kept", "a\r\t b\r\nc\rx \td\r\r\n", 3, {},
            {}, {{"a", " b"}, {"cx ", "d"}});
        add("header only", "a\tb\r\n", 3, {"No content found in the imported file."}, {}, {});
        add("quoted field across lines", "h1\th2\th3\na\t\"x\ny\"\tb\n", 3, {}, {},
            {{"h1", "h2", "h3"}, {"a", "x\ny", "b"}});
        add("doubled quotes on both sides of a line break", "h\tk\n\"a\"\"\n\"\"b\"\tc\n", 3, {},
            {}, {{"h", "k"}, {"a\"\n\"b", "c"}});
        add("quote inside an unquoted field is ordinary", "h1\th2\na\"b\tc\"\n", 3, {}, {},
            {{"h1", "h2"}, {"a\"b", "c\""}});
        add("two quotes make an empty cell", "h1\th2\n\"\"\tx\n", 3, {}, {},
            {{"h1", "h2"}, {"", "x"}});
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
                table.append({QStringLiteral("v%1").arg(k % 11), QStringLiteral("x%1").arg(k % 2)});
                text += table.last().join(QLatin1Char('\t')) + QLatin1Char('\n');
            }
            text += QStringLiteral("\"v\n1\"\tx1\nv1\tx0\n");
            add("repeated values in a column", text, 3, {}, {},
                table + Table{{"v\n1", "x1"}, {"v1", "x0"}});
        }
        add("error after warnings: format error status", "h1\th2\th3\na\n\"x\n", 2,
            {"Format error at line 4"}, {"Line 2 is 2 columns short of header."}, {});
    }

    void parse()
    {
        const auto [content, status, errors, warnings, data] =
            fetch<QString, int, L, L, Table>("content", "status", "errors", "warnings", "data");

        const LoadOutcome out = load(utf16WithBom(content));
        QCOMPARE(out.errors, errors);
        QCOMPARE(out.warnings, warnings);
        QCOMPARE(out.ok, errors.isEmpty());
        QCOMPARE(out.status, status);
        QCOMPARE(out.data, data);
        QVERIFY(!out.replaced);
    }

    // The first line is checked for a wrong delimiter when its length divided by 5 exceeds its
    // column count; one quoted span may hold the delimiter when the delimiter or the line end
    // follows it.
    void headerCheck_data()
    {
        columns<QString, QString, bool, L, Table>("content", "delimiter", "replaced", "errors",
                                                  "data");
        const auto add = [](const char *name, const QString &content, const QString &delimiter,
                            bool replaced, const L &errors, const Table &data) {
            QTest::newRow(name) << content << delimiter << replaced << errors << data;
        };

        const L cannot{"File format error.\nCannot detect delimiter."};
        add("comma file read with tab", "name,age,city\nbob,42,rome\n", "\t", true, {},
            {{"name", "age", "city"}, {"bob", "42", "rome"}});
        add("one comma cannot decide", "abcdefghij,k\nx\n", "\t", false, cannot, {});
        add("comma never picks comma", "a,\"bc,de\"fghijklmnop\nx\n", ",", false, cannot, {});
        add("tab is tried before comma", "abcdefghijklmnop\tq,r\ts,t\nx\n", ";", true, {},
            {{"abcdefghijklmnop", "q,r", "s,t"}, {"x", "", ""}});
        add("delimiter before first quote", "ab\tcdefghijkl\"m\"\nx\ty\n", "\t", false, cannot, {});
        add("delimiter right after quoted span", "x\"abcdefghij\"\tk\nx\ty\n", "\t", false, {},
            {{"x\"abcdefghij\"", "k"}, {"x", "y"}});
        add("text between quoted span and delimiter", "x\"abcdefghij\"y\tk\nx\ty\n", "\t", false,
            cannot, {});
        add("delimiter inside quotes, delimiter after", "x\"ab\tcdefghijklmnopqrst\"\ty\nx\ty\tz\n",
            "\t", false, {}, {{"x\"ab", "cdefghijklmnopqrst\"", "y"}, {"x", "y", "z"}});
        add("delimiter inside quotes, line ends at quote", "x\"ab\tcdefghijklmnopqrst\"\nx\ty\n",
            "\t", false, cannot, {});
        add("quoted first cell followed by delimiter", "\"ab\tcdefghijklmnop\"\ty\nx\ty\n", "\t",
            false, {}, {{"ab\tcdefghijklmnop", "y"}, {"x", "y", ""}});
        add("quoted first cell is the whole line", "\"ab\tcdefghijklmnopq\"\nx\n", "\t", false, {},
            {{"ab\tcdefghijklmnopq"}, {"x", ""}});
        add("20 characters, 3 columns: checked", "x\t\"y\"\tz,w,vvvvvvvvvv\r\n1,2,3\r\n", "\t",
            true, {}, {{"x\t\"y\"\tz", "w", "vvvvvvvvvv"}, {"1", "2", "3"}});
        add("19 characters, 3 columns: not checked", "x\t\"y\"\tz,w,vvvvvvvvv\r\n1,2,3\r\n", "\t",
            false, {}, {{"x", "y", "z,w,vvvvvvvvv"}, {"1,2,3", "", ""}});
        add("two-character delimiter never matches one character",
            "x\"ab::cdefghijklmnopqrst\"::y\nx::y\n", "::", false, cannot, {});
    }

    void headerCheck()
    {
        const auto [content, delimiter, replaced, errors, data] =
            fetch<QString, QString, bool, L, Table>("content", "delimiter", "replaced", "errors",
                                                    "data");

        const LoadOutcome out = load(utf16WithBom(content), delimiter);
        QCOMPARE(out.errors, errors);
        QCOMPARE(out.ok, errors.isEmpty());
        QCOMPARE(out.replaced, replaced);
        QCOMPARE(out.data, data);
        QCOMPARE(out.delimiterAfter, delimiter); // a replacement applies to that load only
    }

    // What loadedData() reports, every time it is called, off the GUI thread.
    void reports_data()
    {
        // content: null: no file name; empty: a missing file
        columns<QString, int, L>("content", "status", "report");

        const QString bad = QStringLiteral("Warning: Incorrect File Format");
        row("no file name", QString(), 0, L{"File cannot be loaded.", "Please select a file."});
        row("missing file", QString(""), 1,
            L{"File cannot be opened.", "Please select the right file."});
        row("format error after warnings", QString("a\tb\r\n1\r\n\"open"), 2,
            L{"File cannot be loaded.", "Please check file format."});
        // Two warnings are shown, and "..." for any more.
        row("two warnings", QString("a\tb\r\n1\r\n2\r\n"), 5,
            L{bad, "Line 2 is 1 columns short of header.\nLine 3 is 1 columns short of header."});
        row("three warnings", QString("a\tb\r\n1\r\n1\t2\t3\r\n4\r\n"), 5,
            L{bad,
              "Line 2 is 1 columns short of header.\nLine 3 is 1 columns more of header.\n..."});
        row("replaced delimiter and a warning", QString("aaa,bbb,ccc\r\n1,2\r\n"), 5,
            L{bad,
              "The file format has been modified. We strongly recommend you to export the file "
              "again after final edits.\nLine 2 is 1 columns short of header."});
    }

    void reports()
    {
        const auto [content, status, report] =
            fetch<QString, int, L>("content", "status", "report");

        const LoadOutcome out = content.isEmpty()
                                    ? open(content.isNull() ? QString() : m_dir.filePath("missing"),
                                           QStringLiteral("\t"), nullptr)
                                    : load(utf16WithBom(content));
        QCOMPARE(out.status, status);
        QCOMPARE(out.reported, report + report);
    }

    void progressReports_data()
    {
        columns<QString, int, QList<int>>("content", "total", "current");

        row("empty lines counted, not reported", QString("a\tb\n\n\nc\td\n\n"), 5,
            QList<int>{1, 4});
        row("row over two lines", QString("h1\th2\n\"x\ny\"\tz\nu\tv"), 4, QList<int>{1, 3, 4});
        row("header check failed", QString("abcdefghij,k\nx\n"), 2, QList<int>{});
    }

    void progressReports()
    {
        const auto [content, total, current] =
            fetch<QString, int, QList<int>>("content", "total", "current");

        const auto loader = detached<KCSVLoader>();
        QSignalSpy spy(loader.get(), &KCSVInterface::updateStatus);
        load(utf16WithBom(content), QStringLiteral("\t"), loader.get());

        QCOMPARE(spy.count(), 1 + current.size());
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("total lines"));
        QCOMPARE(spy.at(0).at(1).userType(), int(QMetaType::Int));
        QCOMPARE(spy.at(0).at(1).toInt(), total);
        for (int k = 0; k < current.size(); ++k)
            QCOMPARE(spy.at(k + 1), (QVariantList{QStringLiteral("current line"), current.at(k)}));
    }

    void encodings_data()
    {
        columns<QByteArray, bool, Table>("bytes", "nullCodec", "data");

        // U+010D and U+0D0A hold the byte 0D: only whole carriage-return characters may be dropped.
        const QString text =
            QString::fromUtf8("h\xC3\xA9\tk\r\n\xF0\x9F\x98\x80\t\xC4\x8D\xE0\xB4\x8A\r\n");
        const Table table{
            {QString::fromUtf8("h\xC3\xA9"), "k"},
            {QString::fromUtf8("\xF0\x9F\x98\x80"), QString::fromUtf8("\xC4\x8D\xE0\xB4\x8A")}};

        row("UTF-16LE with mark", utf16WithBom(text), false, table);
        row("no codec reads UTF-16LE", utf16WithBom(text).mid(2), true, table);
        row("UTF-8 mark decides", QByteArray("\xEF\xBB\xBF") + text.toUtf8(), false, table);
        row("UTF-8 without mark is not UTF-16", QByteArray("a\tb\nc\td\n"), false, Table{});
    }

    void encodings()
    {
        const auto [bytes, nullCodec, data] =
            fetch<QByteArray, bool, Table>("bytes", "nullCodec", "data");

        const auto loader = detached<KCSVLoader>();
        if (nullCodec)
            loader->setCodec(nullptr);
        const LoadOutcome out = load(bytes, QStringLiteral("\t"), loader.get());
        QCOMPARE(out.data, data);
        QCOMPARE(out.errors, data.isEmpty() ? L{"No content found in the imported file."} : L());
    }

    // One loader for a sequence of files, as the transfer worker keeps it.
    void reusedLoader()
    {
        const auto loader = detached<KCSVLoader>();
        QVERIFY(load(utf16WithBom("name,age,city\nbob,42,rome\n"), "\t", loader.get()).replaced);
        QCOMPARE(storedDefaultDir(), m_dir.path()); // where the next file dialog starts
        // A later load in which the header check does not run keeps the replacement flag.
        const LoadOutcome tab = load(utf16WithBom("a\tb\nc\n"), "\t", loader.get());
        QVERIFY(tab.ok && tab.replaced);
        // A file without content keeps the previous rows and reports nothing: callers must rely on
        // the result.
        const LoadOutcome empty = load(utf16WithBom("only\tone\n"), "\t", loader.get());
        QVERIFY(!empty.ok);
        QCOMPARE(empty.status, 3);
        QCOMPARE(empty.data, (Table{{"a", "b"}, {"c", ""}}));
        QCOMPARE(empty.reported, L());
        // A failed header check comes after the rows were cleared.
        const LoadOutcome undecided = load(utf16WithBom("abcdefghij,k\nx\n"), "\t", loader.get());
        QCOMPARE(undecided.errors, L{"File format error.\nCannot detect delimiter."});
        QCOMPARE(undecided.status, 3);
        QCOMPARE(undecided.data, Table{});
    }

    // A parse that rescanned the growing field would take hours here; this one stays linear.
    void largeQuotedFieldsParse()
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

        const LoadOutcome out = load(utf16WithBom(content));
        QVERIFY(out.ok);
        QCOMPARE(out.data,
                 (Table{{"h1", "h2"}, {longCell, "end"}, {QString(pairs, QLatin1Char('"')), "x"}}));
    }

    // The saver off the GUI thread.
    void fileBytes_data()
    {
        // fileType: -1: leave as constructed; delimiter: null: leave as set; codec: empty: leave as
        // set; "none": a null codec
        columns<Table, int, QString, QByteArray, bool, QByteArray>(
            "rows", "fileType", "delimiter", "codec", "byteOrderMark", "expected");
        const auto add = [](const char *name, const Table &rows, const QByteArray &expected,
                            int fileType = -1, const QString &delimiter = QString(),
                            const QByteArray &codec = QByteArray(), bool byteOrderMark = true) {
            QTest::newRow(name) << rows << fileType << delimiter << codec << byteOrderMark
                                << expected;
        };

        // A carriage return alone, spaces and single quotes need no quotes.
        add("quoting and doubling", {{"a", "", "b\"c", "x\ty", "\"", "a\rb", " 's' "}},
            utf16WithBom("a\t\t\"b\"\"c\"\t\"x\ty\"\t\"\"\"\"\ta\rb\t 's' \r\n"));
        add("line feed in a cell is CR LF inside quotes", {{"l1\nl2", "z"}, {"h", "i"}},
            utf16WithBom("\"l1\r\nl2\"\tz\r\nh\ti\r\n"));
        add("row without cells writes nothing, one empty cell an empty line",
            {{"a"}, {}, {""}, {"b"}}, utf16WithBom("a\r\n\r\nb\r\n"));
        add("comma kind: tab bare, comma quoted", {{"t\tab", "c,d", "e"}},
            utf16WithBom("t\tab,\"c,d\",e\r\n"), 1);
        add("two-character delimiter", {{"a:b", "c::d", "e"}}, utf16WithBom("a:b::\"c::d\"::e\r\n"),
            -1, "::");
        add("surrogate pair", {{QString::fromUtf8("\xf0\x9f\x98\x80"), "\xc3\xa9"}},
            QByteArray("\xff\xfe\x3d\xd8\x00\xde\x09\x00\xe9\x00\x0d\x00\x0a\x00", 14));
        add("no byte-order mark", {{"a", "b"}}, utf16WithBom("a\tb\r\n").mid(2), -1, QString(),
            QByteArray(), false);
        add("no codec falls back to UTF-16LE", {{"a"}}, utf16WithBom("a\r\n"), -1, QString(),
            "none");
        {
            // Cells far longer than what the saver encodes at a time, with quotes, line feeds and
            // surrogate pairs on every boundary a slice of the cell could end at.
            const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80");
            QString quoted =
                QStringLiteral("\"") + emoji.repeated(100000) + QStringLiteral("\nx\"y");
            const QString plain(150001, QLatin1Char('a'));
            QString inner = quoted;
            inner.replace(QLatin1String("\""), QLatin1String("\"\""));
            inner.replace(QLatin1String("\n"), QLatin1String("\r\n"));
            const QString expected = QLatin1Char('"') + inner + QStringLiteral("\"\t") + plain +
                                     QStringLiteral("\r\nz\r\n");
            const Table table{{quoted, plain}, {"z"}};
            add("cells longer than a write, UTF-16", table, utf16WithBom(expected));
            add("cells longer than a write, UTF-8", table,
                QByteArray("\xef\xbb\xbf") + expected.toUtf8(), -1, QString(), "UTF-8");
        }
    }

    void fileBytes()
    {
        const auto [rows, fileType, delimiter, codec, byteOrderMark, expected] =
            fetch<Table, int, QString, QByteArray, bool, QByteArray>(
                "rows", "fileType", "delimiter", "codec", "byteOrderMark", "expected");

        // An older, longer file must be replaced completely.
        const QString path = file(QStringLiteral("out.txt"), QByteArray(4096, 'o'));
        const auto saver = detached<FilterProbe>();
        if (fileType >= 0)
            saver->setFileType(fileType);
        if (!delimiter.isNull())
            saver->setDelimiter(delimiter);
        if (!codec.isEmpty())
            saver->setCodec(QTextCodec::codecForName(codec));
        saver->setGenerateByteOrderMark(byteOrderMark);
        QVERIFY(saver->saveFile(rows, path));
        QCOMPARE(saver->errorMessageList(), QStringList());
        QCOMPARE(TestFiles::read(path).toHex(' '), expected.toHex(' '));
        QCOMPARE(storedDefaultDir(), m_dir.path()); // where the next file dialog starts
        QCOMPARE(saver->filter(), fileType == 1 ? "CSV File (*.csv)" : "Text File (*.txt)");
        QCOMPARE(QDir(m_dir.path()).entryList({"out*"}, QDir::Files | QDir::Hidden), L{"out.txt"});
    }

    void writeFailureKeepsPreviousFile_data()
    {
        // limit: bytes the file may grow to
        columns<int, int>("rows", "limit");
        QTest::newRow("failing part way") << 2000 << 50000;
        // The whole table fits the write buffer: only the final flush can fail.
        QTest::newRow("failing at the final flush") << 3 << 16;
    }

    void writeFailureKeepsPreviousFile()
    {
#ifdef Q_OS_UNIX
        const auto [rows, limit] = fetch<int, int>("rows", "limit");
        const QByteArray previous = utf16WithBom("old\tfile\r\n");
        const QString path = file(QStringLiteral("keep.txt"), previous);
        Table big;
        for (int r = 0; r < rows; ++r)
            big.append(QStringList{QString::number(r), QString(40, QLatin1Char('x')), "q\"uote"});

        // A file size limit makes the writes fail part way, as a full disk does.
        rlimit original{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &original), 0);
        rlimit limited = original;
        limited.rlim_cur = rlim_t(limit);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        const auto saver = detached<KCSVSaver>();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool ok = saver->saveFile(big, path);
        setrlimit(RLIMIT_FSIZE, &original);
        std::signal(SIGXFSZ, handler);

        QVERIFY(!ok);
        QCOMPARE(saver->errorMessageList(), QStringList{"File cannot be opened."});
        QCOMPARE(TestFiles::read(path), previous);
        QCOMPARE(QDir(m_dir.path()).entryList({"keep*"}, QDir::Files | QDir::Hidden),
                 L{"keep.txt"});

        // Without the limit the same table is written whole, and the error is gone.
        QVERIFY(saver->saveFile(big, path));
        QVERIFY(TestFiles::read(path).size() > limit);
        QCOMPARE(saver->errorMessageList(), QStringList());
#else
        QSKIP("needs a file size limit");
#endif
    }

    // A writable file in a directory that takes no new file is still saved (in place).
    void writableFileInClosedDirectory()
    {
#ifdef Q_OS_UNIX
        QTemporaryDir closed;
        const QString path = closed.filePath(QStringLiteral("PROG_1.txt"));
        QVERIFY(TestFiles::write(path, utf16WithBom("old\r\n")));
        // Root may create files in any directory it cannot write; an immutable one stops it too.
        const bool root = geteuid() == 0;
        const QString dir = closed.path();
        const auto close = [&](bool on) {
            if (root)
                return QProcess::execute("chattr", {on ? "+i" : "-i", dir}) == 0;
            return QFile::setPermissions(
                dir, on ? QFileDevice::ReadOwner | QFileDevice::ExeOwner
                        : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        };
        if (!close(true))
            QSKIP("cannot close the directory to new files here");
        const auto saver = detached<KCSVSaver>();
        const bool ok = saver->saveFile({{ "a", "b" }}, path);
        const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(close(false));
        QVERIFY(ok);
        QCOMPARE(TestFiles::read(path), utf16WithBom("a\tb\r\n"));
        QCOMPARE(entries, QStringList{"PROG_1.txt"});
#else
        QSKIP("needs POSIX permissions");
#endif
    }

    // Dialogs: never off the GUI thread; on it, the format question.
    // Off the GUI thread nobody can confirm: a prompt counts as declined and leaves everything as
    // it was; an object of the GUI thread used from another thread shows nothing either.
    void nothingShownOffTheGuiThread()
    {
        const auto loader = detached<KCSVLoader>();
        const auto saver = detached<KCSVSaver>();
        KCSVLoader guiLoader;
        KCSVSaver guiSaver;
        const QString first = file("a.txt", utf16WithBom("a\tb\r\n1\r\n"));
        const QString other = file("b.txt", utf16WithBom("x\ty\r\n1\t2\r\n"));
        QList<bool> answers;
        std::unique_ptr<QThread> caller(QThread::create([&] {
            answers << loader->openFile(first) << saver->saveFile(Table{{"a"}}, QString());
            loader->setPromptFormat(true);
            saver->setPromptFormat(true);
            answers << loader->openFile(other) << loader->openFile(other)
                    << saver->saveFile(Table{{"a"}}, other + ".out") << guiLoader.openFile()
                    << guiSaver.saveFile(Table{{"a"}}, m_dir.filePath("no/such/dir.txt"));
        }));
        caller->start();
        QVERIFY(caller->wait(60000));
        QCOMPARE(answers, (QList<bool>{true, false, false, false, false, false, false}));
        // Each refusal is added to the previous call's messages, and the last rows stay.
        QCOMPARE(loader->errorMessageList(),
                 (L{"User canceled operation.", "User canceled operation."}));
        QCOMPARE(loader->warningMessageList(), L{"Line 2 is 1 columns short of header."});
        QCOMPARE(loader->statusCode(), int(KCSVLoader::ColumnMismatch));
        QCOMPARE(loader->loadedData(), (Table{{"a", "b"}, {"1", ""}}));
        QCOMPARE(saver->errorMessageList(),
                 (L{"The file name is empty.", "User canceled operation."}));
        QVERIFY(!QFile::exists(other + ".out"));
        QCOMPARE(guiLoader.errorMessageList(), L{"The file name is empty."});
        QCOMPARE(guiSaver.errorMessageList(), L{"File cannot be opened."});
        QCOMPARE(QApplication::topLevelWidgets(), QWidgetList()); // no box, no dialog
    }

    void confirmFormat_data()
    {
        // ok: the answer: OK or Cancel
        columns<int, bool, QString>("fileType", "ok", "text");
        QTest::newRow("text kind, OK") << 0 << true << "as TXT format.";
        QTest::newRow("csv kind, Cancel") << 1 << false << "as CSV format.";
    }

    void confirmFormat()
    {
        const auto [fileType, ok, text] = fetch<int, bool, QString>("fileType", "ok", "text");
        KCSVLoader loader;
        QVERIFY(loader.confirmFormat()); // nothing asked while the prompt is off
        loader.setFileType(fileType);
        loader.setPromptFormat(true);
        L seen;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&, ok = ok] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() << box->text() << box->informativeText()
                     << (box->defaultButton() == box->button(QMessageBox::Cancel) ? "Cancel" : "?");
                box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
            }
        });
        answer.start(10);
        QCOMPARE(loader.confirmFormat(), ok);
        QCOMPARE(seen, (L{"Import/Export File", "The import/export file will process " + text,
                          "Do you want to procced?", "Cancel"}));
    }

private:
    // Loads bytes with a fresh loader, or with loader when given.
    LoadOutcome load(const QByteArray &bytes, const QString &delimiter = QStringLiteral("\t"),
                     KCSVLoader *loader = nullptr)
    {
        static int serial = 0;
        return open(file(QStringLiteral("in%1.txt").arg(++serial), bytes), delimiter, loader);
    }

    LoadOutcome open(const QString &file, const QString &delimiter, KCSVLoader *loader)
    {
        LoadOutcome out;
        const std::unique_ptr<KCSVLoader> own = loader ? nullptr : detached<KCSVLoader>();
        KCSVLoader *used = loader ? loader : own.get();
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
        return out;
    }

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        if (!TestFiles::write(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QTemporaryDir m_dir;
};

QTEST_MAIN(tst_Csv)
#include "tst_csv.moc"
