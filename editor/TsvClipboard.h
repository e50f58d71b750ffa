#ifndef TSVCLIPBOARD_H
#define TSVCLIPBOARD_H

#include <QList>
#include <QString>
#include <QStringList>

// Blocks of cells as spreadsheets put them on the clipboard (LibreOffice Calc, Excel): plain
// text, a TAB between cells, CR LF or LF between rows, maybe a line end after the last row, a
// cell holding a TAB, a line end or a quote in double quotes with its quotes doubled.
class TsvClipboard
{
public:
    // The block as clipboard text: rows joined by CR LF, cells by TAB, a line end after the last
    // row (as the spreadsheets write it); cells that need it are quoted.
    static QString format(const QList<QStringList> &block);
    // The rows of a clipboard text, cells unquoted; empty when text holds no cell.
    static QList<QStringList> parse(const QString &text);

    // rows (segment rows) with block written over them from cell (row, column) on: cells past
    // the last column are dropped, rows past the last segment are added (copies of the last
    // one before the block is written). The labels are not written (they follow the position).
    // rows unchanged when block is empty or the place is outside the table.
    static QList<QStringList> pasted(const QList<QStringList> &rows, int row, int column,
                                     const QList<QStringList> &block);
};

#endif
