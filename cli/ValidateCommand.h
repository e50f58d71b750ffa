#ifndef VALIDATECOMMAND_H
#define VALIDATECOMMAND_H

#include <QList>
#include <QString>
#include <QStringList>

// "dcp30 validate": the plugin's row validation on a program CSV file, without writing anything.
// The problems are printed exactly as a program write would log them: "Program 1:", then the
// lines of every missing or invalid segment under its heading.
class ValidateCommand
{
public:
    static int run(const QStringList &arguments);

    // The write error log's lines for rows (the header row removed) validated as segments
    // 1..segmentCnt under the five range parameters; empty when every segment is valid.
    static QStringList problems(const QList<QStringList> &rows, int segmentCnt,
                                const QList<int> &paras);
};

#endif
