#ifndef RESTORECOMMAND_H
#define RESTORECOMMAND_H

#include <QStringList>

// "dcp30 restore": writes the programs of a backup directory back into a controller, each
// checked first as "dcp30 write" checks a file (against the controller's range parameters), and
// with --verify read back and compared. A program whose file no longer matches the SHA-256 in
// manifest.json is refused (the backup was changed) unless --force.
class RestoreCommand
{
public:
    // arguments: the words after the subcommand name. Answers the exit status: 0 when every
    // program was written (and matched), 1 when one was refused, failed or differed, 3 when the
    // directory, the plugin or the port could not be opened, 130/143 when interrupted.
    static int run(const QStringList &arguments);
};

#endif
