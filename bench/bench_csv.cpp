// Throughput of the CSV loader and saver on generated program-like UTF-16 files, against
// Python's csv module reading and writing the same files, and how the time grows with the input,
// also for the shapes that tempt a quadratic parse: one quoted field spanning many lines and one
// field made of doubled quotes.

#include "BenchTable.h"
#include "ControllerSimulator.h"
#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "ProgramFormat.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

constexpr double MB = 1024.0 * 1024.0;

// The comparison in Python: one load and one save of the same rows, timed in the interpreter.
const char *const PythonScript = R"PY(
import csv, sys, time
csv.field_size_limit(sys.maxsize)
src, dst = sys.argv[1], sys.argv[2]
t = time.perf_counter()
with open(src, encoding='utf-16', newline='') as f:
    rows = list(csv.reader(f, delimiter='\t'))
load = time.perf_counter() - t
t = time.perf_counter()
with open(dst, 'w', encoding='utf-16', newline='') as f:
    csv.writer(f, delimiter='\t', lineterminator='\r\n').writerows(rows)
save = time.perf_counter() - t
print(load, save, len(rows))
)PY";

bool writeUtf16(const QString &path, const QString &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    return f.write(bytes) == bytes.size();
}

// Header row and segment rows of the demo programs, repeated until the file reaches bytes.
QString programLikeText(qint64 bytes)
{
    ControllerSimulator sim;
    ProgramFormat format;
    QList<QStringList> rows;
    format.generalHead(rows);
    for (int program = 1; program <= 3; ++program) {
        const QStringList records = sim.programRecords(program);
        for (int s = 1; s <= records.size(); ++s) {
            QString block = records.at(s - 1) + QStringLiteral("\x03\r\n");
            format.HEX2CSV(s, block, rows);
        }
    }
    QString text;
    text.reserve(int(bytes / 2 + 4096));
    text += rows.first().join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    QStringList lines;
    for (int i = 1; i < rows.size(); ++i)
        lines << rows.at(i).join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    for (int i = 0; qint64(text.size()) * 2 + 2 < bytes; ++i)
        text += lines.at(i % lines.size());
    return text;
}

// One quoted field holding `lines` lines.
QString spanningFieldText(int lines)
{
    QString text = QStringLiteral("name\tnote\r\nrow\t\"");
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("line %1\r\n").arg(i);
    text += QStringLiteral("end\"\r\n");
    return text;
}

// One quoted field made of `count` doubled quotes.
QString doubledQuotesText(int count)
{
    QString text = QStringLiteral("name\tnote\r\nrow\t\"");
    text += QString(count * 2, QLatin1Char('"'));
    text += QStringLiteral("\"\r\n");
    return text;
}

struct Timing
{
    double load = 0;
    double save = 0;
    int rows = 0;
    bool ok = true;
};

// The child's side of a timed run: loads src once, saves the rows to dst once, and prints the
// load's seconds, the row count, the save's seconds and whether both succeeded.
int runOnce(const QString &src, const QString &dst)
{
    auto start = bench::Clock::now();
    KCSVLoader loader;
    const bool loaded = loader.openFile(src);
    const QList<QStringList> rows = loader.loadedData();
    const double load = bench::since(start);
    start = bench::Clock::now();
    KCSVSaver saver;
    const bool saved = saver.saveFile(rows, dst);
    const double save = bench::since(start);
    std::printf("%.9f %d %.9f %d\n", load, int(rows.size()), save, loaded && saved ? 1 : 0);
    return 0;
}

// Every run loads and saves in a process of its own, as a command or a runtime that has not
// handled a large file before does: it pays for the memory it touches first. Runs repeated in
// one process would instead reuse or refault memory depending on what the allocator kept from
// the previous run, so that sizes with different run counts would not compare like with like.
Timing timeLibrary(const QString &src, const QString &dst, int reps)
{
    Timing t;
    t.load = t.save = std::numeric_limits<double>::infinity();
    for (int r = 0; r < reps; ++r) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--once"), src, dst});
        const QList<QByteArray> parts = child.waitForFinished(-1) && child.exitCode() == 0
                                            ? child.readAllStandardOutput().trimmed().split(' ')
                                            : QList<QByteArray>();
        if (parts.size() != 4) {
            t.ok = false;
            return t;
        }
        t.load = std::min(t.load, parts.at(0).toDouble());
        t.rows = parts.at(1).toInt();
        t.save = std::min(t.save, parts.at(2).toDouble());
        t.ok = parts.at(3) == "1" && t.ok;
    }
    return t;
}

