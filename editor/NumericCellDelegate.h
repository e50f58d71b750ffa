#ifndef NUMERICCELLDELEGATE_H
#define NUMERICCELLDELEGATE_H

#include <QStyledItemDelegate>

// Spin boxes for the numeric cells of a program table (SP1, the events, PID1, G.S, G.S.TO and
// the program-wide numbers): whole numbers a record word holds, ASCII digits, and "----" below
// the lowest number where the column has the file's "none". Values outside the controller's
// ranges may be entered: the checks mark them, as for typed text. A cell whose text a spin box
// cannot show (a format error, "----" where there is no none) keeps a plain text edit, and a
// value a spin box does not accept is never written.
class NumericCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit NumericCellDelegate(QObject *parent = nullptr);

    // True when column (an index into the header row) is edited with a spin box.
    static bool isNumeric(int column);
    // The lowest and highest number of a spin box (the range of a signed record word).
    static constexpr int Lowest = -32768;
    static constexpr int Highest = 32767;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
};

#endif
