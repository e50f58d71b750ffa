#include "../csvsupport/CsvTestSupport.h"
#include "KCSVLoader.h"
#include "KCSVSaver.h"

#include <QDebug>
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

// A table the format promises to carry unchanged: at least two rows of the same width (two or
// more), a header without anything to quote, no carriage returns.
Table randomTable(QRandomGenerator &random, const QString &delimiter, int columns, int rows)
{
    // A string literal converts from UTF-8.
    static const QStringList pieces{
        "a", "Zz", " ", "\"", "\n", "\t", ",", ";", "\xc3\xa9", "7", "\xf0\x9f\x98\x80"};
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
    void randomTablesComeBack();
    void pythonAgrees_data();
    void pythonAgrees();

private:
    // Saves table and loads it again: the rows read, then the loader's error list.
    Table roundTrip(const Table &table, const QString &delimiter);
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
        if (back != table + Table{{}}) {
            qWarning() << "seed" << seed << "round" << round << "table" << table;
            QCOMPARE(back, table + Table{{}});
        }
    }
}

void tst_CsvRoundTrip::pythonAgrees_data()
{
    QTest::addColumn<QString>("delimiter");
    QTest::newRow("tab") << "\t";
    QTest::newRow("comma") << ",";
}

// Python's csv module reads what the saver writes, and the loader reads what Python writes.
void tst_CsvRoundTrip::pythonAgrees()
{
    QFETCH(QString, delimiter);
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is not installed");

    QRandomGenerator random(20240611);
    const Table table =
        Table{{"id", "text", "more"}, {"1", "line\nbreak", "q\"uote"}, {"", "a,b", "t\tc"}} +
        randomTable(random, delimiter, 3, 20).mid(1);
    const QString saved = m_dir.filePath(QStringLiteral("forpython.txt"));
    const QString written = m_dir.filePath(QStringLiteral("frompython.txt"));
    auto *saver = m_worker.make<KCSVSaver>();
    saver->setDelimiter(delimiter);
    QVERIFY(m_worker.run([&] { return saver->saveFile(table, saved); }));

    // Universal newlines turn the CR LF inside quoted cells back into the line feed written.
    const QString script = QStringLiteral(
        "import csv, json, sys\n"
        "with open(sys.argv[1], encoding='utf-16') as f:\n"
        "    rows = list(csv.reader(f, delimiter=sys.argv[2]))\n"
        "with open(sys.argv[3], 'w', encoding='utf-16-le', newline='') as f:\n"
        "    f.write('\\ufeff')\n"
        "    csv.writer(f, delimiter=sys.argv[2], lineterminator='\\r\\n').writerows(rows)\n"
        "print(json.dumps(rows))\n");
    QProcess process;
    process.start(python, {"-c", script, saved, delimiter, written});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    Table read;
    for (const QJsonValue &row : QJsonDocument::fromJson(process.readAllStandardOutput()).array())
        read.append(row.toVariant().toStringList());
    QCOMPARE(read, table);

    auto *loader = m_worker.make<KCSVLoader>();
    loader->setDelimiter(delimiter);
    QVERIFY(m_worker.run([&] { return loader->openFile(written); }));
    QCOMPARE(m_worker.run([&] { return loader->loadedData(); }), table);
}

QTEST_MAIN(tst_CsvRoundTrip)
#include "tst_csvroundtrip.moc"
