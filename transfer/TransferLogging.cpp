#include "TransferLogging.h"

Q_LOGGING_CATEGORY(lcTransfer, "dcp30.transfer", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcTransferLowLevel, "dcp30.transfer.lowlevel", QtCriticalMsg)
