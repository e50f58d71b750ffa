#ifndef TRACKINGPORT_H
#define TRACKINGPORT_H

#include "PortObject.h"

#include <atomic>

class QThread;

// Hands every call through to the real port and notes which thread made it. The plugin's
// transfer worker runs on a thread of its own that the host never sees; the calls it makes on
// the port reveal it, so the tool can wait for the worker to finish reporting a transfer before
// it reads the error flags.
class TrackingPort : public PortObject
{
public:
    // inner must outlive this object.
    explicit TrackingPort(PortObject *inner);

    int read(char *buffer, int maxLength) override;
    int write(const char *data, int length) override;
    bool setOption(int key, const QVariant &value) override;
    int retryCount() override;

    // Calls from this thread are the host's own and are not noted.
    void setHostThread(QThread *thread);
    // The last thread other than the host's that called the port, or null.
    QThread *lastForeignThread() const;
    int writeCount() const { return m_writes.load(); }

private:
    void note();

    PortObject *m_inner;
    std::atomic<QThread *> m_host{nullptr};
    std::atomic<QThread *> m_foreign{nullptr};
    std::atomic<int> m_writes{0};
};

#endif
