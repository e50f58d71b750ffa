#ifndef PLUGINSESSION_H
#define PLUGINSESSION_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class QEventLoop;

class DeviceService;
class DriverInterface;
class MessageCenter;
class PortObject;
class PortSetup;

// One run of the plugin as the runtime hosts it, shared by every command: publishes the host's
// services on the application object, loads the plugin file and creates a driver through
// CreateDriver, opens the port, serves tag reads and writes with a command record per call,
// runs transfers until the driver announces their end, and unloads.
//
// Every session has a private directory for the plugin's program files and error logs, named to
// the plugin through the application property "dcp30_file_dir": two runs never share a file, and
// a file found there was written by this run. The directory is removed with the session.
//
// Construct, use and destroy it on the main thread: the driver's status slots and the message
// centre run in its event loop.
class PluginSession : public QObject
{
    Q_OBJECT
public:
    // The driver's numbering of its transfers in transferFinished.
    enum class Kind { Read = 0, Write = 1 };

    struct Outcome
    {
        enum Status { NotStarted, Finished, TimedOut, Interrupted };
        Status status = NotStarted;
        bool ok = false;      // Finished with the error flag clear and no message-centre report
        int signalNumber = 0; // Interrupted: SIGINT or SIGTERM; 0 when stop() asked
        QString reason;       // NotStarted: why
    };

    // The driver's nine own tags.
    static const QStringList &ownTags();
    static bool isOwnTag(const QString &address);
    static QString pluginPath();
    static QString linkDriverPath();

    PluginSession();
    ~PluginSession() override;

    PluginSession(const PluginSession &) = delete;
    PluginSession &operator=(const PluginSession &) = delete;

    // Makes the private directory, publishes "zel_env", "MessageCenter", "KDevice" and
    // "dcp30_file_dir", and creates a driver; with needLinkDriver first checks that the link
    // driver file is usable. False with a one-line reason in *error.
    bool load(bool needLinkDriver, QString *error);
    // Opens the port setup describes (after load). False with a one-line reason in *error.
    bool openPort(const PortSetup &setup, QString *error);
    // Deletes the driver, which stops its worker within a tenth of a second.
    void unload();

    DriverInterface *driver() const { return m_driver; }
    PortObject *port() const { return m_port.get(); }
    MessageCenter *messageCenter() const { return m_messageCenter.get(); }
    QString fileDirectory() const { return m_files.path(); }
    // Where the plugin keeps the program file and the error logs of program in this session.
    QString programFile(int program) const;
    QString errorLog(Kind kind, int program) const;

    QByteArray readTag(const QString &address, int dataType = 3, quint64 count = 1) const;
    bool writeTag(const QString &address, const QByteArray &value, int dataType = 3,
                  quint64 count = 1) const;
    // An own tag's byte, or -1 when the driver answered no byte.
    int readByte(const QString &address) const;
    bool writeByte(const QString &address, int value) const;

    // Reads the five range parameters a program write is checked against, as the plugin reads
    // them through its link driver: SP1 lower and upper limit ("RAM4509", two words) and the
    // event types of events 1 to 3 ("RAM3501", "RAM3505", "RAM3509"). False when any read gave
    // no value, with that address in *failed (and a line that echoes requests named on stderr).
    bool readRangeParameters(QList<qint32> &paras, QString *failed) const;

    // Starts a transfer the way an operator screen does (program, segment count and storage
    // tags, then the read or write flag) and runs the event loop until the driver announces the
    // end, timeoutMs pass, SIGINT or SIGTERM arrives or stop() is called; progress gets the
    // progress tag's value as it moves. An interrupted or timed-out transfer is stopped (the driver
    // is unloaded) and the controller's file closed; a second signal meanwhile ends the process at
    // once.
    Outcome runTransfer(Kind kind, int program, int segments, int storage, int timeoutMs,
                        const std::function<void(int)> &progress);

    // Sends the close command of program on the port and waits for the reply, which is ignored:
    // a transfer that failed after its open leaves the controller's file open, and every later
    // open would be refused until it is closed.
    void closeControllerFile(int program);

    // Stops the running transfer as SIGINT would (the outcome is Interrupted with signal 0): the
    // driver is unloaded and the controller's file closed. Call it on the session's thread, from
    // runTransfer's progress callback; a call while no transfer runs does nothing.
    void stop();

private slots:
    void onTransferFinished(int kind, int program, bool ok);

private:
    std::unique_ptr<MessageCenter> m_messageCenter;
    std::unique_ptr<DeviceService> m_deviceService;
    QTemporaryDir m_files;
    DriverInterface *m_driver = nullptr;
    std::unique_ptr<PortObject> m_port;
    QEventLoop *m_loop = nullptr;
    bool m_finished = false;
    bool m_finishedOk = false;
    bool m_stopped = false;
};

#endif
