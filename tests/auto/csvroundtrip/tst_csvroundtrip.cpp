#include "CsvTestSupport.h"
#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "WorkerThread.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace CsvTestSupport;
using Table = QList<QStringList>;

namespace {

QJsonArray toJson(const Table &table)
{
    QJsonArray rows;
    for (const QStringList &row : table)
        rows.append(QJsonArray::fromStringList(row));
    return rows;
}

Table fromJson(const QByteArray &json)
{
    Table table;
    for (const QJsonValue &row : QJsonDocument::fromJson(json).array()) {
        QStringList cells;
        for (const QJsonValue &cell : row.toArray())
            cells.append(cell.toString());
        table.append(cells);
    }
    return table;
}

// A table the format promises to carry unchanged: at least two rows of the same width (two or
// more), a header without anything to quote, no carriage returns.
Table randomTable(QRandomGenerator &random, const QString &delimiter, int columns, int rows)
{
    static const QStringList pieces{"a",
                                    "Zz",
                                    " ",
                                    "\"",
                                    "\n",
                                    "\t",
                                    ",",
                                    ";",
                                    "\u00e9",
                                    "7",
                                    QString::fromUtf8("\xf0\x9f\x98\x80")};
    Table table;
    for (int r = 0; r < rows; ++r) {
        QStringList row;
        for (int c = 0; c < columns; ++c) {
            QString cell;
            const int length = random.bounded(r == 0 ? 12 : 8);
            while (cell.size() < length) {
                const QString piece = pieces.at(random.bounded(pieces.size()));
                if (r > 0 || !(piece == "\"" || piece == "\n" || piece == delimiter))
                    cell += piece;
            }
            row.append(cell);
        }
        table.append(row);
    }
    return table;
}

} // namespace

class tst_CsvRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { isolateSettings(m_dir.filePath(QStringLiteral("settings"))); }
    void tablesComeBack_data();
    void tablesComeBack();
    void randomTablesComeBack();
    void pythonReadsWhatTheSaverWrites_data();
    void pythonReadsWhatTheSaverWrites();
    void loaderReadsWhatPythonWrites();

private:
    Table roundTrip(const Table &table, const QString &delimiter);
    QByteArray python(const QString &script, const QStringList &arguments);
    QTemporaryDir m_dir;
    WorkerThread m_worker;
};

Table tst_CsvRoundTrip::roundTrip(const Table &table, const QString &delimiter)
{
    const QString path = m_dir.filePath(QStringLiteral("trip.txt"));
    auto *saver = m_worker.make<KCSVSaver>();
    auto *loader = m_worker.make<KCSVLoader>();
    saver->setDelimiter(delimiter);
    loader->setDelimiter(delimiter);
    return m_worker.run([&] {
        if (!saver->saveFile(table, path) || !loader->openFile(path))
            return Table{{"<failed>"}} + Table{saver->errorMessageList()} +
                   Table{loader->errorMessageList()};
        return loader->loadedData() + Table{loader->errorMessageList()};
    });
}

void tst_CsvRoundTrip::tablesComeBack_data()
{
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<Table>("table");

    QTest::newRow("plain") << "\t" << Table{{"h1", "h2"}, {"1", "2"}};
    QTest::newRow("specials") << "\t"
                              << Table{{"name", "value", "note"},
                                       {"a\nb", "x\ty", "say \"hi\""},
                                       {"\"", "", "\n\n"},
                                       {"\"lead", "trail\"", " spaced "}};
    QTest::newRow("empty cells only") << "\t" << Table{{"h", "i"}, {"", ""}, {"", ""}};
    QTest::newRow("comma") << "," << Table{{"a", "b\tc"}, {"1,5", "\"q\""}, {"x\ny", "2,\n3"}};
    QTest::newRow("semicolon and a long header")
        << ";" << Table{{"a rather long header cell", "x"}, {"1;2", ","}};
}

void tst_CsvRoundTrip::tablesComeBack()
{
    QFETCH(QString, delimiter);
    QFETCH(Table, table);
    QCOMPARE(roundTrip(table, delimiter), table + Table{{}});
}

