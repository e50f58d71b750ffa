#include "DemoPrograms.h"

namespace {

// The word value the controller uses for "no value".
constexpr int U = 0x7FFF;

struct Segment
{
    int sp;
    int minutes;
    int events[6]; // EV1 1st, EV1 2nd, EV2 1st, EV2 2nd, EV3 1st, EV3 2nd
    int times[10]; // T1 1st, T1 2nd ... T5 1st, T5 2nd
    int pid;
    int soakBand;
    int soakTimeout;
};

struct Program
{
    int start; // P.STA
    int cycles;
    int link;
    const char *tag; // exactly 8 characters
    const Segment *segments;
    int segmentCount;
};

#define NO_TIMES                                                                                   \
    {                                                                                              \
        U, U, U, U, U, U, U, U, U, U                                                               \
    }

const Segment anneal[] = {
    {150, 45, {U, U, 0, 5, 1000, 20}, NO_TIMES, 1, U, U},
    {150, 30, {170, 5, 5999, U, U, U}, {0, 10, U, U, U, U, U, U, U, U}, 1, 10, 15},
    {620, 150, {U, U, 5999, U, 950, 30}, NO_TIMES, 2, U, U},
    {620, 240, {640, 5, 0, 1, U, U}, {U, U, 230, 240, U, U, U, U, U, U}, 3, 8, 30},
    {400, 180, {U, U, 5999, U, U, U}, NO_TIMES, 3, U, U},
    {400, 60, {420, 5, 5999, U, U, U}, NO_TIMES, 2, 10, 20},
    {100, 120, {U, U, 5999, U, U, U}, {U, U, U, U, 0, 120, U, U, U, U}, 1, U, U},
    {25, 30, {U, U, 0, 30, U, U}, NO_TIMES, 1, U, U},
};

const Segment ceramic[] = {
    {120, 60, {U, U, 0, 2, 1000, 20}, NO_TIMES, 1, U, U},
    {120, 90, {140, 5, 5999, U, U, U}, {0, 90, U, U, U, U, U, U, U, U}, 1, 10, 20},
    {600, 240, {U, U, 5999, U, U, U}, NO_TIMES, 2, U, U},
    {600, 30, {620, 5, 0, 1, U, U}, NO_TIMES, 2, 10, 10},
    {1000, 200, {U, U, 5999, U, U, U}, NO_TIMES, 3, U, U},
    {1250, 150, {U, U, 5999, U, 1050, 10}, NO_TIMES, 4, U, U},
    {1250, 20, {1270, 3, 0, 20, U, U}, NO_TIMES, 4, 5, 5},
    {800, 60, {U, U, 5999, U, U, U}, {U, U, U, U, U, U, 0, 45, U, U}, 5, U, U},
    {800, 45, {820, 5, 5999, U, U, U}, NO_TIMES, 5, 15, 30},
    {50, 360, {U, U, 350, 360, U, U}, NO_TIMES, 1, U, U},
};

const Segment climate[] = {
    {-40, 50, {-45, 2, 0, 1, 1000, 20}, NO_TIMES, 6, U, U},
    {-40, 60, {-45, 2, 5999, U, U, U}, NO_TIMES, 6, 2, 10},
    {85, 90, {U, U, 5999, U, -50, 10}, {10, 80, U, U, U, U, U, U, U, U}, 7, U, U},
    {85, 60, {90, 2, 0, 1, U, U}, NO_TIMES, 7, 2, 10},
    {25, 40, {U, U, 5999, U, U, U}, NO_TIMES, 8, U, U},
    {25, 15, {U, U, 0, 15, U, U}, {1, 2, 4, 5, 7, 8, 10, 11, 13, 14}, 8, 3, 5},
    {-40, 60, {-45, 2, 5999, U, U, U}, NO_TIMES, 6, U, U},
    {25, 60, {U, U, 55, 60, U, U}, NO_TIMES, 8, U, U},
};

#undef NO_TIMES

const Program programs[] = {
    {0, 0, 0, "ANNEAL01", anneal, int(sizeof(anneal) / sizeof(anneal[0]))},
    {1, 0, 0, "CERAMIC2", ceramic, int(sizeof(ceramic) / sizeof(ceramic[0]))},
    {0, 5, 0, "CLIMATE3", climate, int(sizeof(climate) / sizeof(climate[0]))},
};

// One 16-bit word as 4 upper-case hex digits (two's complement for negative values).
QString word(int value)
{
    return QStringLiteral("%1").arg(quint16(value), 4, 16, QLatin1Char('0')).toUpper();
}

QString encode(const Segment &s, const Program *head)
{
    QString record = word(s.sp) + word(s.minutes) + word(0);
    for (int v : s.events)
        record += word(v);
    for (int v : s.times)
        record += word(v);
    record += word(s.pid) + word(0) + word(s.soakBand) + word(s.soakTimeout);
    if (head) {
        record += word(head->start) + word(head->cycles) + word(head->link);
        for (int i = 0; i < 8; ++i)
            record +=
                QStringLiteral("%1").arg(uchar(head->tag[i]), 2, 16, QLatin1Char('0')).toUpper();
    }
    return record;
}

} // namespace

QStringList DemoPrograms::records(int program)
{
    if (program < FirstProgram || program > LastProgram)
        return {};
    const Program &p = programs[program - FirstProgram];
    QStringList result;
    for (int i = 0; i < p.segmentCount; ++i)
        result << encode(p.segments[i], i == 0 ? &p : nullptr);
    return result;
}
