#include "DriverLogging.h"

Q_LOGGING_CATEGORY(lcDriver, "dcp30.driver", QtCriticalMsg)
