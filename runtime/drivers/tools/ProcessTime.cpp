#include "ProcessTime.h"

#include <QDateTime>
#include <QFile>
#include <QThread>

#include <limits>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <signal.h>
#include <sys/types.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace DriverTools {

namespace {

#if defined(Q_OS_UNIX)
// True when /proc/<id>/stat names the zombie state. The state letter follows the last ")", since
// the command name in parentheses may itself hold spaces and parentheses.
bool isZombie(qint64 id)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(id));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.read(4096);
    const int close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return false;
    return line.at(close + 2) == 'Z';
}
#endif

} // namespace

bool isProcessRunning(qint64 id)
{
    if (id == 0)
        return true;
    if (id < 0)
        return false;
#if defined(Q_OS_UNIX)
    if (id > std::numeric_limits<pid_t>::max())
        return false;
    if (::kill(pid_t(id), 0) != 0 && errno != EPERM)
        return false;
    return !isZombie(id);
#elif defined(Q_OS_WIN)
    if (id > std::numeric_limits<DWORD>::max())
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(id));
    if (process == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    bool running = false;
    if (GetExitCodeProcess(process, &code))
        running = code == STILL_ACTIVE;
    else
        running = GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(process);
    return running;
#else
    return false;
#endif
}

void sleepMs(int ms)
{
    if (ms > 0)
        QThread::msleep(ulong(ms));
}

qint64 currentMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace DriverTools
