#include "IdleProbe.h"

#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#if defined(__SANITIZE_THREAD__)
#define DCP30_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define DCP30_TSAN 1
#endif
#endif

#ifdef DCP30_TSAN
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#endif

namespace {

struct Arrivals
{
    std::mutex lock;
    std::condition_variable arrived;
    std::set<quint64> numbers;
    quint64 next = 0;
};

Arrivals &arrivals()
{
    static Arrivals state;
    return state;
}

#ifdef DCP30_TSAN
// The sanitizer's mark for the probe's trip through the event queue.
char handOff;
#endif

void releaseHandOff()
{
#ifdef DCP30_TSAN
    __tsan_release(&handOff);
#endif
}

void acquireHandOff()
{
#ifdef DCP30_TSAN
    __tsan_acquire(&handOff);
#endif
}

} // namespace

IdleProbe::IdleProbe(quint64 number) : m_number(number) {}

void IdleProbe::reached()
{
    acquireHandOff();
    Arrivals &state = arrivals();
    {
        std::lock_guard<std::mutex> guard(state.lock);
        state.numbers.insert(m_number.load());
    }
    state.arrived.notify_all();
    deleteLater();
}

bool IdleProbe::waitUntilIdle(QThread *thread, int timeoutMs)
{
    if (!thread || thread == QThread::currentThread())
        return true;
    Arrivals &state = arrivals();
    quint64 number;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        number = ++state.next;
    }
    auto *probe = new IdleProbe(number);
    probe->moveToThread(thread);
    releaseHandOff();
    QMetaObject::invokeMethod(probe, "reached", Qt::QueuedConnection);

    std::unique_lock<std::mutex> guard(state.lock);
    const bool reached = state.arrived.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                                [&] { return state.numbers.count(number) != 0; });
    // A probe that arrives after the wait gave up leaves its number behind; numbers are never
    // reused, so it cannot answer a later wait.
    state.numbers.erase(number);
    return reached;
}
