#include "TsvClipboard.h"

#include "ProgramColumns.h"
#include "RowsCommand.h"

namespace {

const QChar tab(QLatin1Char('\t'));
const QChar quote(QLatin1Char('"'));

QString quoted(const QString &cell)
{
    if (!cell.contains(tab) && !cell.contains(QLatin1Char('\n')) &&
        !cell.contains(QLatin1Char('\r')) && !cell.startsWith(quote))
        return cell;
    QString text = cell;
    text.replace(quote, QStringLiteral("\"\""));
    return quote + text + quote;
}

// Reads one cell from at on; at ends on the character after it (TAB, line end or the end).
QString takeCell(const QString &text, int &at)
{
    if (at < text.size() && text.at(at) == quote) {
        QString cell;
        for (++at; at < text.size(); ++at) {
            if (text.at(at) != quote) {
                cell += text.at(at);
            } else if (at + 1 < text.size() && text.at(at + 1) == quote) {
                cell += quote;
                ++at;
            } else {
                ++at;
                break;
            }
        }
        return cell;
    }
    const int start = at;
    while (at < text.size() && text.at(at) != tab && text.at(at) != QLatin1Char('\n') &&
           text.at(at) != QLatin1Char('\r'))
        ++at;
    return text.mid(start, at - start);
}

} // namespace

QString TsvClipboard::format(const QList<QStringList> &block)
{
    QString text;
    for (const QStringList &row : block) {
        QStringList cells;
        for (const QString &cell : row)
            cells << quoted(cell);
        text += cells.join(tab) + QStringLiteral("\r\n");
    }
    return text;
}

QList<QStringList> TsvClipboard::parse(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    int at = 0;
    while (at < text.size()) {
        row << takeCell(text, at);
        if (at < text.size() && text.at(at) == tab) {
            ++at;
            continue;
        }
        // A line end (CR LF, LF or a lone CR) or the end of the text closes the row.
        if (at < text.size() && text.at(at) == QLatin1Char('\r'))
            ++at;
        if (at < text.size() && text.at(at) == QLatin1Char('\n'))
            ++at;
        rows << row;
        row.clear();
    }
    // A TAB at the very end leaves an empty last cell.
    if (!row.isEmpty())
        rows << (row << QString());
    return rows;
}

QList<QStringList> TsvClipboard::pasted(const QList<QStringList> &rows, int row, int column,
                                        const QList<QStringList> &block)
{
    if (block.isEmpty() || row < 0 || row >= rows.size() || column < 0 ||
        column >= ProgramColumns::count())
        return rows;
    QList<QStringList> result = rows;
    while (result.size() < row + block.size())
        result << result.last();
    for (int r = 0; r < block.size(); ++r) {
        QStringList &cells = result[row + r];
        while (cells.size() < ProgramColumns::count())
            cells << QString();
        const int last = qMin(column + block.at(r).size(), ProgramColumns::count());
        for (int c = qMax(column, 1); c < last; ++c)
            cells[c] = block.at(r).at(c - column);
    }
    QStringList wide;
    for (int c = ProgramColumns::firstProgramWide(); c < ProgramColumns::count(); ++c)
        wide << result.first().value(c);
    RowsCommand::renumber(result, wide);
    return result;
}
