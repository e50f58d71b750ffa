#include "ProfileTicks.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

QList<double> ticksOf(double low, double high, double step)
{
    QList<double> ticks;
    const double first = std::ceil(low / step - 1e-9) * step;
    for (double value = first; value <= high + step * 1e-9; value += step)
        ticks << (qFuzzyIsNull(value / step) ? 0.0 : value);
    return ticks;
}

} // namespace

ProfileTicks::Axis ProfileTicks::valueAxis(double low, double high, int maxTicks)
{
    if (high < low)
        std::swap(low, high);
    if (high - low < 1e-9) {
        const double pad = std::max(1.0, std::abs(low) * 0.1);
        low -= pad;
        high += pad;
    }
    maxTicks = std::max(1, maxTicks);
    const double rough = (high - low) / maxTicks;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10 * power;
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough - 1e-12) {
            step = factor * power;
            break;
        }
    }
    Axis axis;
    axis.step = step;
    axis.low = low;
    axis.high = high;
    axis.ticks = ticksOf(axis.low, axis.high, step);
    return axis;
}

ProfileTicks::Axis ProfileTicks::timeAxis(int totalMinutes, int maxTicks)
{
    static const int steps[] = {1,   2,   5,   10,  15,   20,   30,   60,   120,  180,
                                240, 360, 480, 720, 1440, 2880, 4320, 7200, 10080};
    Axis axis;
    axis.high = totalMinutes > 0 ? totalMinutes : 60;
    maxTicks = std::max(1, maxTicks);
    // Whole weeks beyond the table.
    const double week = steps[std::size(steps) - 1];
    axis.step = std::ceil(axis.high / maxTicks / week) * week;
    for (const int step : steps) {
        if (axis.high / step <= maxTicks) {
            axis.step = step;
            break;
        }
    }
    axis.ticks = ticksOf(0, axis.high, axis.step);
    return axis;
}

bool ProfileTicks::useClock(int totalMinutes)
{
    return totalMinutes >= 120;
}

QString ProfileTicks::timeLabel(double minutes, bool clock)
{
    const qint64 whole = qRound64(minutes);
    if (!clock)
        return QString::number(whole);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString ProfileTicks::valueLabel(double value, double step)
{
    const int decimals = step >= 1 ? 0 : int(std::ceil(-std::log10(step) - 1e-9));
    return QString::number(value, 'f', decimals);
}
