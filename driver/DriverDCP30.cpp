#include "DriverDCP30.h"

#include "ByteOrder.h"
#include "CommSettings.h"
#include "CommunicatorCommand.h"
#include "DriverLogging.h"
#include "FileAccessor.h"
#include "ProtocolSettings.h"
#include "RecordGeometry.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLibrary>
#include <QThread>

#include <utility>

namespace {

const quint8 MaxProgramId = RecordGeometry::MaxProgram;
const quint8 MaxSegmentCount = RecordGeometry::MaxSegment;
const int ErrorHoldReads = 100;
// Destroying the driver returns within StopBudgetMs, whatever the worker is doing; of that, the
// worker gets CooperativeStopMs to give up by itself.
const int StopBudgetMs = 90;
const int CooperativeStopMs = 70;

const QString &versionText()
{
    static const QString version = QStringLiteral("1.0.0");
    return version;
}

// The value of a tag write: the first byte as a signed 8-bit number, 0 when there is none.
int tagValue(const QByteArray &value)
{
    return value.isEmpty() ? 0 : static_cast<int>(static_cast<qint8>(value.at(0)));
}

quint8 clampTo(int value, quint8 high)
{
    if (value <= 0)
        return 1;
    if (value > high)
        return high;
    return static_cast<quint8>(value);
}

QByteArray oneByte(quint8 value)
{
    return QByteArray(1, static_cast<char>(value));
}

} // namespace

DriverDCP30::DriverDCP30() : QObject(nullptr)
{
    const QCoreApplication *app = QCoreApplication::instance();
    if (!app || !app->property("zel_env").isValid()) {
        qCDebug(lcDriver) << "no \"zel_env\" property: bare driver without worker";
        return;
    }

    // The library stays loaded for the life of the process; the objects it made are deleted
    // through their virtual destructors.
    QLibrary library(QCoreApplication::applicationDirPath() + QStringLiteral("/drivers/vorex"));
    if (auto create = reinterpret_cast<CreateDriverFunction>(library.resolve("CreateDriver")))
        m_linkDriver = create();
    else
        qCDebug(lcDriver) << "link driver not available:" << library.errorString();

    m_workerThread = new QThread;
    m_worker = new FileAccessor(nullptr);
    m_worker->moveToThread(m_workerThread);

    static const int listType = qRegisterMetaType<QList<int>>("QList<int>");
    Q_UNUSED(listType);
    connect(this, &DriverDCP30::readProgramFileProcess, m_worker,
            &FileAccessor::readProgramFileProcess);
    connect(this, &DriverDCP30::writeProgramFileProcess, m_worker,
            &FileAccessor::writeProgramFileProcess);
    connect(m_worker, &FileAccessor::setRF, this, &DriverDCP30::setRF);
    connect(m_worker, &FileAccessor::setWF, this, &DriverDCP30::setWF);
    connect(m_worker, &FileAccessor::setWE, this, &DriverDCP30::setWE);
    connect(m_worker, &FileAccessor::setRE, this, &DriverDCP30::setRE);
    connect(m_worker, &FileAccessor::setErrorInstantMessage, this,
            &DriverDCP30::setErrorInstantMessage);
    connect(m_worker, &FileAccessor::setReadProgress, this, &DriverDCP30::setReadProgress);
    connect(m_worker, &FileAccessor::setWriteProgress, this, &DriverDCP30::setWriteProgress);
    // Queued behind the status reports of the same transfer, so the flags are final by then.
    connect(m_worker, &FileAccessor::transferEnded, this, &DriverDCP30::transferFinished);

    m_workerThread->start(QThread::InheritPriority);
    // The first thing the thread does: it becomes uncancellable except inside the worker's port
    // calls (see releaseWorker).
    QMetaObject::invokeMethod(
        m_worker, [] { LineExchange::restrictCancellationToPortCalls(); }, Qt::QueuedConnection);
}

DriverDCP30::~DriverDCP30()
{
    delete m_linkDriver;
    m_linkDriver = nullptr;
    releaseWorker();
}

// Ends the worker thread within StopBudgetMs. The worker is told to give up at its next pause,
// step or return from the port, which takes a few milliseconds in nearly every case. A worker
// still busy after CooperativeStopMs is ended with QThread::terminate(). The thread can be
// cancelled only while it is inside a port call: a read waiting for a reply is cancelled at once,
// its stack unwinds (Qt notes that as an exception through its event loop, and GLib's dispatcher
// may complain), and the thread finishes. A worker busy elsewhere (a slow disk) finishes its step
// and stops by itself, just after the budget.
//
// Nothing the ended thread may have held is deleted under it. The worker takes no lock of its
// own (its pauses are plain sleeps), and it is deleted on its own thread once no slot of it runs
// any more (in the event loop, or in the thread's finish after a cancellation); the thread object
// is deleted from its finished signal. Should the thread not end within the budget (a port read
// that spins without entering the kernel, a slow disk), both go when it does. The port belongs to
// the host: a read cancelled inside it leaves the port as its owner's unwinding made it.
void DriverDCP30::releaseWorker()
{
    if (!m_workerThread)
        return;
    const QDeadlineTimer budget(StopBudgetMs);
    QThread *thread = std::exchange(m_workerThread, nullptr);
    FileAccessor *worker = std::exchange(m_worker, nullptr);
    worker->abortTransfers();
    worker->deleteLater();
    connect(thread, &QThread::finished, thread, &QObject::deleteLater, Qt::DirectConnection);
    thread->quit();
    if (thread->wait(QDeadlineTimer(CooperativeStopMs)))
        return;
    qCWarning(lcDriver) << "worker still busy after" << CooperativeStopMs
                        << "ms: ending its thread";
    thread->terminate();
    if (!thread->wait(budget))
        qCWarning(lcDriver) << "worker thread not ended yet: it and the worker go when it ends";
}

