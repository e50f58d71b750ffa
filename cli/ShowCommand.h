#ifndef SHOWCOMMAND_H
#define SHOWCOMMAND_H

#include <QStringList>

// "dcp30 show": a program CSV file as an aligned table in the terminal, with the program-wide
// values and the run time above it and every problem a program write would find marked at its
// cell and listed under it. Exit status 0 without problems, 1 with.
class ShowCommand
{
public:
    static int run(const QStringList &arguments);
};

#endif
