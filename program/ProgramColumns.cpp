#include "ProgramColumns.h"

#include "RecordGeometry.h"

#include <iterator>

namespace {

using Column = ProgramColumns::Column;
using Kind = ProgramColumns::Kind;

constexpr int W = RecordGeometry::WordDigits;
constexpr int Tag = ProgramColumns::TagCharacters;
constexpr qint32 Max = 5999; // minutes: 99:59

constexpr int w(int wordIndex)
{
    return wordIndex * W;
}

// Words 2 and 20 are reserved: the gaps between TIME and EV1 1st and between PID1 and G.S.
// clang-format off
constexpr Column columns[] = {
    // header   title      kind             pair second offset digits wide unset fixed low high
    {"-",       "-",       Kind::Label,     0, false, -1,    0,       false, false, false, 0, 0},
    {"SP1",     "SP1",     Kind::Setpoint,  0, false, w(0),  W,       false, false, false, 0, 0},
    {"TIME",    "TIME",    Kind::Time,      0, false, w(1),  W,       false, false, true,  0, Max},
    {"EV1 1st", "EV1 1st", Kind::Event,     1, false, w(3),  W,       false, true,  false, 0, 0},
    {"EV1 2nd", "EV1 2nd", Kind::Event,     1, true,  w(4),  W,       false, true,  false, 0, 0},
    {"EV2 1st", "EV2 1st", Kind::Event,     2, false, w(5),  W,       false, true,  false, 0, 0},
    {"EV2 2nd", "EV2 2nd", Kind::Event,     2, true,  w(6),  W,       false, true,  false, 0, 0},
    {"EV3 1st", "EV3 1st", Kind::Event,     3, false, w(7),  W,       false, true,  false, 0, 0},
    {"EV3 2nd", "EV3 2nd", Kind::Event,     3, true,  w(8),  W,       false, true,  false, 0, 0},
    {"T1 1st",  "T1 1st",  Kind::TimeEvent, 1, false, w(9),  W,       false, true,  true,  0, Max},
    {"T1 2nd",  "T1 2nd",  Kind::TimeEvent, 1, true,  w(10), W,       false, true,  true,  0, Max},
    {"T2 1st",  "T2 1st",  Kind::TimeEvent, 2, false, w(11), W,       false, true,  true,  0, Max},
    {"T2 2nd",  "T2 2nd",  Kind::TimeEvent, 2, true,  w(12), W,       false, true,  true,  0, Max},
    {"T3 1st",  "T3 1st",  Kind::TimeEvent, 3, false, w(13), W,       false, true,  true,  0, Max},
    {"T3 2nd",  "T3 2nd",  Kind::TimeEvent, 3, true,  w(14), W,       false, true,  true,  0, Max},
    {"T4 1st",  "T4 1st",  Kind::TimeEvent, 4, false, w(15), W,       false, true,  true,  0, Max},
    {"T4 2nd",  "T4 2nd",  Kind::TimeEvent, 4, true,  w(16), W,       false, true,  true,  0, Max},
    {"T5 1st",  "T5 1st",  Kind::TimeEvent, 5, false, w(17), W,       false, true,  true,  0, Max},
    {"T5 2nd",  "T5 2nd",  Kind::TimeEvent, 5, true,  w(18), W,       false, true,  true,  0, Max},
    {"PID1",    "PID1",    Kind::Number,    0, false, w(19), W,       false, false, true,  0, 8},
    {"G.S",     "G.S.",    Kind::Number,    0, false, w(21), W,       false, true,  true,  0, 1000},
    {"G.S.TO",  "G.S.TO",  Kind::Number,    0, false, w(22), W,       false, true,  true,  0, Max},
    {"P.STA",   "P.STA",   Kind::Number,    0, false, w(23), W,       true,  false, true,  0, 1},
    {"CYCL",    "CYCL",    Kind::Number,    0, false, w(24), W,       true,  false, true,  0, 9999},
    {"P.LIN",   "P.LIN",   Kind::Number,    0, false, w(25), W,       true,  false, true,  0, 19},
    {"Tag",     "Tag",     Kind::Tag,       0, false, w(26), 2 * Tag, true,  false, false, 0, 0},
};
// clang-format on

constexpr int columnCount = int(std::size(columns));
constexpr int firstProgramWideIndex = 22;

constexpr bool offsetsIncrease()
{
    for (int i = 2; i < columnCount; ++i) {
        if (columns[i].offset < columns[i - 1].offset + columns[i - 1].digits)
            return false;
    }
    return true;
}

constexpr bool programWideAtEnd()
{
    for (int i = 0; i < columnCount; ++i) {
        if (columns[i].programWide != (i >= firstProgramWideIndex))
            return false;
    }
    return true;
}

static_assert(columnCount == 26, "a program row has 26 cells");
static_assert(offsetsIncrease(), "record fields overlap or are out of order");
static_assert(programWideAtEnd(), "the program-wide columns close the row");
static_assert(columns[firstProgramWideIndex].offset == RecordGeometry::OtherSegmentDigits,
              "an other segment's record ends where the program-wide words begin");
static_assert(columns[columnCount - 1].offset + columns[columnCount - 1].digits ==
                  RecordGeometry::FirstSegmentDigits,
              "segment 1's record ends with the tag");

} // namespace

int ProgramColumns::count()
{
    return columnCount;
}

const ProgramColumns::Column &ProgramColumns::at(int index)
{
    return columns[index];
}

int ProgramColumns::firstProgramWide()
{
    return firstProgramWideIndex;
}

const ProgramColumns::Column *ProgramColumns::byCheckTitle(const QString &title)
{
    for (const Column &column : columns) {
        if (title == QLatin1String(column.title))
            return &column;
    }
    return nullptr;
}

int ProgramColumns::indexOfHeader(const QString &title)
{
    for (int i = 0; i < columnCount; ++i) {
        if (title == QLatin1String(columns[i].header))
            return i;
    }
    return -1;
}

QStringList ProgramColumns::headerRow()
{
    QStringList row;
    row.reserve(columnCount);
    for (const Column &column : columns)
        row << column.headerTitle();
    return row;
}
