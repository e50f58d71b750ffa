#include "CsvLogging.h"

Q_LOGGING_CATEGORY(lcCsv, "dcp30.csv", QtCriticalMsg)
