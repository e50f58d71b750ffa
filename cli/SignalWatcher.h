#ifndef SIGNALWATCHER_H
#define SIGNALWATCHER_H

#include <QObject>

#include <csignal>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal in the event loop, so a long-running command can end
// cleanly (closing its line, flushing its output) when it is interrupted. The handler only writes
// the signal number into a pipe; everything else happens in the event loop. A second signal while
// the watcher lives ends the process at once with status 128 + the signal's number.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    // Puts the previous handlers back.
    ~SignalWatcher() override;

    bool isValid() const { return m_notifier != nullptr; }

signals:
    void signalled(int signalNumber);

private slots:
    void readPipe();

private:
    static void handler(int signalNumber);

    int m_pipe[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
    // What was active before this watcher, put back by the destructor, so a watcher made while
    // another lives (a transfer inside a longer command) hands the signals back to it.
    int m_previousWriteEnd = -1;
    struct sigaction m_previousInt = {};
    struct sigaction m_previousTerm = {};
};

#endif
