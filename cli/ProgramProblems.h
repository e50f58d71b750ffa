#ifndef PROGRAMPROBLEMS_H
#define PROGRAMPROBLEMS_H

#include <QList>
#include <QSet>
#include <QString>

class ProgramFile;
class RangeOptions;

// Every problem of a loaded program file, placed at the cell it is about, for a table or a
// picture: the lines a program write would log (the same texts as "dcp30 validate"), each under
// the segment of its heading and at the column its wording names, and the findings a check
// before a write makes. Ranges that are not known are not checked: without event types the
// event range lines are left out, without SP1 limits every SP1 passes.
class ProgramProblems
{
public:
    struct Problem
    {
        int segment = 0; // 1-based; 0 for the program as a whole
        int column = -1; // column index in the header row; -1 for the whole row
        QString text;    // the line without the log's indentation
    };

    // Judges segments 1..segments of file under ranges.
    void collect(const ProgramFile &file, int segments, const RangeOptions &ranges);

    // The problems in segment order, the order the write log has them in.
    const QList<Problem> &problems() const { return m_problems; }
    bool isEmpty() const { return m_problems.isEmpty(); }
    // The segments with at least one problem.
    QSet<int> segments() const;
    // The 1-based numbers (positions in problems()) of the problems at a cell; column -1 asks
    // for those of the whole row.
    QList<int> numbersAt(int segment, int column) const;

    // The column a validation line is about (its text without indentation), or -1 when it is
    // about the whole row. rangeLine tells whether it is a range check's line.
    static int columnOf(const QString &line, bool *rangeLine = nullptr);

private:
    void addValidation(const ProgramFile &file, int segments, const RangeOptions &ranges);

    QList<Problem> m_problems;
};

#endif
