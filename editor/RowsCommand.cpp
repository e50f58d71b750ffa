#include "RowsCommand.h"

#include "ProgramColumns.h"
#include "ProgramTableModel.h"

namespace {

// The program-wide cells of a row (empty cells where the row is short).
QStringList wideCells(const QStringList &row)
{
    QStringList cells;
    for (int c = ProgramColumns::firstProgramWide(); c < ProgramColumns::count(); ++c)
        cells << row.value(c);
    return cells;
}

} // namespace

RowsCommand::RowsCommand(ProgramTableModel *model, const QList<QStringList> &before,
                         const QList<QStringList> &after, const QString &text)
    : m_model(model), m_before(before), m_after(after)
{
    setText(text);
}

void RowsCommand::undo()
{
    m_model->setRows(m_before);
}

void RowsCommand::redo()
{
    m_model->setRows(m_after);
}

QList<QStringList> RowsCommand::inserted(const QList<QStringList> &rows, int row)
{
    QList<QStringList> result = rows;
    QStringList fresh;
    if (rows.isEmpty()) {
        fresh = QStringList{QString(), QStringLiteral("0"), QStringLiteral("0:00")};
        while (fresh.size() < ProgramColumns::count())
            fresh << QStringLiteral("----");
    } else {
        fresh = rows.value(row, rows.last());
    }
    const int at = row >= 0 && row < rows.size() ? row : rows.size();
    result.insert(at, fresh);
    renumber(result, rows.isEmpty() ? wideCells(fresh) : wideCells(rows.first()));
    return result;
}

QList<QStringList> RowsCommand::removed(const QList<QStringList> &rows, int row)
{
    if (row < 0 || row >= rows.size())
        return rows;
    QList<QStringList> result = rows;
    result.removeAt(row);
    renumber(result, wideCells(rows.first()));
    return result;
}

QList<QStringList> RowsCommand::moved(const QList<QStringList> &rows, int row, int delta)
{
    const int other = row + delta;
    if (row < 0 || row >= rows.size() || other < 0 || other >= rows.size() || delta == 0)
        return rows;
    QList<QStringList> result = rows;
    result.swapItemsAt(row, other);
    renumber(result, wideCells(rows.first()));
    return result;
}

QList<QStringList> RowsCommand::withNone(const QList<QStringList> &rows,
                                         const QList<QPair<int, int>> &cells)
{
    QList<QStringList> result = rows;
    for (const QPair<int, int> &cell : cells) {
        const int row = cell.first;
        const int column = cell.second;
        if (row < 0 || row >= result.size() || column < 0 || column >= ProgramColumns::count() ||
            !ProgramColumns::at(column).unsetOnRead)
            continue;
        QStringList &cellsOfRow = result[row];
        while (cellsOfRow.size() <= column)
            cellsOfRow << QString();
        cellsOfRow[column] = QStringLiteral("----");
    }
    return result;
}

void RowsCommand::renumber(QList<QStringList> &rows, const QStringList &wide)
{
    const int first = ProgramColumns::firstProgramWide();
    for (int r = 0; r < rows.size(); ++r) {
        QStringList &cells = rows[r];
        while (cells.size() < ProgramColumns::count())
            cells << QString();
        cells[0] = QStringLiteral("SEG%1").arg(r + 1);
        for (int c = first; c < ProgramColumns::count(); ++c)
            cells[c] = r == 0 ? wide.value(c - first) : QStringLiteral("----");
    }
}
