#ifndef PROFILEWIDGET_H
#define PROFILEWIDGET_H

#include "ProfileRenderer.h"

#include <QWidget>

// The setpoint profile of the open program as a widget, drawn by the profile renderer. One
// segment can be highlighted; a click on a segment reports its number.
class ProfileWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ProfileWidget(QWidget *parent = nullptr);

    // Shows profile (built by the caller) and redraws.
    void setProfile(const SetpointProfile &profile);
    void setProgramNumber(int number);
    // Highlights segment (1-based); 0 highlights none.
    void setHighlightedSegment(int segment);
    int highlightedSegment() const { return m_highlighted; }
    // The segment under point in widget coordinates, or 0.
    int segmentAt(const QPoint &point);

    QSize sizeHint() const override { return QSize(520, 420); }

signals:
    void segmentClicked(int segment);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    ProfileRenderer m_renderer;
    int m_highlighted = 0;
};

#endif
