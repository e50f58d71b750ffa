#ifndef FILEACCESSOR_H
#define FILEACCESSOR_H

#include "ProgramFormat.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWaitCondition>

#include <atomic>
#include <functional>

class KCSVLoader;
class KCSVSaver;
class PortObject;

// The program-file transfer worker. The driver creates it, moves it to a thread of its own and
// starts transfers through the two public slots; the worker reports back only through signals.
// One transfer runs at a time; a second request waits in the thread's event queue.
class FileAccessor : public QObject
{
    Q_OBJECT
public:
    explicit FileAccessor(QObject *parent = nullptr);
    ~FileAccessor() override;

    // Called by the driver on every tag access, from the host's thread, while a transfer may be
    // running on the worker's thread: the pointer is atomic, and each exchange takes it once.
    void setPort(PortObject *port);
    PortObject *port() const { return m_port.load(std::memory_order_acquire); }

    // Replaces the fixed pauses between a command and the read of its reply. Tests use it to run
    // transfers in zero time and to record the lengths; without a hook the worker waits the full
    // pause. Set it before any transfer starts.
    using PauseHook = std::function<void(int milliseconds)>;
    void setPauseHook(PauseHook hook);

    // Makes a running transfer give up at its next pause or step (the driver's destructor uses
    // it so it never has to kill the thread in the middle of a slot). Thread-safe; permanent.
    void abortTransfers();
    bool isAborted() const { return m_aborted.load(std::memory_order_acquire); }

signals:
    void showMessage(QString source, QString text, bool flag);
    void setErrorInstantMessage(QString message);
    void setRF(bool on);
    void setWF(bool on);
    void setWE(bool on);
    void setRE(bool on);
    void setReadProgress(quint8 progress);
    void setWriteProgress(quint8 progress);

public slots:
    void readProgramFileProcess(int progID, int segmentCnt, int storageType);
    void writeProgramFileProcess(QList<int> paras, int progID, int segmentCnt, int storageType);

private slots:
    QString getStorageMountPath(int storageType);
    QString getErrorMessageByStatusCodeFromPLC(QString statusCode);
    bool checkValueRange(QString cellTitle, qint32 value, QString &error);
    void setParameters(QList<qint32> paras);
    QString getFileName(int programID, bool &ok);
    QString getErrorLogFileName(int type, int programID, bool &ok);
    void HEX2CSV(int segment, QString &indata, QList<QStringList> &datas);
    bool CSV2HEX(int segment, QStringList &inDatas, QString &outData, QStringList &errorList);
    bool CSVCell2HEX(QStringList &inDatas, QString &outData, QStringList &errorList, bool &noError,
                     QString cellTitle, qint32 &decCellIntValue);
    void generalHead(QList<QStringList> &datas);
    void initRWCommand();
    bool openFileForRead(int programID, int segmentCnt, QList<QStringList> &datas,
                         QStringList &errorList);
    bool openFileForWrite(int programID, int segmentCnt, QList<QStringList> datas,
                          QStringList &errorList);
    bool readFile(int programID, int segment, QList<QStringList> &datas, QStringList &errorList);
    bool writeFile(int programID, int segment, QString outputData, QStringList &errorList);
    bool validateDataRow(int segment, QList<QStringList> &datas, QString &outputData,
                         QStringList &errorList);
    void closeFile(int programID);

private:
    // How a command exchange ended.
    enum class Exchange {
        Done,         // the controller answered "00" or "01"
        EndCodeError, // the controller answered another end code (reply holds it)
        SendFailed,   // the port took fewer bytes than the frame holds
        ReplyFailed,  // nothing, or no "0100X" where it belongs
        Aborted       // the worker is being shut down
    };
    // One request/reply exchange: option 12, write, zeroed buffer, pause, read, checks.
    // On EndCodeError and Done, reply holds the reply text read up to its zero terminator.
    Exchange exchange(const QString &frame, int pauseMs, int readLimit, QString &reply);
    // How a command ended for the transfer steps: Failed is worth repeating (its message is in
    // the error list), Refused is the controller's answer with another end code (reported with
    // refusalPrefix before the end code's message), Done is success.
    enum class Outcome { Failed, Refused, Done };
    Outcome command(const QString &frame, int pauseMs, int readLimit, const QString &sendFailed,
                    const QString &replyFailed, const QString &refusalPrefix,
                    QStringList &errorList, QString &reply);
    // Repeats a failed step up to retryCount() times; true as soon as one repeat succeeds.
    bool retryStep(const std::function<bool()> &step);
    void pause(int milliseconds);
    void writeErrorLog(int type, int programID, const QStringList &errorList);
    void repeatTransfer(bool firstAttemptDone, const QString &overText, QStringList &errors,
                        const std::function<bool(QStringList &)> &attempt);
    void finishTransfer(int type, int programID, QStringList &errors);
    static QString retryLabel(int attempt);
    int retryCount();

    KCSVLoader *m_loader = nullptr;
    KCSVSaver *m_saver = nullptr;
    QString m_openReadCommand;
    QString m_openWriteCommand;
    QString m_blockReadCommand;
    QString m_blockWriteCommand;
    QString m_closeCommand;
    std::atomic<PortObject *> m_port{nullptr};
    char m_receiveBuffer[255];
    ProgramFormat m_format; // holds the five range parameters
    int m_storageType = 0;

    PauseHook m_pauseHook;
    std::atomic<bool> m_aborted{false};
    QMutex m_abortLock;
    QWaitCondition m_abortWake;
};

#endif
