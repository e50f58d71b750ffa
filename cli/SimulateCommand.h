#ifndef SIMULATECOMMAND_H
#define SIMULATECOMMAND_H

#include "FaultPlan.h"

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

private:
    // What the command line asks the simulator to do.
    struct Options
    {
        bool pty = false; // a pseudo-terminal, otherwise TCP on tcpPort (0: a free port)
        int tcpPort = 0;
        FaultPlan plan;
        bool verbose = false;
        bool quiet = false;
    };

    // Reads arguments into options. Answers -1 when the simulator is to be served, otherwise the
    // exit status to end with (the help or the reason has been printed).
    static int parseOptions(const QStringList &arguments, Options &options);
    // Serves the simulator as options say until SIGINT or SIGTERM; answers the exit status.
    static int serve(const Options &options);
};

#endif
