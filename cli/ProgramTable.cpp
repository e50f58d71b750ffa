#include "ProgramTable.h"

#include "ProfileCells.h"
#include "ProgramColumns.h"

#include <algorithm>

namespace {

const int Gap = 2;
const QString Unset = QStringLiteral("-");
const char Red[] = "\x1b[31m";
const char Reset[] = "\x1b[0m";

QString clockText(qint64 minutes)
{
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// A cell as the table shows it: "-" for no value, a readable time as h:mm, anything else as the
// file has it (on one line).
QString shownCell(const QString &cell, bool time, bool timeEvent)
{
    if (ProfileCells::isUnset(cell))
        return Unset;
    const std::optional<qint64> minutes =
        time ? ProfileCells::time(cell)
             : (timeEvent ? ProfileCells::timeEvent(cell) : std::optional<qint64>());
    if (minutes && *minutes >= 0)
        return clockText(*minutes);
    const QString text = cell.simplified();
    return text.isEmpty() ? QStringLiteral("\"\"") : text;
}

} // namespace

ProgramTable::ProgramTable(const QList<QStringList> &rows, int segments,
                           const ProgramProblems &problems)
    : m_rows(rows), m_segments(segments), m_problems(problems)
{
}

const QList<ProgramTable::Group> &ProgramTable::groups()
{
    static const QList<Group> list = {
        {"Seg", "", 0, -1, Group::Label},
        {"SP1", "", 1, -1, Group::Plain},
        {"TIME", "h:mm", 2, -1, Group::Time},
        {"EV1", "1st/2nd", 3, 4, Group::Events},
        {"EV2", "1st/2nd", 5, 6, Group::Events},
        {"EV3", "1st/2nd", 7, 8, Group::Events},
        {"T1", "on~off", 9, 10, Group::TimeEvents},
        {"T2", "on~off", 11, 12, Group::TimeEvents},
        {"T3", "on~off", 13, 14, Group::TimeEvents},
        {"T4", "on~off", 15, 16, Group::TimeEvents},
        {"T5", "on~off", 17, 18, Group::TimeEvents},
        {"PID1", "group", 19, -1, Group::Plain},
        {"G.S", "band", 20, -1, Group::Plain},
        {"G.S.TO", "min", 21, -1, Group::Plain},
    };
    return list;
}

bool ProgramTable::hasValue(const Group &group) const
{
    const int last = qMin(m_segments, m_rows.size());
    for (int s = 1; s <= last; ++s) {
        const QStringList &row = m_rows.at(s - 1);
        if (!ProfileCells::isUnset(row.value(group.first)) ||
            (group.second >= 0 && !ProfileCells::isUnset(row.value(group.second))))
            return true;
    }
    return false;
}

bool ProgramTable::hasProblem(const Group &group) const
{
    for (const ProgramProblems::Problem &problem : m_problems.problems()) {
        if (problem.segment > 0 &&
            (problem.column == group.first || problem.column == group.second))
            return true;
    }
    return false;
}

QList<ProgramTable::Group> ProgramTable::shownGroups() const
{
    QList<Group> shown;
    for (const Group &group : groups()) {
        if (group.style == Group::Label || group.first <= 2 || hasValue(group) || hasProblem(group))
            shown << group;
    }
    return shown;
}

QStringList ProgramTable::hiddenTitles() const
{
    const QList<Group> shown = shownGroups();
    QStringList titles;
    for (const Group &group : groups()) {
        const bool isShown = std::any_of(shown.begin(), shown.end(), [&group](const Group &g) {
            return g.first == group.first;
        });
        if (!isShown)
            titles << QLatin1String(group.title);
    }
    return titles;
}

QString ProgramTable::value(const Group &group, int segment) const
{
    const QStringList &row = m_rows.at(segment - 1);
    const QString first = row.value(group.first);
    switch (group.style) {
    case Group::Label:
        return first.simplified();
    case Group::Plain:
        return shownCell(first, false, false);
    case Group::Time:
        return shownCell(first, true, false);
    case Group::Events:
    case Group::TimeEvents:
        break;
    }
    const bool times = group.style == Group::TimeEvents;
    const QString a = shownCell(first, false, times);
    const QString b = shownCell(row.value(group.second), false, times);
    if (a == Unset && b == Unset)
        return Unset;
    return a + (times ? QLatin1Char('~') : QLatin1Char('/')) + b;
}

QString ProgramTable::marks(const QList<int> &numbers) const
{
    if (numbers.isEmpty())
        return QString();
    QStringList texts;
    for (const int number : numbers)
        texts << QString::number(number);
    return QLatin1Char('!') + texts.join(QLatin1Char(','));
}

ProgramTable::Cell ProgramTable::cell(const Group &group, int segment) const
{
    QList<int> numbers = m_problems.numbersAt(segment, group.first);
    if (group.second >= 0)
        numbers += m_problems.numbersAt(segment, group.second);
    if (group.style == Group::Label)
        numbers = m_problems.numbersAt(segment, -1) + numbers;
    std::sort(numbers.begin(), numbers.end());
    QString text;
    if (segment <= m_rows.size())
        text = value(group, segment);
    else if (group.style == Group::Label)
        text = QStringLiteral("SEG%1").arg(segment);
    return Cell{text + marks(numbers), !numbers.isEmpty()};
}

QString ProgramTable::paint(const QString &text, bool marked) const
{
    if (!m_colour || !marked)
        return text;
    return QLatin1String(Red) + text + QLatin1String(Reset);
}

QString ProgramTable::tableLine(const QList<Cell> &cells, const QList<int> &widths) const
{
    QString line;
    for (int i = 0; i < cells.size(); ++i) {
        // Padding is added outside the colour, so escape codes never count as width.
        const Cell &c = cells.at(i);
        const int pad = i + 1 < cells.size() ? widths.at(i) - c.text.size() + Gap : 0;
        line += paint(c.text, c.marked) + QString(qMax(0, pad), QLatin1Char(' '));
    }
    return line;
}

QStringList ProgramTable::tableLines() const
{
    const QList<Group> shown = shownGroups();
    QList<QList<Cell>> lines;
    QList<Cell> titles;
    QList<Cell> units;
    for (const Group &group : shown) {
        titles << Cell{QLatin1String(group.title)};
        units << Cell{QLatin1String(group.unit)};
    }
    lines << titles << units;
    for (int s = 1; s <= m_segments; ++s) {
        QList<Cell> cells;
        for (const Group &group : shown)
            cells << cell(group, s);
        if (s > m_rows.size()) // only the label and a word on what is missing
            cells = {cells.first(), Cell{QStringLiteral("(no row in the file)")}};
        lines << cells;
    }
    QList<int> widths;
    for (const QList<Cell> &cells : lines) {
        for (int i = 0; i < cells.size(); ++i) {
            if (widths.size() <= i)
                widths << 0;
            if (cells.size() == shown.size() || i == 0)
                widths[i] = qMax(widths.at(i), int(cells.at(i).text.size()));
        }
    }
    QStringList text;
    for (const QList<Cell> &cells : lines)
        text << tableLine(cells, widths);
    return text;
}

QString ProgramTable::programLine() const
{
    static const char *const titles[] = {"P.STA", "CYCL", "P.LIN", "Tag"};
    QStringList parts;
    for (const char *title : titles) {
        const int column = ProgramColumns::indexOfHeader(QLatin1String(title));
        QString text = m_rows.isEmpty() ? QString() : m_rows.first().value(column);
        if (QLatin1String(title) != QLatin1String("Tag"))
            text = shownCell(text, false, false);
        const QList<int> numbers = m_problems.numbersAt(1, column);
        parts << QLatin1String(title) + QLatin1Char(' ') +
                     paint(text + marks(numbers), !numbers.isEmpty());
    }
    return parts.join(QStringLiteral("   "));
}

QStringList ProgramTable::footnotes() const
{
    QStringList lines;
    const QList<ProgramProblems::Problem> &problems = m_problems.problems();
    for (int i = 0; i < problems.size(); ++i) {
        const ProgramProblems::Problem &problem = problems.at(i);
        QString place = problem.segment > 0 ? QStringLiteral("SEG%1").arg(problem.segment)
                                            : QStringLiteral("file");
        if (problem.segment > 0 && problem.column == 0)
            place += QStringLiteral(" label");
        else if (problem.segment > 0 && problem.column > 0)
            place += QLatin1Char(' ') + ProgramColumns::at(problem.column).headerTitle();
        lines << paint(QStringLiteral("%1").arg(QLatin1Char('!') + QString::number(i + 1), 4),
                       true) +
                     QStringLiteral("  %1: %2").arg(place, problem.text);
    }
    return lines;
}
