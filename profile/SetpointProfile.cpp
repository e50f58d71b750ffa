#include "SetpointProfile.h"

#include "ProfileCells.h"
#include "ProgramFormat.h"

#include <algorithm>

namespace {

// Column positions in a segment row.
constexpr int SpColumn = 1;
constexpr int TimeColumn = 2;
constexpr int FirstEventColumn = 3;
constexpr int FirstTimeEventColumn = 9;
constexpr int LastSegmentColumn = 21; // G.S.TO
constexpr int ProgramStartColumn = 22;
constexpr int LinkColumn = 24;
constexpr int TagColumn = 25;
// A segment record keeps minutes in a signed 16-bit word.
constexpr qint64 MaxMinutes = 0x7FFF;
// An event 1st of 5999 switches a time-type event off.
constexpr int EventOff = 5999;

QString cellAt(const QStringList &row, int column)
{
    return column < row.size() ? row.at(column) : QString();
}

bool isTimeEventColumn(int column)
{
    return column >= FirstTimeEventColumn && column < FirstTimeEventColumn + 10;
}

// Minutes of a TIME or time-event cell, or of a time-type event cell (plain minutes).
std::optional<qint64> minutesOf(const QString &cell, int column)
{
    std::optional<qint64> value;
    if (column == TimeColumn)
        value = ProfileCells::time(cell);
    else if (isTimeEventColumn(column))
        value = ProfileCells::timeEvent(cell);
    else if (const std::optional<qint32> number = ProfileCells::decimal(cell))
        value = *number;
    if (value && (*value < 0 || *value > MaxMinutes))
        return std::nullopt;
    return value;
}

// True when the cell has the format of its column (or is "----" where that is allowed).
bool readable(const QString &cell, int column)
{
    if (column == TimeColumn)
        return bool(minutesOf(cell, column));
    if (ProfileCells::isUnset(cell))
        return true;
    if (isTimeEventColumn(column))
        return bool(minutesOf(cell, column));
    return bool(ProfileCells::decimal(cell));
}

} // namespace

SetpointProfile::Error SetpointProfile::build(const QList<QStringList> &rows,
                                              const QList<qint32> &parameters,
                                              const QSet<int> &invalidSegments)
{
    *this = SetpointProfile();
    if (!parameters.isEmpty() && parameters.size() < 5)
        return Error::IncompleteParameters;
    if (rows.size() < 2)
        return Error::NoSegments;
    if (rows.size() - 1 > MaxSegments)
        return Error::TooManySegments;
    if (!parameters.isEmpty()) {
        m_hasParameters = true;
        m_spLow = parameters.at(0);
        m_spHigh = parameters.at(1);
        std::copy(parameters.begin() + 2, parameters.begin() + 5, m_eventTypes);
    }
    for (int i = 1; i < rows.size(); ++i)
        addSegment(i, rows.at(i));
    readProgramWide(rows.at(1));
    for (Segment &segment : m_segments) {
        segment.invalid = invalidSegments.contains(segment.number);
        segment.unreadable = !segment.unreadableCells.isEmpty();
    }
    return Error::None;
}

void SetpointProfile::addSegment(int number, const QStringList &row)
{
    const QStringList titles = ProgramFormat::headerRow();
    Segment segment;
    segment.number = number;
    for (int column = SpColumn; column <= LastSegmentColumn; ++column) {
        if (!readable(cellAt(row, column), column))
            segment.unreadableCells << titles.at(column);
    }
    const bool first = m_segments.isEmpty();
    const QString spCell = cellAt(row, SpColumn);
    const std::optional<qint32> sp = ProfileCells::decimal(spCell);
    if (first && ProfileCells::isUnset(spCell))
        segment.unreadableCells.prepend(titles.at(SpColumn));
    segment.startMinutes = first ? 0 : m_segments.last().endMinutes;
    segment.startSp = first ? double(sp.value_or(0)) : m_segments.last().endSp;
    segment.endSp = sp ? double(*sp) : segment.startSp;
    segment.endMinutes =
        segment.startMinutes + int(minutesOf(cellAt(row, TimeColumn), TimeColumn).value_or(0));

    for (int lane = T1; lane < LaneCount; ++lane) {
        const bool timeEvent = lane <= T5;
        if (!timeEvent && eventType(lane - Ev1 + 1) != TimeEventType)
            continue;
        const int column =
            timeEvent ? FirstTimeEventColumn + 2 * lane : FirstEventColumn + 2 * (lane - Ev1);
        const QString on = cellAt(row, column);
        const QString off = cellAt(row, column + 1);
        if (ProfileCells::isUnset(on) || !readable(on, column) || !readable(off, column + 1))
            continue;
        const qint64 onMinutes = *minutesOf(on, column);
        if (!timeEvent && onMinutes == EventOff)
            continue;
        const qint64 offMinutes = ProfileCells::isUnset(off) ? MaxMinutes : *minutesOf(off, column);
        const int start = segment.startMinutes + int(onMinutes);
        const int end = std::min(segment.endMinutes, segment.startMinutes + int(offMinutes));
        if (start < end)
            m_bands.append(Band{Lane(lane), number, start, end});
    }
    m_segments.append(segment);
}

