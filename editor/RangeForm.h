#ifndef RANGEFORM_H
#define RANGEFORM_H

#include <QList>
#include <QWidget>

class QSpinBox;

// The controller's range parameters: SP1 lower and upper limit and the event types of events
// 1 to 3, entered by hand (by default -200, 1300 and 0, 50, 8), or, while a controller is
// connected, the ones it answered, shown read-only; the hand-entered ones come back after.
class RangeForm : public QWidget
{
    Q_OBJECT
public:
    explicit RangeForm(QWidget *parent = nullptr);

    // (low, high) and the three event types as shown.
    QList<qint32> limits() const;
    QList<qint32> eventTypes() const;
    // The five parameters: low, high, event types 1 to 3.
    QList<qint32> parameters() const { return limits() + eventTypes(); }

    // Shows the five parameters a controller answered, read-only, until useHandEntered(). A
    // list of another length changes nothing.
    void useController(const QList<qint32> &paras);
    // Shows the hand-entered parameters again, editable.
    void useHandEntered();
    bool fromController() const { return !m_hand.isEmpty(); }

signals:
    void changed();

private:
    QSpinBox *addBox(const QString &label, int value);
    void display(const QList<qint32> &paras, bool editable);

    QSpinBox *m_low = nullptr;
    QSpinBox *m_high = nullptr;
    QSpinBox *m_types[3] = {nullptr, nullptr, nullptr};
    QList<qint32> m_hand; // while the controller's are shown
};

#endif
