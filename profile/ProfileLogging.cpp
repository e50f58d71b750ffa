#include "ProfileLogging.h"

Q_LOGGING_CATEGORY(lcProfile, "dcp30.profile", QtCriticalMsg)
