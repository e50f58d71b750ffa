#ifndef CLILOGGING_H
#define CLILOGGING_H

#include <QLoggingCategory>

// Silent by default (only critical messages pass): QT_LOGGING_RULES="dcp30.cli.debug=true" shows
// the command-line host's own details (line settings, port traffic).
Q_DECLARE_LOGGING_CATEGORY(lcCli) // dcp30.cli

#endif
