#ifndef PROGRAMTABLE_H
#define PROGRAMTABLE_H

#include "ProgramProblems.h"

#include <QList>
#include <QString>
#include <QStringList>

// A program file's segments as an aligned text table for a terminal: one line per segment, a
// title and a unit line above. TIME is shown as h:mm; each event's 1st and 2nd cell share a
// column as "1st/2nd", each time event's as "on~off" in h:mm from the segment start; "-" is a
// cell without value. Columns without a value in any segment are left out (hiddenTitles() names
// them) unless a problem sits in them. A cell with problems carries "!" and the problems'
// numbers ("620!1" or "620!1,2"), which footnotes() lists; with colour the cell is also red.
class ProgramTable
{
public:
    // rows: the segment rows (header removed); segments: how many segments the table shows,
    // segments without a row included.
    ProgramTable(const QList<QStringList> &rows, int segments, const ProgramProblems &problems);

    // ANSI colour for marked cells and problem numbers (off by default).
    void setColour(bool on) { m_colour = on; }

    // The program-wide values of segment 1 on one line: P.STA, CYCL, P.LIN and Tag.
    QString programLine() const;
    // The title line, the unit line and one line per segment.
    QStringList tableLines() const;
    // The titles of the columns left out.
    QStringList hiddenTitles() const;
    // One line per problem: number, place and text.
    QStringList footnotes() const;

private:
    struct Group
    {
        const char *title;
        const char *unit;
        int first;  // column index in the header row
        int second; // the pair's 2nd column, or -1
        enum Style { Label, Plain, Time, Events, TimeEvents } style;
    };
    struct Cell
    {
        QString text;
        bool marked = false;
    };

    static const QList<Group> &groups();
    QList<Group> shownGroups() const;
    bool hasValue(const Group &group) const;
    bool hasProblem(const Group &group) const;
    QString value(const Group &group, int segment) const;
    Cell cell(const Group &group, int segment) const;
    QString marks(const QList<int> &numbers) const;
    QString paint(const QString &text, bool marked) const;
    QString tableLine(const QList<Cell> &cells, const QList<int> &widths) const;

    QList<QStringList> m_rows;
    int m_segments = 0;
    ProgramProblems m_problems;
    bool m_colour = false;
};

#endif
