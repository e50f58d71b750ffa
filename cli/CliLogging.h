#ifndef CLILOGGING_H
#define CLILOGGING_H

#include <QLoggingCategory>

// Silent by default (only critical messages pass): QT_LOGGING_RULES="dcp30.cli.debug=true" shows
// the command-line host's own details (the port it opens, with its line settings); the line
// traffic itself is under "dcp30.ports".
Q_DECLARE_LOGGING_CATEGORY(lcCli) // dcp30.cli

#endif
