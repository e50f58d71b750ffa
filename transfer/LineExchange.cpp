#include "LineExchange.h"

#include "EndCode.h"
#include "Frame.h"
#include "PortObject.h"
#include "TransferLogging.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cstring>

#include <pthread.h>

namespace {

// A pause is slept in slices this long, each followed by a look at the abort flag.
const int PauseSliceMs = 2;

// A port call, during which the thread may be cancelled. QThread::terminate() cancels a thread
// at its next cancellation point, such as the waits inside a port's read; one reached inside a
// destructor aborts the whole process. So a thread that may be terminated is kept uncancellable,
// and only a call into the port, where a stuck transfer is worth ending, lets a cancellation in
// (also one that is already pending). Afterwards the thread's previous state is back.
template <typename Call> auto cancellable(Call call)
{
    struct Section
    {
        Section()
        {
            pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, &previous);
            pthread_testcancel();
        }
        ~Section() { pthread_setcancelstate(previous, nullptr); }
        int previous = PTHREAD_CANCEL_ENABLE;
    } section;
    return call();
}

} // namespace

void LineExchange::restrictCancellationToPortCalls()
{
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
}

void LineExchange::setPort(PortObject *port)
{
    m_port.store(port, std::memory_order_release);
}

int LineExchange::retryCount() const
{
    PortObject *p = port();
    return p ? p->retryCount() : 0;
}

// Plain sleeps in short slices rather than a wait on a condition: shutting the driver down never
// waits a pause out, and a thread ended in the middle of a pause holds no lock of the worker's.
void LineExchange::pause(int milliseconds)
{
    if (m_pauseHook) {
        m_pauseHook(milliseconds);
        return;
    }
    const QDeadlineTimer deadline(milliseconds);
    while (!isAborted()) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            break;
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(left, PauseSliceMs)));
    }
}

LineExchange::Result LineExchange::run(const QByteArray &frame, int pauseMs, int readLimit,
                                       QString &reply)
{
    reply.clear();
    if (isAborted())
        return Result::Aborted;
    // Taken once, so a port handed over by a host thread meanwhile serves the next exchange.
    PortObject *p = port();
    if (!p) {
        qCWarning(lcTransfer) << "no port object to send on";
        return Result::SendFailed;
    }
    cancellable([p] { return p->setOption(PortObject::OptionDiscardInput, 0); });
    qCDebug(lcTransferLowLevel) << "send" << frame.toHex(' ');
    if (cancellable([p, &frame] { return p->write(frame.constData(), frame.size()); }) !=
        frame.size())
        return Result::SendFailed;

    std::memset(m_receiveBuffer, 0, sizeof m_receiveBuffer);
    pause(pauseMs);
    if (isAborted())
        return Result::Aborted;
    // The read limits stay below the buffer size, so the text is always zero-terminated.
    const int limit = qMin(readLimit, ReceiveBufferSize - 1);
    cancellable([this, p, limit] { return p->read(m_receiveBuffer, limit); });
    reply = QString::fromLatin1(m_receiveBuffer);
    qCDebug(lcTransferLowLevel) << "received" << reply.toLatin1().toHex(' ');

    if (!Frame::hasReplyHeader(reply))
        return Result::ReplyFailed;
    return EndCode::isSuccess(Frame::endCodeOf(reply)) ? Result::Done : Result::Refused;
}