void SetpointProfile::readProgramWide(const QStringList &row)
{
    const QStringList titles = ProgramFormat::headerRow();
    std::optional<int> *values[3] = {&m_pStart, &m_cycles, &m_linked};
    for (int column = ProgramStartColumn; column <= LinkColumn; ++column) {
        const QString cell = cellAt(row, column);
        if (ProfileCells::isUnset(cell))
            continue;
        const std::optional<qint32> value = ProfileCells::decimal(cell);
        if (value)
            *values[column - ProgramStartColumn] = *value;
        else
            m_segments.first().unreadableCells << titles.at(column);
    }
    QString tag = cellAt(row, TagColumn);
    while (tag.endsWith(QLatin1Char(' ')) || tag.endsWith(QChar(0)))
        tag.chop(1);
    m_tag = ProfileCells::isUnset(tag) ? QString() : tag;
}

QList<SetpointProfile::Lane> SetpointProfile::usedLanes() const
{
    QList<Lane> lanes;
    for (int lane = T1; lane < LaneCount; ++lane) {
        const auto inLane = [lane](const Band &band) { return band.lane == lane; };
        if (std::any_of(m_bands.begin(), m_bands.end(), inLane))
            lanes << Lane(lane);
    }
    return lanes;
}

QString SetpointProfile::laneName(Lane lane)
{
    if (lane <= T5)
        return QStringLiteral("T%1").arg(lane - T1 + 1);
    return QStringLiteral("EV%1").arg(lane - Ev1 + 1);
}

int SetpointProfile::totalMinutes() const
{
    return m_segments.isEmpty() ? 0 : m_segments.last().endMinutes;
}

double SetpointProfile::spAt(double minutes) const
{
    if (m_segments.isEmpty())
        return 0;
    const int number = segmentAtMinutes(std::clamp(minutes, 0.0, double(totalMinutes())));
    const Segment &segment = m_segments.at(number - 1);
    const int length = segment.endMinutes - segment.startMinutes;
    if (length <= 0)
        return segment.endSp;
    const double part = (minutes - segment.startMinutes) / length;
    return segment.startSp + std::clamp(part, 0.0, 1.0) * (segment.endSp - segment.startSp);
}

int SetpointProfile::segmentAtMinutes(double minutes) const
{
    if (m_segments.isEmpty() || minutes < 0 || minutes > totalMinutes())
        return 0;
    for (const Segment &segment : m_segments) {
        if (minutes < segment.endMinutes)
            return segment.number;
    }
    return m_segments.last().number;
}

double SetpointProfile::minSp() const
{
    double low = m_segments.isEmpty() ? 0 : m_segments.first().startSp;
    for (const Segment &segment : m_segments)
        low = std::min({low, segment.startSp, segment.endSp});
    return low;
}

double SetpointProfile::maxSp() const
{
    double high = m_segments.isEmpty() ? 0 : m_segments.first().startSp;
    for (const Segment &segment : m_segments)
        high = std::max({high, segment.startSp, segment.endSp});
    return high;
}

qint32 SetpointProfile::eventType(int event) const
{
    return event >= 1 && event <= 3 ? m_eventTypes[event - 1] : -1;
}
