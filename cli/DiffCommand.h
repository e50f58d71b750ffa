#ifndef DIFFCOMMAND_H
#define DIFFCOMMAND_H

#include <QStringList>

// "dcp30 diff A B": two programs compared cell by cell as the controller stores them, by
// segment and column, the program-wide values included. A side is a program file or
// "controller:N", program N read through the plugin from the controller at --port.
class DiffCommand
{
public:
    // Answers the exit status: 0 equal, 1 different, 2 bad arguments, 3 a side could not be had.
    static int run(const QStringList &arguments);
};

#endif
