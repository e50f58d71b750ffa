#include "CellEditCommand.h"

#include "ProgramColumns.h"
#include "ProgramTableModel.h"

CellEditCommand::CellEditCommand(ProgramTableModel *model, int row, int column,
                                 const QString &before, const QString &after)
    : m_model(model), m_row(row), m_column(column), m_before(before), m_after(after)
{
    setText(QStringLiteral("Edit %1 of segment %2")
                .arg(ProgramColumns::at(column).headerTitle())
                .arg(row + 1));
}

void CellEditCommand::undo()
{
    m_model->setCell(m_row, m_column, m_before);
}

void CellEditCommand::redo()
{
    m_model->setCell(m_row, m_column, m_after);
}
