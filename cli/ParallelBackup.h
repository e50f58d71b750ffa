#ifndef PARALLELBACKUP_H
#define PARALLELBACKUP_H

#include <QString>
#include <QStringList>

class CommandLine;

// The backup of several controllers at the same time. The plugin keeps its file directory in a
// property of the application, one per process, so every controller gets a process of its own:
// the tool runs itself as "dcp30 backup --dir DIR/<port name> --port PORT ..." once per port,
// all at once, passes their stdout on as it is and their stderr with "[PORT] " before each line,
// and waits for all of them. SIGINT and SIGTERM are passed on to every child.
class ParallelBackup
{
public:
    // arguments: the backup's words as given; they are handed to every child without --dir and
    // --port. Answers the worst exit status of the children (1 for one that crashed), or 2 when
    // two ports are the same or share a directory name.
    static int run(CommandLine &line, const QStringList &arguments, const QString &dir,
                   const QStringList &ports);

    // The name of port's subdirectory: every character but letters, digits, '.', '-' and '_'
    // made '_' ("/dev/ttyUSB0" -> "dev_ttyUSB0", "tcp:127.0.0.1:4001" -> "tcp_127.0.0.1_4001").
    static QString directoryName(const QString &port);
    // arguments without the --dir and --port options and their values.
    static QStringList withoutDirAndPort(const QStringList &arguments);
};

#endif
