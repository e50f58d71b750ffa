#ifndef PROFILETICKS_H
#define PROFILETICKS_H

#include <QList>
#include <QString>

// Readable axis ticks for a profile drawing: SP1 values on steps of 1, 2 or 5 times a power of
// ten, run time on steps a clock reader expects (5, 10, 15, 30 minutes, 1, 2, 3, 6, 12 hours ...).
// Programs of two hours or more are labelled in hours:minutes, shorter ones in minutes.
class ProfileTicks
{
public:
    struct Axis
    {
        double low = 0;
        double high = 1;
        double step = 1;
        QList<double> ticks; // the tick values from low to high, both included when on a step
    };

    // An axis from low to high with ticks on whole steps inside it, at most maxTicks steps for
    // the range. A flat range (low == high) is widened around its value.
    static Axis valueAxis(double low, double high, int maxTicks);

    // A run-time axis from 0 to totalMinutes (exactly), ticked on clock-friendly steps with at
    // most maxTicks steps; an empty program gets 0..60 minutes.
    static Axis timeAxis(int totalMinutes, int maxTicks);

    // True when run times up to totalMinutes read better as hours:minutes.
    static bool useClock(int totalMinutes);

    // "90" or, with clock, "1:30".
    static QString timeLabel(double minutes, bool clock);

    // The value with as many decimals as step needs ("250", "0.5").
    static QString valueLabel(double value, double step);
};

#endif
