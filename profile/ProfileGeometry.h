#ifndef PROFILEGEOMETRY_H
#define PROFILEGEOMETRY_H

#include "ProfileTicks.h"
#include "SetpointProfile.h"

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>

// Where a profile drawing puts things inside a given area: title lines, the segment label row,
// the plot rectangle with its axes, one lane per used time-event lane under the plot, and the
// mapping between (run minutes, SP1) and points. Fonts scale with the area, so a small picture
// and a large one read alike. Computed once per area by layout(); a drawing and a widget's hit
// tests share it.
class ProfileGeometry
{
public:
    // Lays out profile in area. Fonts are sized from the area.
    void layout(const SetpointProfile &profile, const QRectF &area);

    // The area last laid out, and the rectangles inside it.
    QRectF area() const { return m_area; }
    QRectF titleRect() const { return m_titleRect; }
    QRectF subtitleRect() const { return m_subtitleRect; }
    QRectF segmentLabelRect() const { return m_labelRect; }
    QRectF plotRect() const { return m_plot; }
    // The row of lane index i (0-based, in the order of lanes()).
    QRectF laneRect(int index) const;
    // The lanes shown, in order.
    const QList<SetpointProfile::Lane> &lanes() const { return m_lanes; }
    // From the top of the segment label row to the bottom of the last lane.
    QRectF segmentSpan() const;

    // The point of (minutes, sp) in the area's coordinates.
    QPointF map(double minutes, double sp) const;
    // The run time at an x coordinate (not clamped).
    double minutesAt(double x) const;

    const ProfileTicks::Axis &timeAxis() const { return m_time; }
    const ProfileTicks::Axis &spAxis() const { return m_sp; }
    bool clockLabels() const { return m_clock; }

    // The text size everything is sized from, in device pixels.
    double unit() const { return m_unit; }
    // The font of this layout at scale times the text size.
    QFont font(double scale = 1.0, bool bold = false) const;

private:
    void chooseSpRange(const SetpointProfile &profile);

    QRectF m_area;
    QRectF m_titleRect;
    QRectF m_subtitleRect;
    QRectF m_labelRect;
    QRectF m_plot;
    double m_laneHeight = 0;
    QList<SetpointProfile::Lane> m_lanes;
    ProfileTicks::Axis m_time;
    ProfileTicks::Axis m_sp;
    bool m_clock = false;
    double m_unit = 12;
    double m_spLow = 0;
    double m_spHigh = 1;
};

#endif
