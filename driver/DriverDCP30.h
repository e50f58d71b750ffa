#ifndef DRIVERDCP30_H
#define DRIVERDCP30_H

#include "DriverInterface.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>

class FileAccessor;
class QThread;

// The driver object the host talks to. It serves nine tags of its own from the status block,
// passes every other tag to the link driver, and starts program reads and writes on its
// transfer worker, which reports back through the status slots.
//
// Threads: the host calls readTag/writeTag from its own threads; the status slots run in the
// event loop of the thread that constructed the driver; transfers run on the worker's thread.
// The status block fields are atomics, the error text is guarded by a mutex. Destroying the driver
// returns within 100 ms, also in the middle of a transfer: the worker is asked to give up and, if
// it is still busy after 70 ms, its thread is terminated.
class DriverDCP30 : public QObject, public DriverInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DriverInterface_iid)
    Q_INTERFACES(DriverInterface)

public:
    DriverDCP30();
    ~DriverDCP30() override;

    int queryValue1() override;
    bool writeTag(PortObject *port, CommunicatorCommand *command, QByteArray &value) override;
    QByteArray readTag(PortObject *port, CommunicatorCommand *command) override;
    int queryFlag4() override;
    int queryFlag5() override;
    QString getDeviceName() override;
    QString getVendorName() override;
    QString getVersion() override;
    CommSettings *createDefaultCommSettings() override;
    ProtocolSettings *createDefaultProtocolSettings() override;
    QString getDefaultCommText() override;
    int queryValue12() override;
    void setFlag13(bool on) override;
    int queryValue14() override;
    int queryValue15() override;
    bool hasError() override;
    QString getErrorMessage() override;
    QObject *getObject() override;

    // Test and tool access to the parts the driver owns (null in the bare set-up).
    FileAccessor *worker() const { return m_worker; }
    QThread *workerThread() const { return m_workerThread; }
    DriverInterface *linkDriver() const { return m_linkDriver; }
    // Replaces the link driver (the driver takes ownership; the previous one is deleted).
    // Tools and tests use it to put a link driver of their own behind the driver.
    void replaceLinkDriver(DriverInterface *linkDriver);

signals:
    void readProgramFileProcess(int progID, int segmentCnt, int storageType);
    void writeProgramFileProcess(QList<int> paras, int progID, int segmentCnt, int storageType);
    // The end of every program transfer the worker ran: kind 0 read, 1 write, the program number,
    // and ok when the transfer's error flag stayed clear and its program CSV file was saved
    // (read) or loaded (write). A write refused because its program CSV file could not be
    // loaded ends with ok false and the error flag clear; a read whose file could not be saved
    // likewise. Emitted on the driver's thread after the worker's status reports of the same
    // transfer have been applied: RF or WF is already down, RE or WE already up when the
    // transfer failed. A transfer abandoned because the driver is being destroyed announces
    // nothing; a start that was not accepted is no transfer.
    void transferFinished(int kind, int program, bool ok);

private slots:
    void delayClearError();
    void setErrorInstantMessage(QString message);
    void setRF(bool on);
    void setWF(bool on);
    void setWE(bool on);
    void setRE(bool on);
    void setReadProgress(quint8 progress);
    void setWriteProgress(quint8 progress);

private:
    // Hands port to the worker, which uses the port handed over last for its next exchange.
    void handOverPort(PortObject *port);
    void startTransfer(bool read, PortObject *port);
    QList<int> readRangeParameters(PortObject *port);
    void releaseWorker();

    std::atomic<bool> m_error{false};
    std::atomic<bool> m_optionFlag{false};
    mutable QMutex m_errorMessageLock;
    QString m_errorMessage;
    DriverInterface *m_linkDriver = nullptr;

    // Status block: nine single-byte fields.
    std::atomic<bool> m_rf{false};
    std::atomic<bool> m_wf{false};
    std::atomic<bool> m_we{false};
    std::atomic<bool> m_re{false};
    std::atomic<quint8> m_programId{1};
    std::atomic<quint8> m_readProgress{0};
    std::atomic<quint8> m_writeProgress{0};
    std::atomic<quint8> m_storageType{0};
    std::atomic<quint8> m_segCnt{1};

    QThread *m_workerThread = nullptr;
    FileAccessor *m_worker = nullptr;
    std::atomic<int> m_errorHold{100};

    // The line belongs either to the link driver or to a transfer. Held across "no transfer
    // runs, so ask the link driver" and across "both flags clear, so raise one (and read the
    // range parameters)": a delegated exchange can never overlap the worker's, and two
    // simultaneous starts never both succeed. Own tags never take it.
    std::mutex m_lineLock;
};

#endif
