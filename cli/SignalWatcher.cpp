#include "SignalWatcher.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {
// The write end of the pipe of the one active watcher, for the signal handler.
std::atomic<int> writeEnd{-1};
// Signals the active watcher has received; a second one ends the process at once.
std::atomic<int> received{0};
} // namespace

SignalWatcher::SignalWatcher(QObject *parent) : QObject(parent)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    received.store(0);
    m_previousWriteEnd = writeEnd.exchange(m_pipe[1]);
    struct sigaction action = {};
    action.sa_handler = &SignalWatcher::handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &m_previousInt);
    ::sigaction(SIGTERM, &action, &m_previousTerm);
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::readPipe);
}

SignalWatcher::~SignalWatcher()
{
    if (m_pipe[0] < 0)
        return;
    ::sigaction(SIGINT, &m_previousInt, nullptr);
    ::sigaction(SIGTERM, &m_previousTerm, nullptr);
    writeEnd.store(m_previousWriteEnd);
    delete m_notifier;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void SignalWatcher::handler(int signalNumber)
{
    const int saved = errno;
    // The user asked twice: no more waiting for the line or the worker.
    if (received.fetch_add(1) >= 1)
        ::_exit(128 + signalNumber);
    const int fd = writeEnd.load();
    if (fd >= 0) {
        const char byte = char(signalNumber);
        ssize_t ignored = ::write(fd, &byte, 1);
        (void)ignored;
    }
    errno = saved;
}

void SignalWatcher::readPipe()
{
    char bytes[16];
    const ssize_t n = ::read(m_pipe[0], bytes, sizeof bytes);
    for (ssize_t i = 0; i < n; ++i)
        emit signalled(int(bytes[i]));
}
