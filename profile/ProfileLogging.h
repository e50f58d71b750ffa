#ifndef PROFILELOGGING_H
#define PROFILELOGGING_H

#include <QLoggingCategory>

// Logging category "dcp30.profile" of the profile library. Silent by default: only critical
// messages pass unless enabled, e.g. QT_LOGGING_RULES="dcp30.profile.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcProfile)

#endif
