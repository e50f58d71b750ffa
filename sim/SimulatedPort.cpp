#include "SimulatedPort.h"

#include <chrono>

namespace {
// A frame longer than this without LF is line noise, not a request: it is dropped.
const int MaxFrameLength = 4096;
} // namespace

SimulatedPort::SimulatedPort()
    : m_ownController(new ControllerSimulator), m_controller(m_ownController.get())
{
}

SimulatedPort::SimulatedPort(ControllerSimulator *controller) : m_controller(controller)
{
    // A null model would leave the port without a controller: give it one of its own instead.
    if (!m_controller) {
        m_ownController.reset(new ControllerSimulator);
        m_controller = m_ownController.get();
    }
}

SimulatedPort::~SimulatedPort() = default;

int SimulatedPort::read(char *buffer, int maxLength)
{
    if (!buffer || maxLength <= 0)
        return 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_readTimeout);
    m_arrived.wait_until(lock, deadline, [this] { return m_pending.hasWholeReply(); });
    const int n = m_pending.take(buffer, maxLength);
    // This read is over; whatever was held back arrives now, too late for it.
    const QList<LateReply> late = m_late;
    m_late.clear();
    for (const LateReply &reply : late)
        arriveLocked(reply.exchange, reply.bytes);
    return n;
}

int SimulatedPort::write(const char *data, int length)
{
    if (!data || length <= 0)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_written.append(data, length);
    int lf;
    while ((lf = m_written.indexOf('\n')) >= 0) {
        const QByteArray frame = m_written.left(lf + 1);
        m_written.remove(0, lf + 1);
        exchangeLocked(frame);
    }
    if (m_written.size() > MaxFrameLength)
        m_written.clear();
    return length;
}

void SimulatedPort::exchangeLocked(const QByteArray &frame)
{
    ++m_exchanges;
    m_trace.append({Direction::Request, m_exchanges, frame});
    const FaultPlan::Delivery delivery = m_plan.exchange(*m_controller, frame);
    const QByteArray bytes = delivery.bytes();
    if (bytes.isEmpty())
        return;
    if (delivery.late)
        m_late.append({m_exchanges, bytes});
    else
        arriveLocked(m_exchanges, bytes);
}

void SimulatedPort::arriveLocked(int exchange, const QByteArray &bytes)
{
    m_trace.append({Direction::Reply, exchange, bytes});
    m_pending.append(bytes);
    m_arrived.notify_all();
}

bool SimulatedPort::setOption(int key, const QVariant &value)
{
    bool isInt = false;
    const int number = value.toInt(&isInt);
    if (key != OptionDiscardInput || !isInt || number != 0)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pending.pendingSize() > 0) {
        m_trace.append({Direction::Discarded, m_exchanges, m_pending.pending()});
        m_pending.clear();
    }
    return true;
}

int SimulatedPort::retryCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_retryCount;
}

void SimulatedPort::setRetryCount(int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_retryCount = count;
}

void SimulatedPort::setReadTimeout(int milliseconds)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_readTimeout = qMax(0, milliseconds);
}

int SimulatedPort::readTimeout() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_readTimeout;
}

void SimulatedPort::setFaultPlan(const FaultPlan &plan)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_plan = plan;
}

FaultPlan SimulatedPort::faultPlan() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_plan;
}

void SimulatedPort::injectInput(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    arriveLocked(m_exchanges, bytes);
}

int SimulatedPort::pendingByteCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending.pendingSize();
}

int SimulatedPort::exchangeCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_exchanges;
}

QList<SimulatedPort::TraceEntry> SimulatedPort::trace() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A deep copy: the caller's thread then shares no container data with the port's writers.
    QList<TraceEntry> copy;
    copy.reserve(m_trace.size());
    for (const TraceEntry &entry : m_trace)
        copy.append({entry.direction, entry.exchange,
                     QByteArray(entry.bytes.constData(), entry.bytes.size())});
    return copy;
}

void SimulatedPort::clearTrace()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trace.clear();
}
