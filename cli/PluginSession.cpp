#include "PluginSession.h"

#include "ByteOrder.h"
#include "Commands.h"
#include "CommunicatorCommand.h"
#include "DeviceService.h"
#include "DriverInterface.h"
#include "LineEcho.h"
#include "MessageCenter.h"
#include "PortObject.h"
#include "PortSetup.h"
#include "SignalWatcher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QLibrary>
#include <QThread>
#include <QTimer>

namespace {

// How often the progress tag is read for the progress bar, like a screen refreshing.
const int ProgressIntervalMs = 50;
// The close command's pause before its reply is read, as the plugin waits for it.
const int ClosePauseMs = 300;
const int CloseReplyLimit = 16;

// The host publishes its service objects as application properties holding their address.
QVariant addressOf(QObject *object)
{
    return QVariant::fromValue<quint64>(quint64(reinterpret_cast<quintptr>(object)));
}

void publish(const char *name, const QVariant &value)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->setProperty(name, value);
}

} // namespace

const QStringList &PluginSession::ownTags()
{
    static const QStringList tags = {QStringLiteral("SegCnt0"),
                                     QStringLiteral("ReadProgress0"),
                                     QStringLiteral("WriteProgress0"),
                                     QStringLiteral("ProgramID0"),
                                     QStringLiteral("StorageType0"),
                                     QStringLiteral("RF0"),
                                     QStringLiteral("WF0"),
                                     QStringLiteral("WE0"),
                                     QStringLiteral("RE0")};
    return tags;
}

bool PluginSession::isOwnTag(const QString &address)
{
    return ownTags().contains(address);
}

QString PluginSession::pluginPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libdcp30.so");
}

QString PluginSession::linkDriverPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/drivers/libvorex.so");
}

PluginSession::PluginSession()
    : m_messageCenter(new MessageCenter), m_deviceService(new DeviceService),
      m_files(QDir::tempPath() + QStringLiteral("/dcp30-XXXXXX"))
{
}

PluginSession::~PluginSession()
{
    unload();
    m_port.reset();
    for (const char *name : {"MessageCenter", "KDevice", "dcp30_file_dir"})
        publish(name, QVariant());
}

bool PluginSession::load(bool needLinkDriver, QString *error)
{
    if (!m_files.isValid()) {
        *error = QStringLiteral("cannot make a private directory in %1: %2")
                     .arg(QDir::tempPath(), m_files.errorString());
        return false;
    }
    publish("zel_env", QStringLiteral("dcp30"));
    publish("MessageCenter", addressOf(m_messageCenter.get()));
    publish("KDevice", addressOf(m_deviceService.get()));
    publish("dcp30_file_dir", m_files.path());

    if (needLinkDriver) {
        QLibrary link(linkDriverPath());
        if (!link.resolve("CreateDriver")) {
            *error = QStringLiteral("the link driver cannot be loaded: %1").arg(link.errorString());
            return false;
        }
    }
    // The library stays loaded for the life of the process, like the runtime keeps its plugins.
    QLibrary library(pluginPath());
    auto create = reinterpret_cast<CreateDriverFunction>(library.resolve("CreateDriver"));
    if (!create) {
        *error = QStringLiteral("the plugin cannot be loaded: %1").arg(library.errorString());
        return false;
    }
    m_driver = create();
    if (!m_driver) {
        *error = QStringLiteral("the plugin's CreateDriver made no driver");
        return false;
    }
    return true;
}

bool PluginSession::openPort(const PortSetup &setup, QString *error)
{
    m_port = setup.open(m_driver->getDefaultCommText(), error);
    return m_port != nullptr;
}

void PluginSession::unload()
{
    delete m_driver;
    m_driver = nullptr;
}

QString PluginSession::programFile(int program) const
{
    return m_files.filePath(QStringLiteral("PROG_%1.txt").arg(program));
}

QString PluginSession::errorLog(Kind kind, int program) const
{
    const QString name = kind == Kind::Read ? QStringLiteral("READ") : QStringLiteral("WRITE");
    return m_files.filePath(QStringLiteral("%1_PROG_%2_ERROR.txt").arg(name).arg(program));
}

QByteArray PluginSession::readTag(const QString &address, int dataType, quint64 count) const
{
    CommunicatorCommand command;
    command.address = address;
    command.dataType = dataType;
    command.count = count;
    return m_driver->readTag(m_port.get(), &command);
}

bool PluginSession::writeTag(const QString &address, const QByteArray &value, int dataType,
                             quint64 count) const
{
    CommunicatorCommand command;
    command.address = address;
    command.dataType = dataType;
    command.count = count;
    QByteArray bytes = value;
    return m_driver->writeTag(m_port.get(), &command, bytes);
}

