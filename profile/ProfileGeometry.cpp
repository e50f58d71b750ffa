#include "ProfileGeometry.h"

#include <QFontMetricsF>

#include <algorithm>

namespace {

// Space a tick label takes along its axis, in units of the text size.
constexpr double SpTickSpacing = 2.6;
constexpr double TimeTickGap = 2.0;

} // namespace

void ProfileGeometry::layout(const SetpointProfile &profile, const QRectF &area)
{
    m_area = area;
    m_unit = std::clamp(std::min(area.height() / 44.0, area.width() / 64.0), 7.0, 48.0);
    const double u = m_unit;
    m_lanes = profile.usedLanes();
    m_clock = ProfileTicks::useClock(profile.totalMinutes());
    m_laneHeight = 1.4 * u;

    const double titleHeight = QFontMetricsF(font(1.4, true)).height();
    const double subtitleHeight = QFontMetricsF(font(0.9)).height();
    const double lineHeight = QFontMetricsF(font()).height();
    m_titleRect = QRectF(area.left() + u, area.top() + 0.6 * u, area.width() - 2 * u, titleHeight);
    m_subtitleRect =
        QRectF(m_titleRect.left(), m_titleRect.bottom(), m_titleRect.width(), subtitleHeight);

    const double top = m_subtitleRect.bottom() + 0.6 * u + lineHeight * 1.2;
    const double lanesHeight = m_lanes.isEmpty() ? 0 : 0.5 * u + m_lanes.size() * m_laneHeight;
    const double bottom = area.bottom() - u - 2 * lineHeight * 1.3 - lanesHeight;
    const double plotHeight = std::max(1.0, bottom - top);

    chooseSpRange(profile);
    m_sp = ProfileTicks::valueAxis(m_spLow, m_spHigh,
                                   std::max(2, int(plotHeight / (SpTickSpacing * lineHeight))));
    const QFontMetricsF metrics(font());
    double labelWidth = metrics.horizontalAdvance(QStringLiteral("EV3"));
    for (const double tick : m_sp.ticks)
        labelWidth = std::max(labelWidth,
                              metrics.horizontalAdvance(ProfileTicks::valueLabel(tick, m_sp.step)));
    const double left = area.left() + u + lineHeight * 1.3 + labelWidth + 0.8 * u;
    const double lastLabel =
        metrics.horizontalAdvance(ProfileTicks::timeLabel(profile.totalMinutes(), m_clock));
    const double right = area.right() - std::max(1.5 * u, lastLabel / 2 + u);
    const double plotWidth = std::max(1.0, right - left);
    m_plot = QRectF(left, top, plotWidth, plotHeight);
    m_labelRect = QRectF(left, top - lineHeight * 1.2, plotWidth, lineHeight * 1.2);

    const double tickWidth = metrics.horizontalAdvance(ProfileTicks::timeLabel(5999, m_clock));
    const int timeTicks = std::max(1, int(plotWidth / (tickWidth + TimeTickGap * u)));
    m_time = ProfileTicks::timeAxis(profile.totalMinutes(), timeTicks);
}

void ProfileGeometry::chooseSpRange(const SetpointProfile &profile)
{
    double low = profile.minSp();
    double high = profile.maxSp();
    const double span = std::max(high - low, 1.0);
    // A limit near the curve is worth showing; one far away would squash the curve.
    if (profile.hasParameters()) {
        const double lowLimit = profile.spLowLimit();
        const double highLimit = profile.spHighLimit();
        if (lowLimit <= low && low - lowLimit <= span / 2)
            low = lowLimit;
        if (highLimit >= high && highLimit - high <= span / 2)
            high = highLimit;
    }
    const double pad = std::max(high - low, 1.0) * 0.04;
    m_spLow = low - pad;
    m_spHigh = high + pad;
}

QRectF ProfileGeometry::laneRect(int index) const
{
    const double top = m_plot.bottom() + 0.5 * m_unit + index * m_laneHeight;
    return QRectF(m_plot.left(), top, m_plot.width(), m_laneHeight);
}

QRectF ProfileGeometry::segmentSpan() const
{
    const double bottom =
        m_lanes.isEmpty() ? m_plot.bottom() : laneRect(m_lanes.size() - 1).bottom();
    return QRectF(m_plot.left(), m_labelRect.top(), m_plot.width(), bottom - m_labelRect.top());
}

QPointF ProfileGeometry::map(double minutes, double sp) const
{
    const double x =
        m_plot.left() + (minutes - m_time.low) / (m_time.high - m_time.low) * m_plot.width();
    const double y = m_plot.bottom() - (sp - m_sp.low) / (m_sp.high - m_sp.low) * m_plot.height();
    return QPointF(x, y);
}

double ProfileGeometry::minutesAt(double x) const
{
    return m_time.low + (x - m_plot.left()) / m_plot.width() * (m_time.high - m_time.low);
}

QFont ProfileGeometry::font(double scale, bool bold) const
{
    QFont font;
    font.setPixelSize(std::max(6, qRound(m_unit * scale)));
    font.setBold(bold);
    return font;
}
