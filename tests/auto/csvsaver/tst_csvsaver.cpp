#include "CsvTestSupport.h"
#include "KCSVSaver.h"
#include "WorkerThread.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
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
    void init() { clearDefaultDir(); }
    void fileBytes_data();
    void fileBytes();
    void failuresReportAndRememberDirectory_data();
    void failuresReportAndRememberDirectory();
    void writeFailureKeepsPreviousFile();
    void eachCallStartsWithCleanErrors();

private:
    QTemporaryDir m_dir;
    WorkerThread m_worker;
};

void tst_CsvSaver::fileBytes_data()
{
    QTest::addColumn<Table>("rows");
    QTest::addColumn<int>("fileType");      // -1: leave as constructed
    QTest::addColumn<QString>("delimiter"); // null: leave as set
    QTest::addColumn<QByteArray>("codec");  // empty: leave as set
    QTest::addColumn<bool>("byteOrderMark");
    QTest::addColumn<QByteArray>("expected");

    const QString keep;
    const QByteArray utf16;
    QTest::newRow("quoting and doubling") << Table{{"a", "", "b\"c", "x\ty"}} << -1 << keep << utf16
                                          << true << utf16LeBytes("a\t\t\"b\"\"c\"\t\"x\ty\"\r\n");
    QTest::newRow("line feed in a cell is CR LF inside quotes")
        << Table{{"l1\nl2", "z"}, {"h", "i"}} << -1 << keep << utf16 << true
        << utf16LeBytes("\"l1\r\nl2\"\tz\r\nh\ti\r\n");
    QTest::newRow("CR LF in a cell keeps its CR")
        << Table{{"a\r\nb"}} << -1 << keep << utf16 << true << utf16LeBytes("\"a\r\r\nb\"\r\n");
    QTest::newRow("carriage return and spaces stay bare")
        << Table{{"a\rb", " s ", "'q'"}} << -1 << keep << utf16 << true
        << utf16LeBytes("a\rb\t s \t'q'\r\n");
    QTest::newRow("only quotes") << Table{{"\"", "\"\""}} << -1 << keep << utf16 << true
                                 << utf16LeBytes("\"\"\"\"\t\"\"\"\"\"\"\r\n");
    QTest::newRow("row without cells writes nothing")
        << Table{{"a"}, {}, {"b"}} << -1 << keep << utf16 << true << utf16LeBytes("a\r\nb\r\n");
    QTest::newRow("one empty cell writes an empty line")
        << Table{{""}, {"x"}} << -1 << keep << utf16 << true << utf16LeBytes("\r\nx\r\n");
    QTest::newRow("empty table gives zero bytes")
        << Table{} << -1 << keep << utf16 << true << QByteArray();
    QTest::newRow("rows without cells give zero bytes")
        << Table{{}, {}} << -1 << keep << utf16 << true << QByteArray();
    QTest::newRow("comma kind: tab bare, comma quoted")
        << Table{{"t\tab", "c,d", "e"}} << 1 << keep << utf16 << true
        << utf16LeBytes("t\tab,\"c,d\",e\r\n");
    QTest::newRow("text kind after comma") << Table{{"c,d", "t\tab"}} << 0 << keep << utf16 << true
                                           << utf16LeBytes("c,d\t\"t\tab\"\r\n");
    QTest::newRow("two-character delimiter") << Table{{"a:b", "c::d", "e"}} << -1 << "::" << utf16
                                             << true << utf16LeBytes("a:b::\"c::d\"::e\r\n");
    QTest::newRow("surrogate pair")
        << Table{{QString::fromUtf8("\xf0\x9f\x98\x80"), "\xc3\xa9"}} << -1 << keep << utf16 << true
        << QByteArray("\xff\xfe\x3d\xd8\x00\xde\x09\x00\xe9\x00\x0d\x00\x0a\x00", 14);
    QTest::newRow("no byte-order mark")
        << Table{{"a", "b"}} << -1 << keep << utf16 << false << utf16LeBytes("a\tb\r\n", false);
    QTest::newRow("UTF-8 with mark")
        << Table{{"\xc3\xa9", "b"}} << -1 << keep << QByteArray("UTF-8") << true
        << QByteArray("\xef\xbb\xbf\xc3\xa9\tb\r\n");
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
        QTest::newRow("cells longer than a write, UTF-16")
            << table << -1 << keep << utf16 << true << utf16LeBytes(expected);
        QTest::newRow("cells longer than a write, UTF-8")
            << table << -1 << keep << QByteArray("UTF-8") << true
            << QByteArray("\xef\xbb\xbf") + expected.toUtf8();
    }
    QTest::newRow("no codec falls back to UTF-16LE")
        << Table{{"a"}} << -1 << keep << QByteArray("none") << true << utf16LeBytes("a\r\n");
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

void tst_CsvSaver::failuresReportAndRememberDirectory_data()
{
    QTest::addColumn<QString>("relativeName");
    QTest::addColumn<QString>("rememberedRelative");

    QTest::newRow("directory does not exist") << "missing/sub/out.txt"
                                              << "missing/sub";
    QTest::newRow("name is a directory") << "adir"
                                         << "";
}

void tst_CsvSaver::failuresReportAndRememberDirectory()
{
    QFETCH(QString, relativeName);
    QFETCH(QString, rememberedRelative);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("adir")));

    KCSVSaver *saver = m_worker.make<KCSVSaver>();
    const QString name = m_dir.filePath(relativeName);
    QVERIFY(!m_worker.run([&] { return saver->saveFile(Table{{"a", "b"}}, name); }));
    QCOMPARE(saver->errorMessageList(), QStringList{"File cannot be opened."});
    QCOMPARE(QDir::cleanPath(storedDefaultDir()),
             QDir::cleanPath(m_dir.filePath(rememberedRelative)));
}

void tst_CsvSaver::writeFailureKeepsPreviousFile()
{
#ifdef Q_OS_UNIX
    const QString path = m_dir.filePath(QStringLiteral("keep.txt"));
    const QByteArray previous = utf16LeBytes("old\tfile\r\n");
    QVERIFY(writeBytes(path, previous));

    Table big;
    for (int r = 0; r < 2000; ++r)
        big.append(QStringList{QString::number(r), QString(40, QLatin1Char('x')), "q\"uote"});

    // A file size limit makes the writes fail part way, as a full disk does.
    rlimit original{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit limited = original;
    limited.rlim_cur = 50000;
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

    // Without the limit the same table is written whole.
    QVERIFY(m_worker.run([&] { return saver->saveFile(big, path); }));
    QVERIFY(readBytes(path).size() > 50000);
#else
    QSKIP("needs a file size limit");
#endif
}

void tst_CsvSaver::eachCallStartsWithCleanErrors()
{
    KCSVSaver *saver = m_worker.make<KCSVSaver>();
    const QString bad = m_dir.filePath(QStringLiteral("nowhere/x.txt"));
    const QString good = m_dir.filePath(QStringLiteral("good.txt"));

    QVERIFY(!m_worker.run([&] { return saver->saveFile(Table{{"a"}}, QString()); }));
    QCOMPARE(saver->errorMessageList(), QStringList{"The file name is empty."});
    QVERIFY(!m_worker.run([&] { return saver->saveFile(Table{{"a"}}, bad); }));
    QCOMPARE(saver->errorMessageList(), QStringList{"File cannot be opened."});
    QVERIFY(m_worker.run([&] { return saver->saveFile(Table{{"a"}}, good); }));
    QCOMPARE(saver->errorMessageList(), QStringList());
}

QTEST_MAIN(tst_CsvSaver)
#include "tst_csvsaver.moc"
