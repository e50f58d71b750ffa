#ifndef TRANSFERTESTSUPPORT_H
#define TRANSFERTESTSUPPORT_H

#include "ControllerSimulator.h"
#include "ProgramFormat.h"
#include "TestFiles.h"

#include <QList>
#include <QStringList>

// What the transfer tests share: the rows a read must produce (their file bytes are
// TestFiles::programCsv).
namespace TestSupport {

// The header row and one row per record, segment 1 first, as a read produces them.
inline QList<QStringList> rowsOf(const QStringList &records)
{
    ProgramFormat format;
    QList<QStringList> rows;
    format.generalHead(rows);
    for (int s = 1; s <= records.size(); ++s)
        format.HEX2CSV(s, records.at(s - 1) + QStringLiteral("\x03\r\n"), rows);
    return rows;
}

// The rows a read of these segments of a program must produce.
inline QList<QStringList> rowsOf(ControllerSimulator &sim, int program, const QList<int> &segments)
{
    ProgramFormat format;
    QList<QStringList> rows;
    format.generalHead(rows);
    for (int s : segments)
        format.HEX2CSV(s, sim.segmentRecord(program, s) + QStringLiteral("\x03\r\n"), rows);
    return rows;
}

} // namespace TestSupport

#endif
