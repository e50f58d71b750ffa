#ifndef SIMULATEDPORT_H
#define SIMULATEDPORT_H

#include "ControllerSimulator.h"
#include "FaultPlan.h"
#include "PortObject.h"
#include "ReplyAssembler.h"

#include <QByteArray>
#include <QList>

#include <condition_variable>
#include <memory>
#include <mutex>

// An in-process port object wired to a ControllerSimulator, for tests and the fault soak.
//
// - write() collects bytes up to LF; each complete frame is one exchange: it runs through the
//   fault plan and the controller model, and the reply bytes become pending input at once (the
//   in-process line has no transit time, so split chunks simply queue up).
// - read(buffer, max) hands over pending bytes up to the LF after the first ETX (one whole
//   reply), at most max. When no whole reply is pending it waits up to the read timeout (0 ms
//   by default) for one, then hands over whatever is pending. Bytes not taken stay pending.
// - A late reply is held back from the read that follows its request; it becomes pending as that
//   read returns, so a later read picks it up unless input is discarded first.
// - setOption(12, 0) discards every pending byte and answers true; any other key or value
//   answers false and changes nothing.
// - retryCount() answers the value set with setRetryCount (3 by default).
// Every operation is thread-safe: the driver calls the port from host threads and from its
// worker thread.
class SimulatedPort : public PortObject
{
public:
    enum class Direction {
        Request,  // a frame written to the controller
        Reply,    // bytes the controller put on the line (after faults), when they arrived
        Discarded // pending bytes thrown away by option 12
    };
    struct TraceEntry
    {
        Direction direction;
        int exchange; // 1-based number of the request the bytes belong to
        QByteArray bytes;
    };

    // With its own controller model (in its default state).
    SimulatedPort();
    // With a controller model shared with others; it must outlive the port. A null pointer gives
    // the port a model of its own.
    explicit SimulatedPort(ControllerSimulator *controller);
    ~SimulatedPort() override;

    int read(char *buffer, int maxLength) override;
    int write(const char *data, int length) override;
    bool setOption(int key, const QVariant &value) override;
    int retryCount() override;

    ControllerSimulator &simulator() const { return *m_controller; }

    void setRetryCount(int count);
    void setReadTimeout(int milliseconds);
    int readTimeout() const;

    // Replaces the fault plan (with its counters); faultPlan() answers a copy with the counters
    // as they stand.
    void setFaultPlan(const FaultPlan &plan);
    FaultPlan faultPlan() const;

    // Puts bytes on the line as if the controller had sent them (noise, a stale reply).
    void injectInput(const QByteArray &bytes);
    int pendingByteCount() const;
    // Frames written so far.
    int exchangeCount() const;

    QList<TraceEntry> trace() const;
    void clearTrace();

private:
    void exchangeLocked(const QByteArray &frame);
    void arriveLocked(int exchange, const QByteArray &bytes);

    std::unique_ptr<ControllerSimulator> m_ownController;
    ControllerSimulator *m_controller;
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    FaultPlan m_plan;
    QByteArray m_written;     // bytes of a frame not yet complete
    ReplyAssembler m_pending; // the line's bytes, cut into replies as a real port cuts them
    struct LateReply
    {
        int exchange;
        QByteArray bytes;
    };
    QList<LateReply> m_late;
    QList<TraceEntry> m_trace;
    int m_exchanges = 0;
    int m_retryCount = 3;
    int m_readTimeout = 0;
};

#endif
