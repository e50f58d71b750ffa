#include "ProgramProblems.h"

#include "ProgramColumns.h"
#include "ProgramFile.h"
#include "RangeOptions.h"

#include <QRegularExpression>

#include <algorithm>
#include <climits>
#include <utility>

namespace {

int columnOfTitle(const QString &checkTitle)
{
    const ProgramColumns::Column *column = ProgramColumns::byCheckTitle(checkTitle);
    return column ? ProgramColumns::indexOfHeader(column->headerTitle()) : -1;
}

bool isEventColumn(int column)
{
    return column >= 0 && ProgramColumns::at(column).kind == ProgramColumns::Kind::Event;
}

} // namespace

int ProgramProblems::columnOf(const QString &line, bool *rangeLine)
{
    // The titles the messages name: "SP1", "EV2 1st", "T3 2nd", "G.S.", "G.S.TO", "P.LIN" ...
    static const QRegularExpression range(
        QStringLiteral("([A-Z][A-Z0-9.]*(?: 1st| 2nd)?) \\[-?\\d+\\] is out of range"));
    static const QRegularExpression format(
        QStringLiteral("^The format of ([A-Z][A-Z0-9.]*(?: 1st| 2nd)?) is incorrect\\."));
    static const QRegularExpression pair(QStringLiteral("The value of ((?:EV|T)\\d) 2nd must be"));
    if (rangeLine)
        *rangeLine = false;
    const QRegularExpressionMatch inRange = range.match(line);
    if (inRange.hasMatch()) {
        if (rangeLine)
            *rangeLine = true;
        return columnOfTitle(inRange.captured(1));
    }
    if (line.startsWith(QLatin1String("The format of TM")))
        return ProgramColumns::indexOfHeader(QStringLiteral("TIME"));
    const QRegularExpressionMatch badFormat = format.match(line);
    if (badFormat.hasMatch())
        return columnOfTitle(badFormat.captured(1));
    const QRegularExpressionMatch pairRule = pair.match(line);
    if (pairRule.hasMatch())
        return columnOfTitle(pairRule.captured(1) + QStringLiteral(" 2nd"));
    if (line.contains(QLatin1String("character of Tag")))
        return ProgramColumns::indexOfHeader(QStringLiteral("Tag"));
    return -1;
}

void ProgramProblems::collect(const ProgramFile &file, int segments, const RangeOptions &ranges)
{
    m_problems.clear();
    addValidation(file, segments, ranges);
    // A missing row is among the write's lines already.
    for (const ProgramFile::Finding &finding : file.findings(segments)) {
        if (finding.kind == ProgramFile::FindingKind::MissingRows)
            continue;
        m_problems << Problem{finding.segment, finding.column, finding.message};
    }
    // By segment, the program's own last; in a segment the whole row first, then by column.
    const auto key = [](const Problem &p) {
        return std::make_pair(p.segment > 0 ? p.segment : INT_MAX, p.column);
    };
    std::stable_sort(m_problems.begin(), m_problems.end(),
                     [&key](const Problem &a, const Problem &b) { return key(a) < key(b); });
}

void ProgramProblems::addValidation(const ProgramFile &file, int segments,
                                    const RangeOptions &ranges)
{
    static const QRegularExpression heading(
        QStringLiteral("^Segment (\\d+) has following format error"));
    static const QRegularExpression missing(QStringLiteral("^Segment (\\d+) has no data"));
    const ProgramFile::Validation validation =
        file.validate(segments, ranges.validationParameters());
    int segment = 0;
    for (const QString &raw : validation.lines) {
        const QString line = raw.trimmed();
        const QRegularExpressionMatch head = heading.match(line);
        if (head.hasMatch()) {
            segment = head.captured(1).toInt();
            continue;
        }
        const QRegularExpressionMatch gap = missing.match(line);
        if (gap.hasMatch()) {
            m_problems << Problem{gap.captured(1).toInt(), -1, line};
            continue;
        }
        bool rangeLine = false;
        const int column = columnOf(line, &rangeLine);
        // An event's range depends on its type: a guessed type says nothing.
        if (rangeLine && isEventColumn(column) && !ranges.eventTypesKnown())
            continue;
        m_problems << Problem{segment, column, line};
    }
    if (validation.nothingToWrite && ranges.allKnown())
        m_problems << Problem{0, -1, ProgramFile::nothingToWriteLine().trimmed()};
}

QSet<int> ProgramProblems::segments() const
{
    QSet<int> numbers;
    for (const Problem &problem : m_problems) {
        if (problem.segment > 0)
            numbers.insert(problem.segment);
    }
    return numbers;
}

QList<int> ProgramProblems::numbersAt(int segment, int column) const
{
    QList<int> numbers;
    for (int i = 0; i < m_problems.size(); ++i) {
        if (m_problems.at(i).segment == segment && m_problems.at(i).column == column)
            numbers << i + 1;
    }
    return numbers;
}