void DriverDCP30::replaceLinkDriver(DriverInterface *linkDriver)
{
    if (linkDriver == m_linkDriver)
        return;
    delete m_linkDriver;
    m_linkDriver = linkDriver;
}

int DriverDCP30::queryValue1()
{
    return 65535;
}

int DriverDCP30::queryFlag4()
{
    return 1;
}

int DriverDCP30::queryFlag5()
{
    return 1;
}

QString DriverDCP30::getDeviceName()
{
    return QStringLiteral("DCP30");
}

QString DriverDCP30::getVendorName()
{
    return QStringLiteral("Yamatake");
}

QString DriverDCP30::getVersion()
{
    return versionText();
}

CommSettings *DriverDCP30::createDefaultCommSettings()
{
    return new CommSettings(64, QStringLiteral("COM1"), 9600, 8, 0, 2);
}

ProtocolSettings *DriverDCP30::createDefaultProtocolSettings()
{
    return new ProtocolSettings(500, 3, 1, 0);
}

QString DriverDCP30::getDefaultCommText()
{
    return QStringLiteral("RS485,9600,EVEN,8,1");
}

int DriverDCP30::queryValue12()
{
    return 64;
}

void DriverDCP30::setFlag13(bool on)
{
    m_optionFlag.store(on, std::memory_order_relaxed);
}

int DriverDCP30::queryValue14()
{
    return 0;
}

int DriverDCP30::queryValue15()
{
    return 0;
}

bool DriverDCP30::hasError()
{
    return m_error.load(std::memory_order_relaxed);
}

QString DriverDCP30::getErrorMessage()
{
    QMutexLocker locker(&m_errorMessageLock);
    return m_errorMessage;
}

QObject *DriverDCP30::getObject()
{
    return this;
}

// ---------------------------------------------------------------------------------------------
// Status slots

void DriverDCP30::delayClearError()
{
    m_error.store(false, std::memory_order_relaxed);
}

void DriverDCP30::setErrorInstantMessage(QString message)
{
    {
        QMutexLocker locker(&m_errorMessageLock);
        m_errorMessage = message;
    }
    m_errorHold.store(ErrorHoldReads, std::memory_order_relaxed);
    m_error.store(true, std::memory_order_relaxed);
}

void DriverDCP30::setRF(bool on)
{
    m_rf.store(on, std::memory_order_relaxed);
    if (!on)
        m_readProgress.store(0, std::memory_order_relaxed);
}

void DriverDCP30::setWF(bool on)
{
    m_wf.store(on, std::memory_order_relaxed);
    if (!on)
        m_writeProgress.store(0, std::memory_order_relaxed);
}

void DriverDCP30::setWE(bool on)
{
    m_we.store(on, std::memory_order_relaxed);
}

void DriverDCP30::setRE(bool on)
{
    m_re.store(on, std::memory_order_relaxed);
}

void DriverDCP30::setReadProgress(quint8 progress)
{
    m_readProgress.store(progress, std::memory_order_relaxed);
}

