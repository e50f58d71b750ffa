#include "RangeForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

RangeForm::RangeForm(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_low = addBox(tr("SP1 low"), -200);
    m_high = addBox(tr("SP1 high"), 1300);
    const int types[3] = {0, 50, 8};
    for (int i = 0; i < 3; ++i)
        m_types[i] = addBox(tr("EV%1 type").arg(i + 1), types[i]);
    layout->addStretch();
}

QSpinBox *RangeForm::addBox(const QString &label, int value)
{
    auto *box = new QSpinBox(this);
    box->setRange(-32768, 32767);
    box->setValue(value);
    box->setObjectName(label);
    auto *text = new QLabel(label, this);
    text->setBuddy(box);
    layout()->addWidget(text);
    layout()->addWidget(box);
    connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, &RangeForm::changed);
    return box;
}

QList<qint32> RangeForm::limits() const
{
    return {m_low->value(), m_high->value()};
}

QList<qint32> RangeForm::eventTypes() const
{
    return {m_types[0]->value(), m_types[1]->value(), m_types[2]->value()};
}

void RangeForm::display(const QList<qint32> &paras, bool editable)
{
    QSpinBox *boxes[5] = {m_low, m_high, m_types[0], m_types[1], m_types[2]};
    for (int i = 0; i < 5; ++i) {
        const QSignalBlocker quiet(boxes[i]);
        boxes[i]->setValue(paras.at(i));
        boxes[i]->setReadOnly(!editable);
        boxes[i]->setToolTip(editable ? QString() : tr("Read from the connected controller"));
    }
    emit changed();
}

void RangeForm::useController(const QList<qint32> &paras)
{
    if (paras.size() != 5)
        return;
    if (m_hand.isEmpty())
        m_hand = parameters();
    display(paras, false);
}

void RangeForm::useHandEntered()
{
    if (m_hand.isEmpty())
        return;
    const QList<qint32> hand = m_hand;
    m_hand.clear();
    display(hand, true);
}