void tst_CsvRoundTrip::randomTablesComeBack()
{
    const quint32 seed = qEnvironmentVariableIsSet("CSV_SEED")
                             ? quint32(qEnvironmentVariableIntValue("CSV_SEED"))
                             : QRandomGenerator::global()->generate();
    qInfo("seed %u (set CSV_SEED to repeat)", seed);
    QRandomGenerator random(seed);
    const QStringList delimiters{"\t", ",", ";"};
    for (int round = 0; round < 200; ++round) {
        const QString delimiter = delimiters.at(random.bounded(delimiters.size()));
        const Table table =
            randomTable(random, delimiter, 2 + random.bounded(5), 2 + random.bounded(6));
        const Table back = roundTrip(table, delimiter);
        QVERIFY2(back == table + Table{{}},
                 qPrintable(QStringLiteral("seed %1 round %2: %3")
                                .arg(seed)
                                .arg(round)
                                .arg(QString::fromUtf8(
                                    QJsonDocument(toJson(table)).toJson(QJsonDocument::Compact)))));
    }
}

QByteArray tst_CsvRoundTrip::python(const QString &script, const QStringList &arguments)
{
    QProcess process;
    process.start(QStandardPaths::findExecutable(QStringLiteral("python3")),
                  QStringList{"-c", script} + arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qWarning("python3 failed: %s", process.readAllStandardError().constData());
    return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray("[]");
}

void tst_CsvRoundTrip::pythonReadsWhatTheSaverWrites_data()
{
    QTest::addColumn<QString>("delimiter");
    QTest::newRow("tab") << "\t";
    QTest::newRow("comma") << ",";
}

void tst_CsvRoundTrip::pythonReadsWhatTheSaverWrites()
{
    QFETCH(QString, delimiter);
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        QSKIP("python3 is not installed");

    QRandomGenerator random(20240611);
    const Table table =
        Table{{"id", "text", "more"}, {"1", "line\nbreak", "q\"uote"}, {"", "a,b", "t\tc"}} +
        randomTable(random, delimiter, 3, 20).mid(1);
    const QString path = m_dir.filePath(QStringLiteral("forpython.txt"));
    auto *saver = m_worker.make<KCSVSaver>();
    saver->setDelimiter(delimiter);
    QVERIFY(m_worker.run([&] { return saver->saveFile(table, path); }));

    // Universal newlines turn the CR LF inside quoted cells back into the line feed written.
    const QString script = QStringLiteral("import csv, json, sys\n"
                                          "with open(sys.argv[1], encoding='utf-16') as f:\n"
                                          "    rows = list(csv.reader(f, delimiter=sys.argv[2]))\n"
                                          "print(json.dumps(rows))\n");
    QCOMPARE(fromJson(python(script, {path, delimiter})), table);
}

void tst_CsvRoundTrip::loaderReadsWhatPythonWrites()
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        QSKIP("python3 is not installed");
    QRandomGenerator random(77);
    const Table table = randomTable(random, QStringLiteral("\t"), 3, 31);
    const QString json = m_dir.filePath(QStringLiteral("table.json"));
    const QString path = m_dir.filePath(QStringLiteral("frompython.txt"));
    QVERIFY(writeBytes(json, QJsonDocument(toJson(table)).toJson()));
    const QString script = QStringLiteral(
        "import csv, json, sys\n"
        "rows = json.load(open(sys.argv[1], encoding='utf-8'))\n"
        "with open(sys.argv[2], 'w', encoding='utf-16-le', newline='') as f:\n"
        "    f.write('\\ufeff')\n"
        "    csv.writer(f, delimiter='\\t', lineterminator='\\r\\n').writerows(rows)\n");
    python(script, {json, path});

    auto *loader = m_worker.make<KCSVLoader>();
    QVERIFY(m_worker.run([&] { return loader->openFile(path); }));
    QCOMPARE(m_worker.run([&] { return loader->loadedData(); }), table);
}

QTEST_MAIN(tst_CsvRoundTrip)
#include "tst_csvroundtrip.moc"
