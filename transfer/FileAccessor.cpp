#include "FileAccessor.h"

#include "EndCode.h"
#include "FileLocations.h"
#include "HostServices.h"

namespace {

const QString SourceName = QStringLiteral("DCP30");

} // namespace

FileAccessor::FileAccessor(QObject *parent) : QObject(parent)
{
    if (QObject *messageCenter = HostServices::object("MessageCenter")) {
        connect(this, SIGNAL(showMessage(QString, QString, bool)), messageCenter,
                SLOT(showMessageAsync(QString, QString, bool)));
    }
}

FileAccessor::~FileAccessor() = default;

void FileAccessor::readProgramFileProcess(int progID, int segmentCnt, int storageType)
{
    m_storageType = storageType;
    report(TransferKind::Read, progID, m_engine.read(progID, segmentCnt));
}

void FileAccessor::writeProgramFileProcess(QList<int> paras, int progID, int segmentCnt,
                                           int storageType)
{
    m_storageType = storageType;
    report(TransferKind::Write, progID, m_engine.write(paras, progID, segmentCnt));
}

void FileAccessor::progressed(TransferKind kind, quint8 percent)
{
    if (kind == TransferKind::Read)
        emit setReadProgress(percent);
    else
        emit setWriteProgress(percent);
}

void FileAccessor::fileFailed(TransferKind kind, const QString &messages)
{
    emit showMessage(SourceName, messages, true);
    if (kind == TransferKind::Read)
        emit setRF(false);
    else
        emit setWF(false);
}

// The busy flag goes down first, then the error flag goes up, then the end is announced. A write
// refused for its program CSV file has lowered its flag already.
void FileAccessor::report(TransferKind kind, int program, TransferEngine::Outcome outcome)
{
    using Outcome = TransferEngine::Outcome;
    if (outcome == Outcome::Aborted)
        return;
    const bool read = kind == TransferKind::Read;
    if (outcome != Outcome::Refused) {
        if (read)
            emit setRF(false);
        else
            emit setWF(false);
    }
    if (outcome == Outcome::Failed) {
        if (read)
            emit setRE(true);
        else
            emit setWE(true);
    }
    emit transferEnded(int(kind), program, outcome == Outcome::Clean);
}

QString FileAccessor::getStorageMountPath(int storageType)
{
    QString mount;
    if (QObject *device = HostServices::object("KDevice")) {
        QMetaObject::invokeMethod(device, "getMount", Qt::DirectConnection,
                                  Q_RETURN_ARG(QString, mount), Q_ARG(int, storageType + 1));
    }
    return mount;
}

QString FileAccessor::getErrorMessageByStatusCodeFromPLC(QString statusCode)
{
    return EndCode::message(statusCode);
}

QString FileAccessor::getFileName(int programID, bool &ok)
{
    ok = true;
    return FileLocations::programFile(programID);
}

QString FileAccessor::getErrorLogFileName(int type, int programID, bool &ok)
{
    ok = true;
    return FileLocations::errorLog(type, programID);
}

// The conversions are those of the engine's ProgramFormat.

bool FileAccessor::checkValueRange(QString cellTitle, qint32 value, QString &error)
{
    return m_engine.format().checkValueRange(cellTitle, value, error);
}

void FileAccessor::setParameters(QList<qint32> paras)
{
    m_engine.format().setParameters(paras);
}

void FileAccessor::HEX2CSV(int segment, QString &indata, QList<QStringList> &datas)
{
    m_engine.format().HEX2CSV(segment, indata, datas);
}

bool FileAccessor::CSV2HEX(int segment, QStringList &inDatas, QString &outData,
                           QStringList &errorList)
{
    return m_engine.format().CSV2HEX(segment, inDatas, outData, errorList);
}

bool FileAccessor::CSVCell2HEX(QStringList &inDatas, QString &outData, QStringList &errorList,
                               bool &noError, QString cellTitle, qint32 &decCellIntValue)
{
    return m_engine.format().CSVCell2HEX(inDatas, outData, errorList, noError, cellTitle,
                                         decCellIntValue);
}

void FileAccessor::generalHead(QList<QStringList> &datas)
{
    m_engine.format().generalHead(datas);
}

bool FileAccessor::validateDataRow(int segment, QList<QStringList> &datas, QString &outputData,
                                   QStringList &errorList)
{
    return m_engine.format().validateDataRow(segment, datas, outputData, errorList);
}

// The steps of the transfers are the engine's.

void FileAccessor::initRWCommand()
{
    m_engine.buildCommands();
}

bool FileAccessor::openFileForRead(int programID, int segmentCnt, QList<QStringList> &datas,
                                   QStringList &errorList)
{
    return m_engine.readAttempt(programID, segmentCnt, datas, errorList);
}

bool FileAccessor::openFileForWrite(int programID, int segmentCnt, QList<QStringList> datas,
                                    QStringList &errorList)
{
    return m_engine.writeAttempt(programID, segmentCnt, datas, errorList);
}

bool FileAccessor::readFile(int programID, int segment, QList<QStringList> &datas,
                            QStringList &errorList)
{
    return m_engine.readBlock(programID, segment, datas, errorList);
}

bool FileAccessor::writeFile(int programID, int segment, QString outputData, QStringList &errorList)
{
    return m_engine.writeBlock(programID, segment, outputData, errorList);
}

void FileAccessor::closeFile(int programID)
{
    m_engine.closeFile(programID);
}
