// Program transfers through the worker against the simulated controller, with the real pauses
// between command and reply. The floor of a transfer is the sum of its fixed pauses; anything
// above it is the worker's own cost (conversions, CSV file, signals, thread hand-over). The wire
// time the same frames would take on a 9600 baud 8E1 line is shown next to it.

#include "BenchTable.h"
#include "SimulatedPort.h"
#include "WorkerHarness.h"

#include <QCoreApplication>
#include <QFile>

namespace {

constexpr int Program = 19;
constexpr double OpenPause = 0.3;
constexpr double ReadPause = 0.35;
constexpr double WritePause = 0.3;
constexpr double ClosePause = 0.3;
// 9600 baud, 8 data bits, even parity, 1 stop bit, 1 start bit: 11 bits per character.
constexpr double SecondsPerByte = 11.0 / 9600.0;

QStringList recordsFor(const ControllerSimulator &sim, int segments)
{
    const QStringList demo = sim.programRecords(2); // 10 segments
    QStringList records;
    records << demo.at(0);
    while (records.size() < segments)
        records << demo.at(1 + (records.size() - 1) % (demo.size() - 1));
    return records;
}

int lineBytes(const SimulatedPort &port)
{
    int bytes = 0;
    for (const SimulatedPort::TraceEntry &e : port.trace())
        if (e.direction != SimulatedPort::Direction::Discarded)
            bytes += e.bytes.size();
    return bytes;
}

void removeProgramFiles()
{
    for (const QString &name :
         {QStringLiteral("PROG_%1.txt"), QStringLiteral("READ_PROG_%1_ERROR.txt"),
          QStringLiteral("WRITE_PROG_%1_ERROR.txt")})
        QFile::remove(TestFiles::appFile(name.arg(Program)));
}

bool hasError(const QStringList &events)
{
    return events.contains(QStringLiteral("RE true")) ||
           events.contains(QStringLiteral("WE true")) ||
           !events.filter(QStringLiteral("message ")).isEmpty();
}

void report(const QString &what, int segments, double measured, double floor, int bytes,
            bool failed, bool realPauses)
{
    const QString name = QStringLiteral("transfer %1 %2 seg").arg(what).arg(segments);
    const double ratio = measured / floor;
    bench::printRow(name + QStringLiteral(" / pause floor"), bench::seconds(measured),
                    bench::seconds(floor), ratio, QStringLiteral("<=1.02"),
                    failed       ? QStringLiteral("ERROR: transfer reported errors")
                    : realPauses ? bench::verdict(ratio <= 1.02)
                                 : QStringLiteral("(no pauses)"));
    const double wire = bytes * SecondsPerByte;
    bench::printRow(
        name + QStringLiteral(" wire 9600 8E1 (%1 B)").arg(bytes), bench::seconds(wire),
        bench::seconds(floor), wire / floor, QString(),
        QStringLiteral("pauses %1% of pauses+wire").arg(100.0 * floor / (floor + wire), 0, 'f', 1));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool smoke = bench::hasFlag(argc, argv, "--smoke");
    const bool quick = bench::hasFlag(argc, argv, "--quick");
    qRegisterMetaType<QList<int>>("QList<int>");

    bench::printHeader();

    QList<int> sizes{1, 10, 30};
    if (smoke)
        sizes = {1};
    else if (quick)
        sizes = {1, 10};

    for (int segments : sizes) {
        removeProgramFiles();
        WorkerHarness h;
        if (!smoke)
            h.worker->setPauseHook(FileAccessor::PauseHook()); // the worker sleeps the pauses
        SimulatedPort port;
        port.simulator().setProgramRecords(Program, recordsFor(port.simulator(), segments));
        h.worker->setPort(&port);

        port.clearTrace();
        auto start = bench::Clock::now();
        h.read(Program, segments);
        const double readTime = bench::since(start);
        const bool readFailed =
            hasError(h.takeEvents()) ||
            !QFile::exists(TestFiles::appFile(QStringLiteral("PROG_%1.txt").arg(Program)));
        report(QStringLiteral("read"), segments, readTime,
               OpenPause + ReadPause * segments + ClosePause, lineBytes(port), readFailed, !smoke);

        port.clearTrace();
        const QList<int> paras = port.simulator().rangeParameters();
        start = bench::Clock::now();
        h.write(paras, Program, segments);
        const double writeTime = bench::since(start);
        const bool writeFailed =
            hasError(h.takeEvents()) || port.simulator().programRecords(Program).size() != segments;
        report(QStringLiteral("write"), segments, writeTime,
               OpenPause + WritePause * segments + ClosePause, lineBytes(port), writeFailed,
               !smoke);
    }
    removeProgramFiles();
    return 0;
}
