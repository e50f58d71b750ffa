#ifndef DRIVERTOOLS_PROCESSTIME_H
#define DRIVERTOOLS_PROCESSTIME_H

#include <QtGlobal>

// Process queries and time keeping for drivers.
namespace DriverTools {

// Whether the process with this id still runs. Id 0 answers true, a negative id false. On Linux:
// kill(id, 0) succeeding or failing with EPERM (the process exists but belongs to someone else)
// counts as running, unless /proc shows it as a zombie (state Z: it has ended and waits to be
// reaped); ESRCH or any other error counts as ended, as does an id outside the platform's range.
bool isProcessRunning(qint64 id);

// Suspends the calling thread for ms milliseconds; 0 or less returns at once.
void sleepMs(int ms);

// Milliseconds since 1970-01-01 00:00 UTC.
qint64 currentMs();

} // namespace DriverTools

#endif
