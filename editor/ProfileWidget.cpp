#include "ProfileWidget.h"

#include <QMouseEvent>
#include <QPainter>

ProfileWidget::ProfileWidget(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(320, 240);
    setMouseTracking(false);
}

void ProfileWidget::setProfile(const SetpointProfile &profile)
{
    m_renderer.setProfile(profile);
    m_renderer.layout(rect());
    update();
}

void ProfileWidget::setProgramNumber(int number)
{
    m_renderer.setProgramNumber(number);
    update();
}

void ProfileWidget::setHighlightedSegment(int segment)
{
    if (segment == m_highlighted)
        return;
    m_highlighted = segment;
    update();
}

int ProfileWidget::segmentAt(const QPoint &point)
{
    m_renderer.layout(rect());
    return m_renderer.segmentAt(point);
}

void ProfileWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_renderer.render(painter, rect());
    const QList<SetpointProfile::Segment> &segments = m_renderer.profile().segments();
    if (m_highlighted < 1 || m_highlighted > segments.size())
        return;
    const SetpointProfile::Segment &segment = segments.at(m_highlighted - 1);
    const QRectF plot = m_renderer.plotRect();
    const double left = m_renderer.map(segment.startMinutes, segment.startSp).x();
    const double right = m_renderer.map(segment.endMinutes, segment.endSp).x();
    // At least a few pixels wide, so a segment of no time is still seen.
    QRectF band(QPointF(left, plot.top()), QPointF(qMax(right, left + 3), plot.bottom()));
    painter.fillRect(band, QColor(40, 120, 255, 50));
    painter.setPen(QPen(QColor(40, 120, 255), 1.5));
    painter.drawRect(band);
}

void ProfileWidget::mousePressEvent(QMouseEvent *event)
{
    const int segment = segmentAt(event->pos());
    if (segment > 0)
        emit segmentClicked(segment);
    QWidget::mousePressEvent(event);
}
