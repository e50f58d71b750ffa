#ifndef WRITECOMMAND_H
#define WRITECOMMAND_H

#include <QStringList>

// "dcp30 write": checks a program file against the controller's range parameters the way
// "dcp30 validate" does and refuses it with any problem (unless --skip-invalid hands the choice
// to the plugin), then writes it through the plugin's own tags from a copy in the run's private
// directory: the user's file is never touched.
class WriteCommand
{
public:
    // arguments: the words after the subcommand name. Answers the exit status.
    static int run(const QStringList &arguments);
};

#endif
