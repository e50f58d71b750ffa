#ifndef CELLEDITCOMMAND_H
#define CELLEDITCOMMAND_H

#include <QString>
#include <QUndoCommand>

class ProgramTableModel;

// One cell edit of a program table, undoable: redo writes the new text, undo the old one.
class CellEditCommand : public QUndoCommand
{
public:
    CellEditCommand(ProgramTableModel *model, int row, int column, const QString &before,
                    const QString &after);

    void undo() override;
    void redo() override;

private:
    ProgramTableModel *m_model;
    int m_row;
    int m_column;
    QString m_before;
    QString m_after;
};

#endif
