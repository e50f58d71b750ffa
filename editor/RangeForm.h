#ifndef RANGEFORM_H
#define RANGEFORM_H

#include <QList>
#include <QWidget>

class QSpinBox;

// The controller's range parameters entered by hand: SP1 lower and upper limit and the event
// types of events 1 to 3 (by default -200, 1300 and 0, 50, 8).
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

signals:
    void changed();

private:
    QSpinBox *addBox(const QString &label, int value);

    QSpinBox *m_low = nullptr;
    QSpinBox *m_high = nullptr;
    QSpinBox *m_types[3] = {nullptr, nullptr, nullptr};
};

#endif
