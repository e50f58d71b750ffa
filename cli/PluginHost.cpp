#include "PluginHost.h"

#include "CommunicatorCommand.h"
#include "DeviceService.h"
#include "DriverInterface.h"
#include "MessageCenter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

namespace {

// The host publishes its service objects as application properties holding their address.
QVariant addressOf(QObject *object)
{
    return QVariant::fromValue<quint64>(quint64(reinterpret_cast<quintptr>(object)));
}

} // namespace

const QStringList &PluginHost::ownTags()
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

bool PluginHost::isOwnTag(const QString &address)
{
    return ownTags().contains(address);
}

PluginHost::PluginHost() : m_messageCenter(new MessageCenter), m_deviceService(new DeviceService) {}

PluginHost::~PluginHost()
{
    unload();
    QCoreApplication *app = QCoreApplication::instance();
    if (app) {
        app->setProperty("MessageCenter", QVariant());
        app->setProperty("KDevice", QVariant());
    }
    delete m_messageCenter;
    delete m_deviceService;
}

QString PluginHost::pluginPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libdcp30.so");
}

QString PluginHost::linkDriverPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/drivers/libvorex.so");
}

bool PluginHost::load(bool needLinkDriver, QString *error)
{
    QCoreApplication *app = QCoreApplication::instance();
    app->setProperty("zel_env", QStringLiteral("dcp30"));
    app->setProperty("MessageCenter", addressOf(m_messageCenter));
    app->setProperty("KDevice", addressOf(m_deviceService));

    if (needLinkDriver) {
        QLibrary link(linkDriverPath());
        if (!link.resolve("CreateDriver")) {
            if (error)
                *error =
                    QStringLiteral("the link driver cannot be loaded: %1").arg(link.errorString());
            return false;
        }
    }

    // The library stays loaded for the life of the process, like the runtime keeps its plugins.
    QLibrary library(pluginPath());
    auto create = reinterpret_cast<CreateDriverFunction>(library.resolve("CreateDriver"));
    if (!create) {
        if (error)
            *error = QStringLiteral("the plugin cannot be loaded: %1").arg(library.errorString());
        return false;
    }
    m_driver = create();
    if (!m_driver) {
        if (error)
            *error = QStringLiteral("the plugin's CreateDriver made no driver");
        return false;
    }
    return true;
}

void PluginHost::unload()
{
    delete m_driver;
    m_driver = nullptr;
}

QByteArray PluginHost::readTag(PortObject *port, const QString &address, int dataType,
                               quint64 count) const
{
    CommunicatorCommand command;
    command.address = address;
    command.dataType = dataType;
    command.count = count;
    return m_driver->readTag(port, &command);
}

bool PluginHost::writeTag(PortObject *port, const QString &address, const QByteArray &value,
                          int dataType, quint64 count) const
{
    CommunicatorCommand command;
    command.address = address;
    command.dataType = dataType;
    command.count = count;
    QByteArray bytes = value;
    return m_driver->writeTag(port, &command, bytes);
}

int PluginHost::readByte(PortObject *port, const QString &address) const
{
    const QByteArray value = readTag(port, address, 1, 1);
    return value.isEmpty() ? -1 : int(quint8(value.at(0)));
}

bool PluginHost::writeByte(PortObject *port, const QString &address, int value) const
{
    return writeTag(port, address, QByteArray(1, char(value)), 1, 1);
}
