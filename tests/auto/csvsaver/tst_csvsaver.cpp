#include "../csvsupport/CsvTestSupport.h"
#include "KCSVSaver.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace CsvTestSupport;
using Table = QList<QStringList>;

// The saver on a worker thread, as the transfer worker uses it; files are compared byte for byte
// with what the Windows target writes.
class tst_CsvSaver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { isolateSettings(m_dir.filePath(QStringLiteral("settings"))); }
    void fileBytes_data();
    void fileBytes();
    void writeFailureKeepsPreviousFile_data();
    void writeFailureKeepsPreviousFile();
    void writableFileInClosedDirectory();

private:
    QTemporaryDir m_dir;
    WorkerThread m_worker;
};

void tst_CsvSaver::fileBytes_data()
{
    QTest::addColumn<Table>("rows");
    QTest::addColumn<int>("fileType");      // -1: leave as constructed
    QTest::addColumn<QString>("delimiter"); // null: leave as set
    QTest::addColumn<QByteArray>("codec");  // empty: leave as set; "none": a null codec
    QTest::addColumn<bool>("byteOrderMark");
    QTest::addColumn<QByteArray>("expected");
    const auto add = [](const char *name, const Table &rows, const QByteArray &expected,
                        int fileType = -1, const QString &delimiter = QString(),
                        const QByteArray &codec = QByteArray(), bool byteOrderMark = true) {
        QTest::newRow(name) << rows << fileType << delimiter << codec << byteOrderMark << expected;
    };

    // A carriage return alone, spaces and single quotes need no quotes.
    add("quoting and doubling", {{"a", "", "b\"c", "x\ty", "\"", "a\rb", " 's' "}},
        utf16LeBytes("a\t\t\"b\"\"c\"\t\"x\ty\"\t\"\"\"\"\ta\rb\t 's' \r\n"));
    add("line feed in a cell is CR LF inside quotes", {{"l1\nl2", "z"}, {"h", "i"}},
        utf16LeBytes("\"l1\r\nl2\"\tz\r\nh\ti\r\n"));
    add("CR LF in a cell keeps its CR", {{"a\r\nb"}}, utf16LeBytes("\"a\r\r\nb\"\r\n"));
    add("row without cells writes nothing, one empty cell an empty line", {{"a"}, {}, {""}, {"b"}},
        utf16LeBytes("a\r\n\r\nb\r\n"));
    add("rows without cells give zero bytes", {{}, {}}, QByteArray());
    add("comma kind: tab bare, comma quoted", {{"t\tab", "c,d", "e"}},
        utf16LeBytes("t\tab,\"c,d\",e\r\n"), 1);
    add("two-character delimiter", {{"a:b", "c::d", "e"}}, utf16LeBytes("a:b::\"c::d\"::e\r\n"), -1,
        "::");
    add("surrogate pair", {{QString::fromUtf8("\xf0\x9f\x98\x80"), "\xc3\xa9"}},
        QByteArray("\xff\xfe\x3d\xd8\x00\xde\x09\x00\xe9\x00\x0d\x00\x0a\x00", 14));
    add("no byte-order mark", {{"a", "b"}}, utf16LeBytes("a\tb\r\n", false), -1, QString(),
        QByteArray(), false);
    add("no codec falls back to UTF-16LE", {{"a"}}, utf16LeBytes("a\r\n"), -1, QString(), "none");
    {
        // Cells far longer than what the saver encodes at a time, with quotes, line feeds and
        // surrogate pairs on every boundary a slice of the cell could end at.
        const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80");
        QString quoted = QStringLiteral("\"");
        for (int k = 0; k < 100000; ++k)
            quoted += emoji;
        quoted += QStringLiteral("\nx\"y");
        const QString plain(150001, QLatin1Char('a'));
        QString inner = quoted;
        inner.replace(QLatin1String("\""), QLatin1String("\"\""));
        inner.replace(QLatin1String("\n"), QLatin1String("\r\n"));
        const QString expected =
            QLatin1Char('"') + inner + QStringLiteral("\"\t") + plain + QStringLiteral("\r\nz\r\n");
        const Table table{{quoted, plain}, {"z"}};
        add("cells longer than a write, UTF-16", table, utf16LeBytes(expected));
        add("cells longer than a write, UTF-8", table,
            QByteArray("\xef\xbb\xbf") + expected.toUtf8(), -1, QString(), "UTF-8");
    }
}

