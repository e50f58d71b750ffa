#ifndef DCP30_TRANSFERLOGGING_H
#define DCP30_TRANSFERLOGGING_H

#include <QLoggingCategory>

// Silent by default (only critical messages pass): enable with
// QT_LOGGING_RULES="dcp30.transfer*.debug=true" or "dcp30.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcTransfer)         // dcp30.transfer
Q_DECLARE_LOGGING_CATEGORY(lcTransferLowLevel) // dcp30.transfer.lowlevel: frame dumps

#endif
