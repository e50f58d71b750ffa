#ifndef LINEEXCHANGE_H
#define LINEEXCHANGE_H

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>

class PortObject;

// One request and its reply on the host's port, as every program-file command needs them: port
// option 12, the frame, a zeroed receive buffer, the command's pause, the read, and the checks of
// the reply's header and end code. It also keeps what the exchanges share: the port handed over
// by the driver, the pause hook and the abort flag.
//
// Threads: setPort() and abort() may be called from any thread while run() is busy on the
// worker's; the port pointer and the flag are atomics, and each exchange takes the port once.
class LineExchange
{
public:
    enum class Result {
        Done,        // the controller answered "00" or "01"
        Refused,     // the controller answered another end code (the reply holds it)
        SendFailed,  // no port, or the port took fewer bytes than the frame holds
        ReplyFailed, // nothing arrived, or no "0100X" where it belongs
        Aborted      // the worker is being shut down; nothing was read
    };
    using PauseHook = std::function<void(int milliseconds)>;
    static constexpr int ReceiveBufferSize = 255;

    void setPort(PortObject *port);
    // The port handed over last; null before the first.
    PortObject *port() const { return m_port.load(std::memory_order_acquire); }
    // Replaces the pauses between a request and the read of its reply (tests run transfers in
    // zero time with it). Set it before any transfer starts.
    void setPauseHook(PauseHook hook) { m_pauseHook = std::move(hook); }
    // Makes every later exchange and pause give up at once. Permanent.
    void abort() { m_aborted.store(true, std::memory_order_release); }
    // True once abort() was called.
    bool isAborted() const { return m_aborted.load(std::memory_order_acquire); }
    // The port's retry count, asked afresh; 0 without a port.
    int retryCount() const;

    // Sends frame and reads up to readLimit bytes of the reply after pauseMs. Answers how the
    // exchange ended; reply holds the text read (up to its zero terminator) for Done and Refused
    // and is empty after Aborted and SendFailed.
    Result run(const QByteArray &frame, int pauseMs, int readLimit, QString &reply);

    // Waits milliseconds (or runs the hook); returns early once aborted.
    void pause(int milliseconds);

    // Makes the calling thread cancellable only inside run()'s calls into the port. A thread
    // that may be ended with QThread::terminate() calls it first: a cancellation anywhere else
    // could land in a destructor, which aborts the process.
    static void restrictCancellationToPortCalls();

private:
    std::atomic<PortObject *> m_port{nullptr};
    std::atomic<bool> m_aborted{false};
    PauseHook m_pauseHook;
    char m_receiveBuffer[ReceiveBufferSize] = {};
};

#endif
