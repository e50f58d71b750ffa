#include "SpreadsheetCells.h"

#include "ProgramColumns.h"
#include "ProgramFormat.h"

#include <QRegularExpression>

namespace {

QString clock(int hours, int minutes)
{
    return QStringLiteral("%1:%2")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'));
}

// What the plugin makes of a TIME cell: the first two ':'-separated parts as hours and minutes.
QString pluginTimeReading(const QString &cell)
{
    const QStringList parts = cell.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    qint32 hours = 0;
    qint32 minutes = 0;
    if (parts.size() < 2 || !ProgramFormat::parseDecimal(parts.at(0), false, hours) ||
        !ProgramFormat::parseDecimal(parts.at(1), false, minutes))
        return QString();
    const qint64 total = qint64(hours) * 60 + minutes;
    return clock(int(total / 60), int(total % 60));
}

// A spreadsheet's time: an optional date, hours:minutes, optional seconds (with a fraction),
// an optional AM or PM.
const QRegularExpression &spreadsheetTime()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(?:(\\S.*?)\\s+)?(\\d{1,4}):(\\d{1,2})(?::(\\d{1,2})(?:[.,]\\d+)?)?"
                       "\\s*(?:([AaPp])\\.?[Mm]\\.?)?\\s*$"));
    return pattern;
}

} // namespace

QList<ProgramFile::Finding> SpreadsheetCells::findings(const QList<QStringList> &rows,
                                                       int segmentCnt)
{
    QList<ProgramFile::Finding> found;
    const int timeColumn = ProgramColumns::indexOfHeader(QStringLiteral("TIME"));
    const int last = qMin(segmentCnt, rows.size());
    for (int segment = 1; segment <= last; ++segment) {
        const QStringList &row = rows.at(segment - 1);
        ProgramFile::Finding finding;
        if (timeFinding(segment, row.value(timeColumn), &finding))
            found << finding;
        for (int column = 0; column < ProgramColumns::count() && column < row.size(); ++column) {
            if (ProgramColumns::at(column).kind == ProgramColumns::Kind::TimeEvent &&
                timeEventFinding(segment, column, row.at(column), &finding))
                found << finding;
        }
    }
    return found;
}

bool SpreadsheetCells::timeFinding(int segment, const QString &cell, ProgramFile::Finding *finding)
{
    const QRegularExpressionMatch match = spreadsheetTime().match(cell);
    const bool more = match.hasMatch()
                          ? !match.captured(1).isEmpty() || !match.captured(4).isEmpty() ||
                                !match.captured(5).isEmpty()
                          : cell.count(QLatin1Char(':')) > 1;
    if (!more)
        return false;
    const int column = ProgramColumns::indexOfHeader(QStringLiteral("TIME"));
    const QString plugin = pluginTimeReading(cell);
    const QString pluginText = plugin.isEmpty() ? QStringLiteral("the plugin cannot read it")
                                                : QStringLiteral("the plugin reads %1").arg(plugin);
    QString meant = QStringLiteral("a spreadsheet's reading cannot be told");
    QString advice = QStringLiteral("hours:minutes only, e.g. \"01:30\"");
    if (match.hasMatch()) {
        int hours = match.captured(2).toInt();
        const int minutes = match.captured(3).toInt();
        const int seconds = match.captured(4).toInt();
        const QString half = match.captured(5).toUpper();
        if (!half.isEmpty())
            hours = hours % 12 + (half == QLatin1String("P") ? 12 : 0);
        meant = QStringLiteral("the spreadsheet means %1").arg(clock(hours, minutes));
        if (seconds != 0)
            meant += QStringLiteral(":%1 (the controller keeps whole minutes)")
                         .arg(seconds, 2, 10, QLatin1Char('0'));
        if (!match.captured(1).isEmpty())
            meant += QStringLiteral(" after the date \"%1\"").arg(match.captured(1));
        advice = QStringLiteral("\"%1\" (hours:minutes only)").arg(clock(hours, minutes));
    }
    *finding = ProgramFile::Finding{
        ProgramFile::FindingKind::SpreadsheetTime, segment, column,
        QStringLiteral("SEG%1 TIME \"%2\" is a spreadsheet's time, not hours:minutes: %3, %4. "
                       "Write it as %5 and import the TIME column as Text.")
            .arg(QString::number(segment), cell, pluginText, meant, advice)};
    return true;
}

bool SpreadsheetCells::timeEventFinding(int segment, int column, const QString &cell,
                                        ProgramFile::Finding *finding)
{
    static const QRegularExpression oneDigit(QStringLiteral("^\\s*(\\d+)\\.(\\d)\\s*$"));
    const QRegularExpressionMatch match = oneDigit.match(cell);
    if (!match.hasMatch())
        return false;
    const QString hours = QString::number(match.captured(1).toLongLong());
    const QString digit = match.captured(2);
    const QString title = ProgramColumns::at(column).headerTitle();
    // Built by concatenation: "%50" would be taken for a placeholder.
    const QString plugin = hours + QStringLiteral(".0") + digit;
    const QString pluginSpoken = hours + QStringLiteral(" h 0") + digit + QStringLiteral(" min");
    const QString meant = hours + QLatin1Char('.') + digit + QLatin1Char('0');
    const QString meantSpoken = hours + QStringLiteral(" h ") + digit + QStringLiteral("0 min");
    *finding = ProgramFile::Finding{
        ProgramFile::FindingKind::SpreadsheetTimeEvent, segment, column,
        QStringLiteral("SEG%1 %2 \"%3\" has one digit after the point: the plugin reads %4 (%5), "
                       "but a spreadsheet saves %6 (%7) this way. Write the minutes with two "
                       "digits: \"%4\" or \"%6\".")
            .arg(QString::number(segment), title, cell, plugin, pluginSpoken, meant, meantSpoken)};
    return true;
}