// Python runs like the library: each run in a fresh interpreter, the best of reps runs kept.
bool timePython(const QString &src, const QString &dst, int reps, Timing &t)
{
    t.load = t.save = std::numeric_limits<double>::infinity();
    for (int r = 0; r < reps; ++r) {
        QProcess python;
        python.start(QStringLiteral("python3"),
                     {QStringLiteral("-c"), QString::fromUtf8(PythonScript), src, dst});
        if (!python.waitForFinished(-1) || python.exitCode() != 0)
            return false;
        const QList<QByteArray> parts = python.readAllStandardOutput().trimmed().split(' ');
        if (parts.size() != 3)
            return false;
        t.load = std::min(t.load, parts.at(0).toDouble());
        t.save = std::min(t.save, parts.at(1).toDouble());
        t.rows = parts.at(2).toInt();
    }
    return true;
}

QString mbps(qint64 bytes, double s)
{
    return QString::number(bytes / MB / s, 'f', 1) + QStringLiteral(" MB/s");
}

// Growth of the time with the input, the fixed cost of an operation taken off both times: what
// scales is the work per byte, and a fixed cost left in would make any growth look milder.
void scalingRow(const QString &name, double small, double large, double factor, double fixed)
{
    small -= fixed;
    large -= fixed;
    if (small <= 0 || large <= 0) {
        bench::printRow(name, bench::seconds(large), bench::seconds(small), bench::NaN, QString(),
                        QStringLiteral("too short to judge"));
        return;
    }
    const double ratio = large / small;
    const double limit = factor * 1.1;
    bench::printRow(name, bench::seconds(large), bench::seconds(small), ratio,
                    QStringLiteral("<=%1").arg(limit, 0, 'f', 1), bench::verdict(ratio <= limit));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--once") == 0)
        return runOnce(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    const bool smoke = bench::hasFlag(argc, argv, "--smoke");
    bench::printHeader();

    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    const QString out = dir.filePath(QStringLiteral("out.txt"));

    // What a load and a save cost whatever their size: for the save the temporary file, the sync
    // to disk that makes the new file durable before it replaces the old one, and the rename.
    // Measured first so that the figures below can also be given without it.
    const QString oneRowFile = dir.filePath(QStringLiteral("one.txt"));
    writeUtf16(oneRowFile, QStringLiteral("a\tb\r\nc\td\r\n"));
    const Timing oneRow = timeLibrary(oneRowFile, out, smoke ? 1 : 9);
    const double fixedLoad = oneRow.ok ? oneRow.load : 0.0;
    const double fixed = oneRow.ok ? oneRow.save : 0.0;

    struct Size
    {
        const char *label;
        qint64 bytes;
        int reps;
    };
    // More runs where a run is short: the best of them settles closer to the true time, and the
    // short runs are the ones disturbed most by a page flush or another process.
    QList<Size> sizes{
        {"1 MB", qint64(1 * MB), 9}, {"10 MB", qint64(10 * MB), 5}, {"50 MB", qint64(50 * MB), 3}};
    if (smoke)
        sizes = {{"20 KB", 20 * 1024, 1}, {"200 KB", 200 * 1024, 1}};

    QList<Timing> library;
    bool failed = false;
    for (const Size &size : sizes) {
        const QString src = dir.filePath(QStringLiteral("in_%1.txt").arg(size.bytes));
        writeUtf16(src, programLikeText(size.bytes));
        const qint64 bytes = QFile(src).size();
        const Timing lib = timeLibrary(src, out, size.reps);
        library << lib;
        failed |= !lib.ok;
        const QString label = QString::fromLatin1(size.label);
        Timing py;
        const bool havePython = !smoke && timePython(src, out, size.reps, py);
        const QString tag = lib.ok ? QString() : QStringLiteral("ERROR: loader/saver failed");
        if (havePython) {
            const bool rowsMatch = py.rows == lib.rows;
            bench::printRow(QStringLiteral("csv load %1 vs python csv").arg(label),
                            mbps(bytes, lib.load), mbps(bytes, py.load), py.load / lib.load,
                            QStringLiteral(">1"),
                            tag.isEmpty() ? (rowsMatch ? bench::verdict(py.load > lib.load)
                                                       : QStringLiteral("ERROR: row counts"))
                                          : tag);
            bench::printRow(QStringLiteral("csv save %1 vs python csv").arg(label),
                            mbps(bytes, lib.save), mbps(bytes, py.save), py.save / lib.save,
                            QStringLiteral(">1"),
                            tag.isEmpty() ? bench::verdict(py.save > lib.save) : tag);
            // Python's writer does not sync: the like-for-like figure leaves the fixed cost out.
            const double net = lib.save - fixed;
            if (net > 0)
                bench::printRow(
                    QStringLiteral("csv save %1 without fixed cost vs python").arg(label),
                    mbps(bytes, net), mbps(bytes, py.save), py.save / net, QString(), QString());
        } else {
            bench::printRow(QStringLiteral("csv load %1").arg(label), mbps(bytes, lib.load),
                            QStringLiteral("-"), bench::NaN, QString(), tag);
            bench::printRow(QStringLiteral("csv save %1").arg(label), mbps(bytes, lib.save),
                            QStringLiteral("-"), bench::NaN, QString(), tag);
        }
        QFile::remove(src);
    }
    bench::printRow(QStringLiteral("csv load of a one-row file (fixed cost)"),
                    bench::seconds(fixedLoad), QStringLiteral("-"), bench::NaN, QString(),
                    oneRow.ok ? QString() : QStringLiteral("ERROR: loader/saver failed"));
    failed |= !oneRow.ok;
    bench::printRow(QStringLiteral("csv save of a one-row file (fixed cost)"),
                    bench::seconds(fixed), QStringLiteral("-"), bench::NaN, QString(), QString());
    // Each size against the one before it.
    for (int k = 1; k < library.size(); ++k) {
        const QString a = QString::fromLatin1(sizes.at(k - 1).label);
        const QString b = QString::fromLatin1(sizes.at(k).label);
        const double factor = double(sizes.at(k).bytes) / sizes.at(k - 1).bytes;
        scalingRow(QStringLiteral("csv load scaling %1 -> %2").arg(a, b), library.at(k - 1).load,
                   library.at(k).load, factor, fixedLoad);
        scalingRow(QStringLiteral("csv save scaling %1 -> %2").arg(a, b), library.at(k - 1).save,
                   library.at(k).save, factor, fixed);
    }

    // The hard shapes, each at its named size and at ten times that size.
    const int lines = smoke ? 1000 : 100000;
    const int quotes = smoke ? 10000 : 1000000;
    const int reps = smoke ? 1 : 9;
    struct Shape
    {
        QString label;
        QString small;
        QString large;
    };
    const Shape shapes[] = {
        {QStringLiteral("quoted field %1 -> %2 lines").arg(lines).arg(lines * 10),
         spanningFieldText(lines), spanningFieldText(lines * 10)},
        {QStringLiteral("%1 -> %2 doubled quotes").arg(quotes).arg(quotes * 10),
         doubledQuotesText(quotes), doubledQuotesText(quotes * 10)}};
    for (const Shape &shape : shapes) {
        const QString small = dir.filePath(QStringLiteral("small.txt"));
        const QString large = dir.filePath(QStringLiteral("large.txt"));
        writeUtf16(small, shape.small);
        writeUtf16(large, shape.large);
        const Timing s = timeLibrary(small, out, reps);
        const Timing l = timeLibrary(large, out, reps);
        failed |= !s.ok || !l.ok;
        scalingRow(QStringLiteral("csv load scaling, %1").arg(shape.label), s.load, l.load, 10,
                   fixedLoad);
        scalingRow(QStringLiteral("csv save scaling, %1").arg(shape.label), s.save, l.save, 10,
                   fixed);
    }
    return failed ? 1 : 0;
}
