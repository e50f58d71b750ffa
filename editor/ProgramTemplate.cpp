#include "ProgramTemplate.h"

#include "DemoPrograms.h"
#include "ProgramFormat.h"

QList<QStringList> ProgramTemplate::table()
{
    const ProgramFormat format;
    QList<QStringList> rows;
    format.generalHead(rows);
    const QStringList records = DemoPrograms::records(DemoPrograms::FirstProgram);
    for (int segment = 1; segment <= records.size(); ++segment)
        format.HEX2CSV(segment, records.at(segment - 1), rows);
    return rows;
}