void DriverDCP30::setWriteProgress(quint8 progress)
{
    m_writeProgress.store(progress, std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------------------------
// Tags

void DriverDCP30::handOverPort(PortObject *port)
{
    if (m_worker)
        m_worker->setPort(port);
}

QByteArray DriverDCP30::readTag(PortObject *port, CommunicatorCommand *command)
{
    // Error hold: a raised error flag drops on the 100th read after the message arrived.
    if (m_error.load(std::memory_order_relaxed)) {
        int left = m_errorHold.load(std::memory_order_relaxed);
        while (left > 0 && !m_errorHold.compare_exchange_weak(left, left - 1))
            ;
        if (left == 1)
            m_error.store(false, std::memory_order_relaxed);
    }

    handOverPort(port);
    if (!command)
        return QByteArray();

    const QString &address = command->address;
    if (address == QLatin1String("SegCnt0"))
        return oneByte(m_segCnt.load(std::memory_order_relaxed));
    if (address == QLatin1String("ReadProgress0"))
        return oneByte(m_readProgress.load(std::memory_order_relaxed));
    if (address == QLatin1String("WriteProgress0"))
        return oneByte(m_writeProgress.load(std::memory_order_relaxed));
    if (address == QLatin1String("ProgramID0"))
        return oneByte(m_programId.load(std::memory_order_relaxed));
    if (address == QLatin1String("StorageType0"))
        return oneByte(m_storageType.load(std::memory_order_relaxed));
    if (address == QLatin1String("RF0"))
        return oneByte(m_rf.load(std::memory_order_relaxed) ? 1 : 0);
    if (address == QLatin1String("WF0"))
        return oneByte(m_wf.load(std::memory_order_relaxed) ? 1 : 0);
    if (address == QLatin1String("WE0"))
        return oneByte(m_we.load(std::memory_order_relaxed) ? 1 : 0);
    if (address == QLatin1String("RE0"))
        return oneByte(m_re.load(std::memory_order_relaxed) ? 1 : 0);

    // While a transfer runs the worker alone uses the port.
    std::lock_guard<std::mutex> line(m_lineLock);
    if (m_rf.load(std::memory_order_relaxed) || m_wf.load(std::memory_order_relaxed))
        return QByteArray();
    if (!m_linkDriver)
        return QByteArray();
    return m_linkDriver->readTag(port, command);
}

bool DriverDCP30::writeTag(PortObject *port, CommunicatorCommand *command, QByteArray &value)
{
    handOverPort(port);
    if (!command)
        return false;

    const QString &address = command->address;
    const int v = tagValue(value);
    if (address == QLatin1String("SegCnt0")) {
        m_segCnt.store(clampTo(v, MaxSegmentCount), std::memory_order_relaxed);
        return true;
    }
    if (address == QLatin1String("ProgramID0")) {
        m_programId.store(clampTo(v, MaxProgramId), std::memory_order_relaxed);
        return true;
    }
    if (address == QLatin1String("StorageType0")) {
        m_storageType.store(v > 0 ? 1 : 0, std::memory_order_relaxed);
        return true;
    }
    if (address == QLatin1String("RF0") || address == QLatin1String("WF0")) {
        if (v > 0)
            startTransfer(address == QLatin1String("RF0"), port);
        return true;
    }
    if (address == QLatin1String("WE0")) {
        if ((v & 1) == 0)
            m_we.store(false, std::memory_order_relaxed);
        return true;
    }
    if (address == QLatin1String("RE0")) {
        if ((v & 1) == 0)
            m_re.store(false, std::memory_order_relaxed);
        return true;
    }

    std::lock_guard<std::mutex> line(m_lineLock);
    if (m_rf.load(std::memory_order_relaxed) || m_wf.load(std::memory_order_relaxed))
        return false;
    // The link driver's own answer is not passed on (the host treats delegated writes alike).
    if (m_linkDriver)
        m_linkDriver->writeTag(port, command, value);
    return false;
}

// Starts a program read or write when neither runs and the numbers are in range; otherwise does
// nothing. The range parameters of a write are read on the calling thread with port, the port of
// the tag write that asked for it.
void DriverDCP30::startTransfer(bool read, PortObject *port)
{
    // A write needs the controller's range parameters; without a link driver they cannot be
    // read, and validating a program against made-up ranges could pass wrong values.
    if (!read && !m_linkDriver) {
        qCWarning(lcDriver) << "program write refused: no link driver to read the ranges";
        return;
    }
    const int programId = m_programId.load(std::memory_order_relaxed);
    const int segCnt = m_segCnt.load(std::memory_order_relaxed);
    const int storageType = m_storageType.load(std::memory_order_relaxed);
    if (programId < 1 || programId > MaxProgramId || segCnt < 1 || segCnt > MaxSegmentCount)
        return;
    QList<int> paras;
    {
        std::lock_guard<std::mutex> line(m_lineLock);
        if (m_rf.load(std::memory_order_relaxed) || m_wf.load(std::memory_order_relaxed))
            return;
        (read ? m_rf : m_wf).store(true, std::memory_order_relaxed);
        if (!read)
            paras = readRangeParameters(port);
    }
    if (read)
        emit readProgramFileProcess(programId, segCnt, storageType);
    else
        emit writeProgramFileProcess(paras, programId, segCnt, storageType);
}

// Reads SP1 low and high limit ("RAM4509", two values) and the event types of events 1 to 3
// through the link driver, on the calling thread. Whatever comes back becomes the parameters.
QList<int> DriverDCP30::readRangeParameters(PortObject *port)
{
    CommunicatorCommand command;
    command.dataType = 3;
    command.address = QStringLiteral("RAM4509");
    command.count = 2;
    const QByteArray limits = m_linkDriver->readTag(port, &command);

    QList<int> paras;
    paras << DriverTools::toInt32LE(limits.left(4)) << DriverTools::toInt32LE(limits.mid(4, 4));
    for (const char *address : {"RAM3501", "RAM3505", "RAM3509"}) {
        command.address = QLatin1String(address);
        command.count = 1;
        paras << DriverTools::toInt32LE(m_linkDriver->readTag(port, &command).left(4));
    }
    return paras;
}