void tst_CsvSaver::fileBytes()
{
    QFETCH(Table, rows);
    QFETCH(int, fileType);
    QFETCH(QString, delimiter);
    QFETCH(QByteArray, codec);
    QFETCH(bool, byteOrderMark);
    QFETCH(QByteArray, expected);

    const QString path = m_dir.filePath(QStringLiteral("out.txt"));
    // An older, longer file must be replaced completely.
    QVERIFY(writeBytes(path, QByteArray(4096, 'o')));

    KCSVSaver *saver = m_worker.make<KCSVSaver>();
    const bool ok = m_worker.run([&] {
        if (fileType >= 0)
            saver->setFileType(fileType);
        if (!delimiter.isNull())
            saver->setDelimiter(delimiter);
        if (!codec.isEmpty())
            saver->setCodec(QTextCodec::codecForName(codec));
        saver->setGenerateByteOrderMark(byteOrderMark);
        return saver->saveFile(rows, path);
    });
    QVERIFY(ok);
    QCOMPARE(saver->errorMessageList(), QStringList());
    QCOMPARE(readBytes(path).toHex(' '), expected.toHex(' '));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"out.txt"});
}

void tst_CsvSaver::writeFailureKeepsPreviousFile_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("limit"); // bytes the file may grow to
    QTest::newRow("failing part way") << 2000 << 50000;
    // The whole table fits the write buffer: only the final flush can fail.
    QTest::newRow("failing at the final flush") << 3 << 16;
}

void tst_CsvSaver::writeFailureKeepsPreviousFile()
{
#ifdef Q_OS_UNIX
    QFETCH(int, rows);
    QFETCH(int, limit);
    const QString path = m_dir.filePath(QStringLiteral("keep.txt"));
    const QByteArray previous = utf16LeBytes("old\tfile\r\n");
    QVERIFY(writeBytes(path, previous));

    Table big;
    for (int r = 0; r < rows; ++r)
        big.append(QStringList{QString::number(r), QString(40, QLatin1Char('x')), "q\"uote"});

    // A file size limit makes the writes fail part way, as a full disk does.
    rlimit original{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit limited = original;
    limited.rlim_cur = rlim_t(limit);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    KCSVSaver *saver = m_worker.make<KCSVSaver>();
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool ok = m_worker.run([&] { return saver->saveFile(big, path); });
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, handler);

    QVERIFY(!ok);
    QCOMPARE(saver->errorMessageList(), QStringList{"File cannot be opened."});
    QCOMPARE(readBytes(path), previous);
    QCOMPARE(QDir(m_dir.path()).entryList({"keep*"}, QDir::Files | QDir::Hidden),
             QStringList{"keep.txt"});

    // Without the limit the same table is written whole, and the error is gone.
    QVERIFY(m_worker.run([&] { return saver->saveFile(big, path); }));
    QVERIFY(readBytes(path).size() > limit);
    QCOMPARE(saver->errorMessageList(), QStringList());
#else
    QSKIP("needs a file size limit");
#endif
}

// A writable file in a directory that takes no new file is still saved (in place).
void tst_CsvSaver::writableFileInClosedDirectory()
{
#ifdef Q_OS_UNIX
    QTemporaryDir closed;
    const QString path = closed.filePath(QStringLiteral("PROG_1.txt"));
    QVERIFY(writeBytes(path, utf16LeBytes("old\r\n")));
    // Root may create files in any directory it cannot write; an immutable one stops it too.
    const bool root = geteuid() == 0;
    const QString dir = closed.path();
    const auto close = [&](bool on) {
        if (root)
            return QProcess::execute("chattr", {on ? "+i" : "-i", dir}) == 0;
        return QFile::setPermissions(dir, on ? QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                             : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
    };
    if (!close(true))
        QSKIP("cannot close the directory to new files here");
    KCSVSaver *saver = m_worker.make<KCSVSaver>();
    const bool ok = m_worker.run([&] { return saver->saveFile({{"a", "b"}}, path); });
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    QVERIFY(close(false));
    QVERIFY(ok);
    QCOMPARE(readBytes(path), utf16LeBytes("a\tb\r\n"));
    QCOMPARE(entries, QStringList{"PROG_1.txt"});
#else
    QSKIP("needs POSIX permissions");
#endif
}

QTEST_MAIN(tst_CsvSaver)
#include "tst_csvsaver.moc"
