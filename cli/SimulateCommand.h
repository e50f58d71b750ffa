#ifndef SIMULATECOMMAND_H
#define SIMULATECOMMAND_H

#include <QStringList>

// "dcp30 simulate": the simulated DCP31/32 on a new pseudo-terminal or on a TCP port of
// 127.0.0.1, until SIGINT or SIGTERM. The first line of stdout names where clients connect: the
// device path, or "tcp:127.0.0.1:<port>", ready to be given as --port.
class SimulateCommand
{
public:
    static int run(const QStringList &arguments);

    // The --fault syntax, for the help texts.
    static QString faultHelp();
};

#endif
