#include "PortsLogging.h"

Q_LOGGING_CATEGORY(lcPorts, "dcp30.ports", QtCriticalMsg)
