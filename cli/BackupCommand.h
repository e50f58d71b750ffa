#ifndef BACKUPCOMMAND_H
#define BACKUPCOMMAND_H

#include <QStringList>

// "dcp30 backup": every listed program of a controller into a directory as PROG_<N>.txt, each
// exactly what "dcp30 read" gives, with manifest.json describing the backup. A program's segment
// count is found by ProgramProbe first; programs without segment 1 are skipped. With several
// --port options each controller goes into a subdirectory of its own, all at the same time, by
// one process per port (ParallelBackup).
class BackupCommand
{
public:
    // arguments: the words after the subcommand name. Answers the exit status: 0 when every
    // program was read and saved, 1 when a program read failed, 3 when a file or the port could
    // not be opened or written, 130/143 when interrupted.
    static int run(const QStringList &arguments);
};

#endif
