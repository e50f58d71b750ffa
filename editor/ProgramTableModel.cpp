#include "ProgramTableModel.h"

#include "CellEditCommand.h"
#include "ProgramColumns.h"
#include "ProgramProblems.h"

#include <QColor>
#include <QUndoStack>

ProgramTableModel::ProgramTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void ProgramTableModel::setTable(const QStringList &header, const QList<QStringList> &rows)
{
    beginResetModel();
    m_header = header;
    m_rows = rows;
    m_problems.clear();
    endResetModel();
    emit contentChanged();
}

QList<QStringList> ProgramTableModel::table() const
{
    QList<QStringList> all;
    all << (m_header.isEmpty() ? ProgramColumns::headerRow() : m_header);
    all += m_rows;
    return all;
}

void ProgramTableModel::setRows(const QList<QStringList> &rows)
{
    beginResetModel();
    m_rows = rows;
    endResetModel();
    emit contentChanged();
}

QString ProgramTableModel::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_rows.at(row).size())
        return QString();
    return m_rows.at(row).at(column);
}

bool ProgramTableModel::setCell(int row, int column, const QString &text)
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= ProgramColumns::count())
        return false;
    QStringList &cells = m_rows[row];
    while (cells.size() <= column)
        cells << QString();
    cells[column] = text;
    emit dataChanged(index(row, column), index(row, column));
    emit contentChanged();
    return true;
}

void ProgramTableModel::setProblems(const ProgramProblems &problems)
{
    m_problems.clear();
    for (const ProgramProblems::Problem &problem : problems.problems()) {
        if (problem.segment < 1)
            continue;
        const int column = problem.column < 0 ? 0 : problem.column;
        m_problems[qMakePair(problem.segment - 1, column)] << problem.text;
    }
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows.size() - 1, columnCount() - 1));
}

QString ProgramTableModel::problemText(int row, int column) const
{
    return m_problems.value(qMakePair(row, column)).join(QLatin1Char('\n'));
}

QColor ProgramTableModel::problemColor()
{
    return QColor(255, 190, 190);
}

int ProgramTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int ProgramTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ProgramColumns::count();
}

QVariant ProgramTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return cell(index.row(), index.column());
    case Qt::BackgroundRole:
        if (m_problems.contains(qMakePair(index.row(), index.column())))
            return problemColor();
        return QVariant();
    case Qt::ToolTipRole: {
        const QString text = problemText(index.row(), index.column());
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    default:
        return QVariant();
    }
}

QVariant ProgramTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section >= 0 && section < m_header.size())
        return m_header.at(section);
    return section < ProgramColumns::count() ? ProgramColumns::at(section).headerTitle()
                                             : QString();
}

Qt::ItemFlags ProgramTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    // Labels follow the row's position and are renumbered, never typed.
    if (index.isValid() && index.column() > 0)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool ProgramTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.column() == 0)
        return false;
    const QString text = value.toString();
    const QString before = cell(index.row(), index.column());
    if (text == before)
        return false;
    if (!m_undo)
        return setCell(index.row(), index.column(), text);
    m_undo->push(new CellEditCommand(this, index.row(), index.column(), before, text));
    return true;
}
