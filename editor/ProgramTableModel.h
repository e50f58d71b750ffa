#ifndef PROGRAMTABLEMODEL_H
#define PROGRAMTABLEMODEL_H

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>

class ProgramProblems;
class QUndoStack;

// The segment rows of an open program file as a table: one row per segment, one column per
// column of the file (the label first, the program-wide columns last), every cell in the file's
// own notation. The header row is kept as loaded so that a file saved unchanged keeps its bytes.
//
// Edits made through setData() go onto the undo stack (when one is set) as cell edits; the
// commands change the table through setCell() and setRows(). Problems are shown at their cells:
// a background colour and the exact messages as the tooltip; a problem of a whole row is shown
// at the label.
class ProgramTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ProgramTableModel(QObject *parent = nullptr);

    // Replaces the whole table; header is the file's header row.
    void setTable(const QStringList &header, const QList<QStringList> &rows);
    // The header row followed by the segment rows, as a file holds them.
    QList<QStringList> table() const;
    const QList<QStringList> &rows() const { return m_rows; }
    // Replaces the segment rows (header kept), for row insertions and removals.
    void setRows(const QList<QStringList> &rows);
    // The text of a cell, or an empty text outside the table.
    QString cell(int row, int column) const;
    // Sets a cell without the undo stack; false outside the table.
    bool setCell(int row, int column, const QString &text);
    // Cell edits through setData() are pushed here; null applies them directly.
    void setUndoStack(QUndoStack *stack) { m_undo = stack; }

    // Shows problems at their cells (replacing the previous ones).
    void setProblems(const ProgramProblems &problems);
    // The messages at a cell, one per line; empty when the cell has none.
    QString problemText(int row, int column) const;

    static QColor problemColor();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    // Any cell or row changed (edit, undo, redo, insertion, removal, a new table).
    void contentChanged();

private:
    QStringList m_header;
    QList<QStringList> m_rows;
    QHash<QPair<int, int>, QStringList> m_problems; // (row, column) -> messages
    QUndoStack *m_undo = nullptr;
};

#endif
