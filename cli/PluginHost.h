#ifndef PLUGINHOST_H
#define PLUGINHOST_H

#include <QByteArray>
#include <QString>
#include <QStringList>

class DeviceService;
class DriverInterface;
class MessageCenter;
class PortObject;

// Loads the plugin the way the runtime does and gives the commands a host's view of it: the
// application properties and the host objects they point to, the driver made by CreateDriver,
// and tag reads and writes with a command record per call.
//
// Construct, load and unload it on the main thread: the driver's status slots run in the event
// loop of the thread that created it. The tag calls may come from any thread.
class PluginHost
{
public:
    // The driver's nine own tags.
    static const QStringList &ownTags();
    static bool isOwnTag(const QString &address);

    PluginHost();
    ~PluginHost();

    PluginHost(const PluginHost &) = delete;
    PluginHost &operator=(const PluginHost &) = delete;

    // Publishes "zel_env", "MessageCenter" and "KDevice" on the application object, then loads
    // the plugin file from the application directory and creates a driver. With needLinkDriver,
    // first checks that the link driver file the plugin loads is there and usable. False with a
    // one-line reason in *error.
    bool load(bool needLinkDriver, QString *error);
    // Deletes the driver (which stops its worker); the plugin file stays loaded.
    void unload();

    DriverInterface *driver() const { return m_driver; }
    MessageCenter *messageCenter() const { return m_messageCenter; }

    static QString pluginPath();
    static QString linkDriverPath();

    QByteArray readTag(PortObject *port, const QString &address, int dataType = 3,
                       quint64 count = 1) const;
    bool writeTag(PortObject *port, const QString &address, const QByteArray &value,
                  int dataType = 3, quint64 count = 1) const;
    // An own tag's byte, or -1 when the driver answered no byte.
    int readByte(PortObject *port, const QString &address) const;
    bool writeByte(PortObject *port, const QString &address, int value) const;

private:
    MessageCenter *m_messageCenter;
    DeviceService *m_deviceService;
    DriverInterface *m_driver = nullptr;
};

#endif
