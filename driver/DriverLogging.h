#ifndef DCP30_DRIVERLOGGING_H
#define DCP30_DRIVERLOGGING_H

#include <QLoggingCategory>

// Silent by default (only critical messages pass): enable with
// QT_LOGGING_RULES="dcp30.driver.debug=true" or "dcp30.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcDriver) // dcp30.driver

#endif