int PluginSession::readByte(const QString &address) const
{
    const QByteArray value = readTag(address, 1, 1);
    return value.isEmpty() ? -1 : int(quint8(value.at(0)));
}

bool PluginSession::writeByte(const QString &address, int value) const
{
    return writeTag(address, QByteArray(1, char(value)), 1, 1);
}

bool PluginSession::readRangeParameters(QList<qint32> &paras, QString *failed) const
{
    paras.clear();
    const QByteArray spLimits = readTag(QStringLiteral("RAM4509"), 3, 2);
    if (spLimits.size() != 8) {
        *failed = QStringLiteral("RAM4509");
        LineEcho::report(m_port.get());
        return false;
    }
    paras << DriverTools::toInt32LE(spLimits.left(4)) << DriverTools::toInt32LE(spLimits.mid(4, 4));
    for (const char *address : {"RAM3501", "RAM3505", "RAM3509"}) {
        const QByteArray value = readTag(QLatin1String(address), 3, 1);
        if (value.size() != 4) {
            *failed = QLatin1String(address);
            LineEcho::report(m_port.get());
            return false;
        }
        paras << DriverTools::toInt32LE(value);
    }
    return true;
}

PluginSession::Outcome PluginSession::runTransfer(Kind kind, int program, int segments, int storage,
                                                  int timeoutMs,
                                                  const std::function<void(int)> &progress)
{
    const bool reading = kind == Kind::Read;
    const QString flagTag = reading ? QStringLiteral("RF0") : QStringLiteral("WF0");
    const QString progressTag =
        reading ? QStringLiteral("ReadProgress0") : QStringLiteral("WriteProgress0");
    Outcome outcome;
    writeByte(QStringLiteral("ProgramID0"), program);
    writeByte(QStringLiteral("SegCnt0"), segments);
    writeByte(QStringLiteral("StorageType0"), storage);
    if (readByte(QStringLiteral("ProgramID0")) != program ||
        readByte(QStringLiteral("SegCnt0")) != segments) {
        outcome.reason = QStringLiteral("the plugin did not take program %1 with %2 segments")
                             .arg(program)
                             .arg(segments);
        return outcome;
    }

    QEventLoop loop;
    m_loop = &loop;
    m_finished = false;
    m_stopped = false;
    // Connected by name: the driver announces the end of every transfer, after its status block
    // holds the final flags. Watched from before the start, though the announcement can only
    // arrive once the loop runs.
    connect(m_driver->getObject(), SIGNAL(transferFinished(int, int, bool)), this,
            SLOT(onTransferFinished(int, int, bool)), Qt::UniqueConnection);
    SignalWatcher interrupts;
    connect(&interrupts, &SignalWatcher::signalled, &loop, [&](int signalNumber) {
        outcome.signalNumber = signalNumber;
        loop.quit();
    });
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        const int value = readByte(progressTag);
        if (value >= 0 && progress)
            progress(value);
    });
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);

    writeByte(flagTag, 1);
    if (readByte(flagTag) != 1) {
        m_loop = nullptr;
        outcome.reason = QStringLiteral("the plugin did not start the %1")
                             .arg(reading ? QStringLiteral("read") : QStringLiteral("write"));
        return outcome;
    }
    if (progress)
        progress(0);
    poll.start(ProgressIntervalMs);
    limit.start(timeoutMs);
    if (!m_finished && outcome.signalNumber == 0 && !m_stopped)
        loop.exec();
    m_loop = nullptr;
    poll.stop();

    if (m_finished) {
        outcome.status = Outcome::Finished;
        outcome.ok = m_finishedOk && m_messageCenter->reportCount() == 0;
        if (outcome.ok && progress)
            progress(100);
        return outcome;
    }
    outcome.status =
        outcome.signalNumber != 0 || m_stopped ? Outcome::Interrupted : Outcome::TimedOut;
    // The worker gives up at its next pause once its driver goes; the file it may have opened
    // is then closed here, so the controller takes the next transfer.
    unload();
    closeControllerFile(program);
    return outcome;
}

void PluginSession::onTransferFinished(int kind, int program, bool ok)
{
    Q_UNUSED(kind);
    Q_UNUSED(program);
    m_finished = true;
    m_finishedOk = ok;
    if (m_loop)
        m_loop->quit();
}

void PluginSession::stop()
{
    if (!m_loop)
        return;
    m_stopped = true;
    m_loop->quit();
}

void PluginSession::closeControllerFile(int program)
{
    if (!m_port)
        return;
    const QByteArray frame = Commands::close(program);
    m_port->setOption(PortObject::OptionDiscardInput, 0);
    if (m_port->write(frame.constData(), frame.size()) != frame.size())
        return;
    QThread::msleep(ClosePauseMs);
    char reply[CloseReplyLimit + 1] = {};
    m_port->read(reply, CloseReplyLimit);
}
