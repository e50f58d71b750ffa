#include "CliLogging.h"

Q_LOGGING_CATEGORY(lcCli, "dcp30.cli", QtCriticalMsg)
