#include "NumericCellDelegate.h"

#include "ProgramColumns.h"
#include "ProgramFormat.h"

#include <QLocale>
#include <QSpinBox>

namespace {

const QString noneText = QStringLiteral("----");

bool allowsNone(int column)
{
    return ProgramColumns::at(column).unsetOnRead;
}

// The number a cell holds when a spin box can show it; false for any other text.
bool spinValue(const QString &text, int column, int *value)
{
    const int none = NumericCellDelegate::Lowest - 1;
    if (text == noneText) {
        *value = none;
        return allowsNone(column);
    }
    qint32 number = 0;
    if (!ProgramFormat::parseDecimal(text, true, number) || number < NumericCellDelegate::Lowest ||
        number > NumericCellDelegate::Highest)
        return false;
    *value = number;
    return true;
}

} // namespace

NumericCellDelegate::NumericCellDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

bool NumericCellDelegate::isNumeric(int column)
{
    if (column < 0 || column >= ProgramColumns::count())
        return false;
    const ProgramColumns::Kind kind = ProgramColumns::at(column).kind;
    return kind == ProgramColumns::Kind::Setpoint || kind == ProgramColumns::Kind::Event ||
           kind == ProgramColumns::Kind::Number;
}

QWidget *NumericCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    int value = 0;
    if (!isNumeric(index.column()) ||
        !spinValue(index.data(Qt::EditRole).toString(), index.column(), &value))
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto *box = new QSpinBox(parent);
    // The C locale: ASCII minus and digits, no group separators, as the file wants them.
    box->setLocale(QLocale::c());
    box->setRange(allowsNone(index.column()) ? Lowest - 1 : Lowest, Highest);
    if (allowsNone(index.column()))
        box->setSpecialValueText(noneText);
    box->setFrame(false);
    return box;
}

void NumericCellDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *box = qobject_cast<QSpinBox *>(editor);
    int value = 0;
    if (box && spinValue(index.data(Qt::EditRole).toString(), index.column(), &value))
        box->setValue(value);
    else
        QStyledItemDelegate::setEditorData(editor, index);
}

void NumericCellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                       const QModelIndex &index) const
{
    auto *box = qobject_cast<QSpinBox *>(editor);
    if (!box) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    // Half-typed or out-of-word text ("-", "70000", "1.5") is not a value: the cell stays.
    if (!box->hasAcceptableInput())
        return;
    // The spin box does not read its special text back as its minimum: "----" is taken as it is.
    const bool none = allowsNone(index.column()) && box->text() == noneText;
    box->interpretText();
    const QString text = none ? noneText : QString::number(box->value());
    int before = 0;
    // The same number keeps the cell's own notation ("007", "+5").
    if (spinValue(index.data(Qt::EditRole).toString(), index.column(), &before) &&
        before == (none ? Lowest - 1 : box->value()))
        return;
    model->setData(index, text, Qt::EditRole);
}
