#ifndef FILEACCESSOR_H
#define FILEACCESSOR_H

#include "TransferEngine.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class PortObject;

// The program-file transfer worker: the Qt face of a TransferEngine. The driver creates it,
// moves it to a thread of its own and starts transfers through the two public slots; the worker
// reports back only through signals. One transfer runs at a time; a second request waits in the
// thread's event queue. The private slots are the steps of the transfers, reachable by name.
class FileAccessor : public QObject, private TransferObserver
{
    Q_OBJECT
public:
    explicit FileAccessor(QObject *parent = nullptr);
    ~FileAccessor() override;

    // Called by the driver on every tag access, from the host's thread, while a transfer may be
    // running on the worker's thread: each exchange takes the port once.
    void setPort(PortObject *port) { m_engine.line().setPort(port); }
    // The port handed over last; null before the first.
    PortObject *port() const { return m_engine.line().port(); }

    // Replaces the fixed pauses between a command and the read of its reply. Tests use it to run
    // transfers in zero time and to record the lengths; without a hook the worker waits the full
    // pause. Set it before any transfer starts.
    using PauseHook = LineExchange::PauseHook;
    void setPauseHook(PauseHook hook) { m_engine.line().setPauseHook(std::move(hook)); }

    // Makes a running transfer give up at its next pause or step, reporting nothing (the
    // driver's destructor uses it before it ends the thread). Thread-safe; permanent.
    void abortTransfers() { m_engine.line().abort(); }
    // True once abortTransfers() was called.
    bool isAborted() const { return m_engine.line().isAborted(); }

signals:
    void showMessage(QString source, QString text, bool flag);
    void setErrorInstantMessage(QString message);
    void setRF(bool on);
    void setWF(bool on);
    void setWE(bool on);
    void setRE(bool on);
    void setReadProgress(quint8 progress);
    void setWriteProgress(quint8 progress);
    // After the last status signal of every transfer that was not abandoned: kind 0 read,
    // 1 write; ok when the error flag stayed clear and the program CSV file was saved or loaded.
    void transferEnded(int kind, int program, bool ok);

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
    void progressed(TransferKind kind, quint8 percent) override;
    void fileFailed(TransferKind kind, const QString &messages) override;
    void report(TransferKind kind, int program, TransferEngine::Outcome outcome);

    TransferEngine m_engine{*this};
    int m_storageType = 0;
};

#endif
