#ifndef SPREADSHEETCELLS_H
#define SPREADSHEETCELLS_H

#include "ProgramFile.h"

#include <QList>
#include <QString>
#include <QStringList>

// Cells a spreadsheet has turned into something else that the plugin still reads, so that the
// program would change without a word:
//  - a TIME with more than hours:minutes ("12:50:00 AM", "00:50:00", a date in front): a
//    spreadsheet's time format; the plugin takes the first two numbers and drops the rest, so
//    "12:50:00 AM" (the spreadsheet's 00:50) would become 12:50;
//  - a time-event cell (T1 1st ... T5 2nd) with exactly one digit after the point: a spreadsheet
//    that took "0.10" for a number saves "0.1", which the plugin reads as 0 h 01 min.
// Each finding names the cell, gives both readings and how to write the value unambiguously.
class SpreadsheetCells
{
public:
    // The findings in rows 1..segmentCnt of rows (segment rows, header removed), in segment and
    // column order; empty when there are none.
    static QList<ProgramFile::Finding> findings(const QList<QStringList> &rows, int segmentCnt);

    // True with *finding set when the TIME cell of segment holds a spreadsheet's time.
    static bool timeFinding(int segment, const QString &cell, ProgramFile::Finding *finding);
    // True with *finding set when the time-event cell of column (an index into the header row)
    // has exactly one digit after the point.
    static bool timeEventFinding(int segment, int column, const QString &cell,
                                 ProgramFile::Finding *finding);
};

#endif
