#ifndef READCOMMAND_H
#define READCOMMAND_H

#include <QStringList>

// "dcp30 read": a program read driven through the plugin's own tags, as an operator screen
// drives it, into the run's private directory; the program file is then handed to --out (by
// default PROG_<N>.txt in the current directory), but only when the read ended clean.
class ReadCommand
{
public:
    // arguments: the words after the subcommand name. Answers the exit status.
    static int run(const QStringList &arguments);
};

#endif
