#include "Console.h"

#include <cstdio>
#include <mutex>

#include <unistd.h>

namespace {

std::mutex &consoleLock()
{
    static std::mutex lock;
    return lock;
}

// Guarded by consoleLock().
QString &statusLine()
{
    static QString line;
    return line;
}

void put(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

const char clearLine[] = "\r\x1b[K";

} // namespace

void Console::out(const QString &line)
{
    std::lock_guard<std::mutex> guard(consoleLock());
    put(stdout, line + QLatin1Char('\n'));
}

void Console::error(const QString &text)
{
    errorRaw(text + QLatin1Char('\n'));
}

void Console::errorRaw(const QString &text)
{
    std::lock_guard<std::mutex> guard(consoleLock());
    const QString &status = statusLine();
    if (status.isEmpty()) {
        put(stderr, text);
        return;
    }
    put(stderr, QLatin1String(clearLine) + text + status);
}

void Console::setStatusLine(const QString &text)
{
    std::lock_guard<std::mutex> guard(consoleLock());
    QString &status = statusLine();
    if (text == status)
        return;
    status = text;
    put(stderr, QLatin1String(clearLine) + text);
}

void Console::finishStatusLine()
{
    std::lock_guard<std::mutex> guard(consoleLock());
    QString &status = statusLine();
    if (status.isEmpty())
        return;
    status.clear();
    put(stderr, QStringLiteral("\n"));
}

bool Console::stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}
