#ifndef PORTSCOMMAND_H
#define PORTSCOMMAND_H

#include <QStringList>

// "dcp30 ports": the serial ports of this machine with what identifies an adapter: description,
// manufacturer, serial number and USB vendor:product ids.
class PortsCommand
{
public:
    // arguments: the words after the subcommand name. Answers the exit status (0, or 2 for bad
    // arguments); a machine without serial ports is not an error.
    static int run(const QStringList &arguments);
};

#endif
