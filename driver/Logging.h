#ifndef DCP30_LOGGING_H
#define DCP30_LOGGING_H

#include <QLoggingCategory>

// Silent by default (only critical messages pass): enable with
// QT_LOGGING_RULES="dcp30.*.debug=true" or "dcp30.*.warning=true".
Q_DECLARE_LOGGING_CATEGORY(lcDriver)           // dcp30.driver
Q_DECLARE_LOGGING_CATEGORY(lcTransfer)         // dcp30.transfer
Q_DECLARE_LOGGING_CATEGORY(lcTransferLowLevel) // dcp30.transfer.lowlevel: frame dumps

#endif
