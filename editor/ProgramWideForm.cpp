#include "ProgramWideForm.h"

#include "NumericCellDelegate.h"
#include "ProgramColumns.h"
#include "ProgramTableModel.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>

ProgramWideForm::ProgramWideForm(ProgramTableModel *model, QWidget *parent)
    : QWidget(parent), m_model(model)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int c = ProgramColumns::firstProgramWide(); c < ProgramColumns::count(); ++c) {
        const QString title = ProgramColumns::at(c).headerTitle();
        auto *edit = new QLineEdit(this);
        edit->setObjectName(title);
        edit->setMaximumWidth(c + 1 == ProgramColumns::count() ? 160 : 80);
        // The numbers take only what a record word holds, as the table's spin boxes do; values
        // outside the controller's ranges can still be typed and are marked.
        if (NumericCellDelegate::isNumeric(c)) {
            auto *validator =
                new QIntValidator(NumericCellDelegate::Lowest, NumericCellDelegate::Highest, edit);
            validator->setLocale(QLocale::c());
            edit->setValidator(validator);
        }
        auto *label = new QLabel(title, this);
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit);
        connect(edit, &QLineEdit::editingFinished, this, [this, c] { commit(c); });
        m_edits << edit;
    }
    layout->addStretch();
    connect(model, &ProgramTableModel::contentChanged, this, &ProgramWideForm::refresh);
    connect(model, &ProgramTableModel::dataChanged, this, &ProgramWideForm::refresh);
    refresh();
}

QLineEdit *ProgramWideForm::editorFor(int column) const
{
    return m_edits.value(column - ProgramColumns::firstProgramWide());
}

void ProgramWideForm::refresh()
{
    const int first = ProgramColumns::firstProgramWide();
    const bool hasRows = m_model->rowCount() > 0;
    for (int i = 0; i < m_edits.size(); ++i) {
        QLineEdit *edit = m_edits.at(i);
        edit->setEnabled(hasRows);
        if (edit->text() != m_model->cell(0, first + i))
            edit->setText(m_model->cell(0, first + i));
        const QString problems = m_model->problemText(0, first + i);
        edit->setToolTip(problems);
        edit->setStyleSheet(
            problems.isEmpty()
                ? QString()
                : QStringLiteral("background: %1;").arg(ProgramTableModel::problemColor().name()));
    }
}

void ProgramWideForm::commit(int column)
{
    QLineEdit *edit = editorFor(column);
    if (edit && m_model->rowCount() > 0)
        m_model->setData(m_model->index(0, column), edit->text());
}
