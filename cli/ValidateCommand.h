#ifndef VALIDATECOMMAND_H
#define VALIDATECOMMAND_H

#include <QStringList>

// "dcp30 validate": the plugin's row validation on a program CSV file, without writing anything.
// The problems are printed exactly as a program write would log them: "Program 1:", then the
// lines of every missing or invalid segment under its heading. The file is loaded and judged by
// ProgramFile, as a program write does.
class ValidateCommand
{
public:
    static int run(const QStringList &arguments);
};

#endif
