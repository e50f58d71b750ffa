#ifndef ROWSCOMMAND_H
#define ROWSCOMMAND_H

#include <QList>
#include <QPair>
#include <QStringList>
#include <QUndoCommand>

class ProgramTableModel;

// A change of a program table's rows (a segment inserted, deleted or moved, a paste, cells set to
// none), undoable: redo puts the
// rows after the change in place, undo the rows before it.
class RowsCommand : public QUndoCommand
{
public:
    RowsCommand(ProgramTableModel *model, const QList<QStringList> &before,
                const QList<QStringList> &after, const QString &text);

    void undo() override;
    void redo() override;

    // rows with segment row (0-based) duplicated in front of it, or a copy of the last row
    // appended when row is out of range, labels renumbered.
    static QList<QStringList> inserted(const QList<QStringList> &rows, int row);
    // rows without segment row, labels renumbered; rows unchanged when row is out of range.
    static QList<QStringList> removed(const QList<QStringList> &rows, int row);
    // rows with segment row (0-based) swapped with its neighbour row + delta, labels renumbered;
    // rows unchanged when either is out of range.
    static QList<QStringList> moved(const QList<QStringList> &rows, int row, int delta);
    // rows with the cells (row, column) set to the file's "none" ("----") where the column has
    // it; other cells unchanged.
    static QList<QStringList> withNone(const QList<QStringList> &rows,
                                       const QList<QPair<int, int>> &cells);
    // Labels "SEG<n>" by position; segment 1 holds the program-wide cells of wide, every other
    // row "----" in them.
    static void renumber(QList<QStringList> &rows, const QStringList &wide);

private:
    ProgramTableModel *m_model;
    QList<QStringList> m_before;
    QList<QStringList> m_after;
};

#endif
