#ifndef PROGRAMWIDEFORM_H
#define PROGRAMWIDEFORM_H

#include <QList>
#include <QWidget>

class ProgramTableModel;
class QLineEdit;

// The program-wide values (P.STA, CYCL, P.LIN, Tag) of the open program, which segment 1's row
// holds, as a form of line edits in the file's notation. A finished edit goes through the
// model's setData(), so it is undoable like a cell edit; problems are shown as in the table.
class ProgramWideForm : public QWidget
{
    Q_OBJECT
public:
    explicit ProgramWideForm(ProgramTableModel *model, QWidget *parent = nullptr);

    // The edit of column (a program-wide column index), or null.
    QLineEdit *editorFor(int column) const;
    // Shows the model's cells and problem marks again.
    void refresh();

private:
    void commit(int column);

    ProgramTableModel *m_model;
    QList<QLineEdit *> m_edits;
};

#endif
