#ifndef CSVLOGGING_H
#define CSVLOGGING_H

#include <QLoggingCategory>

// Logging category "dcp30.csv" of the CSV library. Silent by default: only critical messages pass
// unless the host enables more, e.g. QT_LOGGING_RULES="dcp30.csv.warning=true".
Q_DECLARE_LOGGING_CATEGORY(lcCsv)

#endif
