#include "ProgramDiff.h"

#include "ProgramColumns.h"
#include "ProgramFormat.h"

namespace {

using Kind = ProgramColumns::Kind;

const QString unsetCell = QStringLiteral("----");
const qint32 unsetWord = 0x7FFF;

QString word(qint64 value)
{
    return QString::number(qint16(quint16(value & 0xFFFF)));
}

QString asText(const QString &cell)
{
    return QStringLiteral("text:") + cell;
}

// Minutes of "hours<separator>minutes" read as the plugin reads TIME (':', unsigned) and the
// time events ('.', signed, hours alone allowed); false when the plugin would refuse the text.
bool minutes(const QString &cell, QChar separator, qint64 &total)
{
    const bool signedParts = separator == QLatin1Char('.');
    const QStringList parts = cell.split(separator, Qt::KeepEmptyParts);
    if (parts.size() < 2 && !signedParts)
        return false;
    qint32 hours = 0;
    qint32 mins = 0;
    if (!ProgramFormat::parseDecimal(parts.at(0), signedParts, hours) ||
        (parts.size() > 1 && !ProgramFormat::parseDecimal(parts.at(1), signedParts, mins)))
        return false;
    total = qint64(hours) * 60 + mins;
    return true;
}

QString tagValue(const QString &cell)
{
    const int size = ProgramColumns::TagCharacters;
    return cell.toUpper().leftJustified(size, QLatin1Char(' '), true);
}

} // namespace

QString ProgramDiff::noRow()
{
    return QStringLiteral("(no row)");
}

QString ProgramDiff::storedValue(int column, const QString &cell)
{
    const ProgramColumns::Column &info = ProgramColumns::at(column);
    if (info.kind == Kind::Tag)
        return tagValue(cell);
    if (info.kind == Kind::Label)
        return QString();
    if (cell == unsetCell && info.kind != Kind::Time)
        return word(unsetWord);
    qint64 total = 0;
    if (info.kind == Kind::Time)
        return minutes(cell, QLatin1Char(':'), total) ? word(total) : asText(cell);
    if (info.kind == Kind::TimeEvent)
        return minutes(cell, QLatin1Char('.'), total) ? word(total) : asText(cell);
    qint32 value = 0;
    return ProgramFormat::parseDecimal(cell, true, value) ? word(value) : asText(cell);
}

QList<ProgramDiff::Difference> ProgramDiff::compare(const QList<QStringList> &left,
                                                    const QList<QStringList> &right,
                                                    const QList<int> &segments)
{
    QList<Difference> differences;
    for (const int segment : segments) {
        const bool hasLeft = segment >= 1 && segment <= left.size();
        const bool hasRight = segment >= 1 && segment <= right.size();
        if (!hasLeft || !hasRight) {
            // One line for a missing row, naming the row the other side has by its label.
            if (hasLeft != hasRight)
                differences << Difference{segment, 0,
                                          hasLeft ? left.at(segment - 1).value(0) : noRow(),
                                          hasRight ? right.at(segment - 1).value(0) : noRow()};
            continue;
        }
        const int end = segment == 1 ? ProgramColumns::count() : ProgramColumns::firstProgramWide();
        for (int column = 1; column < end; ++column) {
            const QString a = left.at(segment - 1).value(column);
            const QString b = right.at(segment - 1).value(column);
            if (storedValue(column, a) != storedValue(column, b))
                differences << Difference{segment, column, a, b};
        }
    }
    return differences;
}

QList<ProgramDiff::Difference> ProgramDiff::compare(const QList<QStringList> &left,
                                                    const QList<QStringList> &right, int segmentCnt)
{
    QList<int> segments;
    for (int segment = 1; segment <= segmentCnt; ++segment)
        segments << segment;
    return compare(left, right, segments);
}

QString ProgramDiff::describe(const Difference &difference, const QString &leftWord,
                              const QString &rightWord)
{
    const ProgramColumns::Column &info = ProgramColumns::at(difference.column);
    const bool missing = difference.left == noRow() || difference.right == noRow();
    const QString name =
        missing ? QStringLiteral("SEG%1").arg(difference.segment)
        : info.programWide
            ? info.headerTitle()
            : QStringLiteral("SEG%1 %2").arg(difference.segment).arg(info.headerTitle());
    auto shown = [&](const QString &text) {
        return info.kind == Kind::Tag && text != noRow()
                   ? QLatin1Char('"') + text + QLatin1Char('"')
                   : text;
    };
    return QStringLiteral("%1: %2 %3, %4 %5")
        .arg(name, leftWord, shown(difference.left), rightWord, shown(difference.right));
}
