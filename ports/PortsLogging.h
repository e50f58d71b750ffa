#ifndef PORTSLOGGING_H
#define PORTSLOGGING_H

#include <QLoggingCategory>

// Silent by default (only critical messages pass): QT_LOGGING_RULES="dcp30.ports.debug=true" (or
// "dcp30.*.debug=true") shows every byte a line port sends, receives or discards, and the line
// settings a device did not take.
Q_DECLARE_LOGGING_CATEGORY(lcPorts) // dcp30.ports

#endif
