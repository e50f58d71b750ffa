// Segment record to CSV row (HEX2CSV) and CSV row to segment record with validation
// (validateDataRow), in rows per second. The reference is the rate at which the serial line
// delivers segments during a program read (one per 0.35 s pause): the ratio says how many times
// faster than the line the conversion is.

#include "BenchTable.h"
#include "ControllerSimulator.h"
#include "ProgramFormat.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool smoke = bench::hasFlag(argc, argv, "--smoke");
    bench::printHeader();

    ControllerSimulator sim;
    ProgramFormat format;
    format.setParameters(sim.rangeParameters());

    // Block data as a read delivers it: the record followed by ETX CR LF.
    QStringList blocks;
    const QStringList records = sim.programRecords(2);
    for (const QString &r : records)
        blocks << r + QStringLiteral("\x03\r\n");
    const int segments = blocks.size();

    QList<QStringList> rows; // rows after the header, segment s at s - 1
    for (int s = 1; s <= segments; ++s) {
        QString block = blocks.at(s - 1);
        format.HEX2CSV(s, block, rows);
    }

    const int perRun = smoke ? 1000 : 200000;
    const int reps = smoke ? 1 : 5;
    const double lineRate = 1.0 / 0.35;

    QList<QStringList> sink;
    const double hexTime = bench::bestOf(reps, [&] {
        for (int i = 0; i < perRun; i += segments) {
            sink.clear();
            for (int s = 1; s <= segments; ++s)
                format.HEX2CSV(s, blocks.at(s - 1), sink);
            bench::keep(sink);
        }
    });
    const double hexRate = perRun / hexTime;
    bench::printRow(QStringLiteral("HEX2CSV rows/s / line segment rate"),
                    QString::number(hexRate, 'f', 0), QString::number(lineRate, 'f', 2),
                    hexRate / lineRate, QString(), QString());

    int failures = 0;
    const double validateTime = bench::bestOf(reps, [&] {
        for (int i = 0; i < perRun; i += segments) {
            for (int s = 1; s <= segments; ++s) {
                QString out;
                QStringList errors;
                if (!format.validateDataRow(s, rows, out, errors))
                    ++failures;
                bench::keep(out);
            }
        }
    });
    const double validateRate = perRun / validateTime;
    bench::printRow(QStringLiteral("validateDataRow rows/s / line segment rate"),
                    QString::number(validateRate, 'f', 0), QString::number(1.0 / 0.3, 'f', 2),
                    validateRate / (1.0 / 0.3), QString(),
                    failures ? QStringLiteral("ERROR: %1 rows rejected").arg(failures) : QString());
    return failures ? 1 : 0;
}
