#include "FileAccessor.h"

#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "PortObject.h"
#include "TransferLogging.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMap>
#include <QSaveFile>
#include <QTextCodec>
#include <QTextStream>

#include <cstring>

namespace {

const char STX = '\x02';
const char ETX = '\x03';

// Pauses between a command and the read of its reply, and how much of the reply is read.
const int OpenPauseMs = 300;
const int ReadPauseMs = 350;
const int WritePauseMs = 300;
const int ClosePauseMs = 300;
const int ShortReadLimit = 16;
const int BlockReadLimit = 200;

const QString SourceName = QStringLiteral("DCP30");

// The host publishes its service objects as application properties holding the object's
// address; a QObject* variant is accepted as well.
QObject *hostObject(const char *name)
{
    const QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    const QVariant value = app->property(name);
    if (!value.isValid())
        return nullptr;
    if (value.userType() == QMetaType::QObjectStar)
        return value.value<QObject *>();
    bool ok = false;
    const quint64 address = value.toULongLong(&ok);
    if (!ok || address == 0)
        return nullptr;
    return reinterpret_cast<QObject *>(static_cast<quintptr>(address));
}

// Progress as the screen shows it: share of the work done, truncated, in single precision.
quint8 progressOf(int done, int total)
{
    return static_cast<quint8>(static_cast<float>(done) / static_cast<float>(total) * 100.0f);
}

} // namespace

FileAccessor::FileAccessor(QObject *parent) : QObject(parent)
{
    std::memset(m_receiveBuffer, 0, sizeof m_receiveBuffer);
    if (QObject *messageCenter = hostObject("MessageCenter")) {
        connect(this, SIGNAL(showMessage(QString, QString, bool)), messageCenter,
                SLOT(showMessageAsync(QString, QString, bool)));
    }
}

FileAccessor::~FileAccessor()
{
    delete m_loader;
    delete m_saver;
}

void FileAccessor::setPort(PortObject *port)
{
    m_port.store(port, std::memory_order_release);
}

void FileAccessor::setPauseHook(PauseHook hook)
{
    m_pauseHook = std::move(hook);
}

void FileAccessor::abortTransfers()
{
    QMutexLocker locker(&m_abortLock);
    m_aborted.store(true, std::memory_order_release);
    m_abortWake.wakeAll();
}

void FileAccessor::pause(int milliseconds)
{
    if (m_pauseHook) {
        m_pauseHook(milliseconds);
        return;
    }
    // A plain sleep of the full pause, except that shutting the driver down wakes it early.
    QDeadlineTimer deadline(milliseconds);
    QMutexLocker locker(&m_abortLock);
    while (!isAborted() && !deadline.hasExpired())
        m_abortWake.wait(&m_abortLock, deadline);
}

int FileAccessor::retryCount()
{
    PortObject *p = port();
    return p ? p->retryCount() : 0;
}

QString FileAccessor::retryLabel(int attempt)
{
    if (attempt == 1)
        return QStringLiteral("First retry.");
    if (attempt == 2)
        return QStringLiteral("Second retry.");
    return QStringLiteral("%1 st retry.").arg(attempt);
}

// ---------------------------------------------------------------------------------------------
// Names, messages and the host's services

QString FileAccessor::getStorageMountPath(int storageType)
{
    QObject *device = hostObject("KDevice");
    QString mount;
    if (device) {
        QMetaObject::invokeMethod(device, "getMount", Qt::DirectConnection,
                                  Q_RETURN_ARG(QString, mount), Q_ARG(int, storageType + 1));
    }
    return mount;
}

QString FileAccessor::getFileName(int programID, bool &ok)
{
    ok = true;
    return QCoreApplication::applicationDirPath() + QDir::separator() +
           QStringLiteral("PROG_%1.txt").arg(programID);
}

QString FileAccessor::getErrorLogFileName(int type, int programID, bool &ok)
{
    ok = true;
    const QString kind = type == 1 ? QStringLiteral("WRITE") : QStringLiteral("READ");
    return QCoreApplication::applicationDirPath() + QDir::separator() +
           QStringLiteral("%1_PROG_%2_ERROR.txt").arg(kind).arg(programID);
}

QString FileAccessor::getErrorMessageByStatusCodeFromPLC(QString statusCode)
{
    static const QMap<QString, QString> messages = {
        {"40", "Request message is in error."},
        {"41", "The number of data is over 16. (Including read data count of RS request)."},
        {"42", "The data address is not defined. All of message has been cancelled."},
        {"44", "The value of write data is out of the limit. Processing is continued except for "
               "the relevant data address."},
        {"45", "The data cannot be written according to the status of DCP31/32. (Settings can be "
               "changed only READY mode regarding all of setup items and some of event "
               "configuration data) Write is attempted to the write inhibit data address."},
        {"47", "Mode can not be changed."},
        {"48", "Operation keys of console are operated by an operator. Send the request message "
               "after key operation."},
        {"50", "File is already open."},
        {"51", "File is not open yet."},
        {"52", "Program number or segment number is in error. No program in the segment."},
        {"54", "Attribute of File OPEN is violated."},
        {"57", "Block data of File block WRITE is in error."},
        {"58", "The program being run cannot be deleted."},
        {"59", "File OPEN, File block WRITE and File DELETE are inhibited."},
        {"99", "The command is undefined."},
    };
    return messages.value(statusCode);
}

// The log is written whole or not at all: an interrupted write keeps the previous log. Lines
// end with CR LF, as on the controller's engineering PCs, so a log reads the same everywhere.
void FileAccessor::writeErrorLog(int type, int programID, const QStringList &errorList)
{
    bool ok = false;
    const QString fileName = getErrorLogFileName(type, programID, ok);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcTransfer) << "cannot create error log" << fileName << file.errorString();
        return;
    }
    QString text = errorList.join(QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    file.write(text.toUtf8());
    if (!file.commit())
        qCWarning(lcTransfer) << "cannot write error log" << fileName << file.errorString();
}

// ---------------------------------------------------------------------------------------------
// Program format: the worker's conversions are those of its ProgramFormat.

bool FileAccessor::checkValueRange(QString cellTitle, qint32 value, QString &error)
{
    return m_format.checkValueRange(cellTitle, value, error);
}

void FileAccessor::setParameters(QList<qint32> paras)
{
    m_format.setParameters(paras);
}

void FileAccessor::HEX2CSV(int segment, QString &indata, QList<QStringList> &datas)
{
    m_format.HEX2CSV(segment, indata, datas);
}

bool FileAccessor::CSV2HEX(int segment, QStringList &inDatas, QString &outData,
                           QStringList &errorList)
{
    return m_format.CSV2HEX(segment, inDatas, outData, errorList);
}

bool FileAccessor::CSVCell2HEX(QStringList &inDatas, QString &outData, QStringList &errorList,
                               bool &noError, QString cellTitle, qint32 &decCellIntValue)
{
    return m_format.CSVCell2HEX(inDatas, outData, errorList, noError, cellTitle, decCellIntValue);
}

void FileAccessor::generalHead(QList<QStringList> &datas)
{
    m_format.generalHead(datas);
}

bool FileAccessor::validateDataRow(int segment, QList<QStringList> &datas, QString &outputData,
                                   QStringList &errorList)
{
    return m_format.validateDataRow(segment, datas, outputData, errorList);
}

// ---------------------------------------------------------------------------------------------
// Commands and the exchange

void FileAccessor::initRWCommand()
{
    auto frame = [](const char *text) {
        return QLatin1Char(STX) + QLatin1String(text) + QLatin1Char(ETX) + QLatin1String("\r\n");
    };
    if (m_openReadCommand.isEmpty())
        m_openReadCommand = frame("0100XFO,%1,R,0");
    if (m_openWriteCommand.isEmpty())
        m_openWriteCommand = frame("0100XFO,%1,W,0");
    if (m_blockReadCommand.isEmpty())
        m_blockReadCommand = frame("0100XFR,%1,%2");
    if (m_blockWriteCommand.isEmpty())
        m_blockWriteCommand = frame("0100XFW,%1,%2,%3");
    if (m_closeCommand.isEmpty())
        m_closeCommand = frame("0100XFC,%1");
}

FileAccessor::Exchange FileAccessor::exchange(const QString &frame, int pauseMs, int readLimit,
                                              QString &reply)
{
    reply.clear();
    if (isAborted())
        return Exchange::Aborted;
    // Taken once, so a port handed over by a host thread meanwhile serves the next exchange.
    PortObject *p = port();
    if (!p) {
        qCWarning(lcTransfer) << "no port object to send on";
        return Exchange::SendFailed;
    }
    const QByteArray bytes = frame.toLatin1();
    p->setOption(PortObject::OptionDiscardInput, 0);
    qCDebug(lcTransferLowLevel) << "send" << bytes.toHex(' ');
    if (p->write(bytes.constData(), bytes.size()) != bytes.size())
        return Exchange::SendFailed;

    std::memset(m_receiveBuffer, 0, sizeof m_receiveBuffer);
    pause(pauseMs);
    if (isAborted())
        return Exchange::Aborted;
    // The read limits stay below the buffer size, so the text is always zero-terminated.
    p->read(m_receiveBuffer, readLimit);
    reply = QString::fromLatin1(m_receiveBuffer);
    qCDebug(lcTransferLowLevel) << "received" << reply.toLatin1().toHex(' ');

    if (reply.mid(1, 5) != QLatin1String("0100X"))
        return Exchange::ReplyFailed;
    const QString endCode = reply.mid(6, 2);
    if (endCode == QLatin1String("00") || endCode == QLatin1String("01"))
        return Exchange::Done;
    return Exchange::EndCodeError;
}

FileAccessor::Outcome FileAccessor::command(const QString &frame, int pauseMs, int readLimit,
                                            const QString &sendFailed, const QString &replyFailed,
                                            const QString &refusalPrefix, QStringList &errorList,
                                            QString &reply)
{
    switch (exchange(frame, pauseMs, readLimit, reply)) {
    case Exchange::Aborted:
        return Outcome::Failed;
    case Exchange::SendFailed:
        errorList << sendFailed;
        return Outcome::Failed;
    case Exchange::ReplyFailed:
        errorList << replyFailed;
        return Outcome::Failed;
    case Exchange::EndCodeError:
        errorList << refusalPrefix + getErrorMessageByStatusCodeFromPLC(reply.mid(6, 2));
        return Outcome::Refused;
    case Exchange::Done:
        break;
    }
    return Outcome::Done;
}

bool FileAccessor::retryStep(const std::function<bool()> &step)
{
    for (int k = 1; k <= retryCount() && !isAborted(); ++k) {
        if (step())
            return true;
    }
    return false;
}

void FileAccessor::closeFile(int programID)
{
    QString reply;
    exchange(m_closeCommand.arg(programID), ClosePauseMs, ShortReadLimit, reply);
}

bool FileAccessor::readFile(int programID, int segment, QList<QStringList> &datas,
                            QStringList &errorList)
{
    QString reply;
    const QString frame =
        m_blockReadCommand.arg(QString::number(programID), QString::number(segment));
    const Outcome outcome =
        command(frame, ReadPauseMs, BlockReadLimit,
                QStringLiteral("Reading the Program %1 file fail. Error Code 4.").arg(programID),
                QStringLiteral("Reading the Program %1 file fail. Error Code 1.").arg(programID),
                QStringLiteral("Seg%1:").arg(segment), errorList, reply);
    if (outcome != Outcome::Done)
        return outcome == Outcome::Refused;

    // The reply echoes "XFR,<program>,<segment>," after the end code, then the record and ETX CR
    // LF; the record starts where the echo of one- or two-digit numbers ends.
    const int offset = 16 + (programID > 9 ? 1 : 0) + (segment > 9 ? 1 : 0);
    QString data = reply.mid(offset);
    const int expected = segment == 1 ? 123 : 95;
    const int recordLength = expected - 3;
    // Beyond the length, the echo must name the block asked for and the record must be hex
    // digits followed by ETX CR LF: a reply garbled on the line is repeated, never converted.
    const QString echo = QStringLiteral("XFR,%1,%2,").arg(programID).arg(segment);
    bool intact = data.size() == expected && reply.mid(8, offset - 8) == echo &&
                  data.endsWith(QLatin1String("\x03\r\n"));
    for (int i = 0; intact && i < recordLength; ++i)
        intact = isxdigit(static_cast<unsigned char>(data.at(i).toLatin1())) != 0;
    if (!intact) {
        qCDebug(lcTransfer) << "block" << programID << segment << "rejected:" << data.size()
                            << "characters";
        errorList
            << QStringLiteral("Reading the Program %1 file fail. Error Code 2.").arg(programID);
        return false;
    }
    HEX2CSV(segment, data, datas);
    return true;
}

bool FileAccessor::writeFile(int programID, int segment, QString outputData, QStringList &errorList)
{
    QString reply;
    const QString frame =
        m_blockWriteCommand.arg(QString::number(programID), QString::number(segment), outputData);
    // A refusal counts as written: it is reported, not repeated.
    return command(frame, WritePauseMs, BlockReadLimit,
                   QStringLiteral("Write File Fail. Error Code 22."),
                   QStringLiteral("Write File Fail. Error Code 21."),
                   QStringLiteral("Seg%1:").arg(segment), errorList, reply) != Outcome::Failed;
}

// ---------------------------------------------------------------------------------------------
// The read transfer

bool FileAccessor::openFileForRead(int programID, int segmentCnt, QList<QStringList> &datas,
                                   QStringList &errorList)
{
    initRWCommand();
    QString reply;
    // A refused open ends the attempt there: nothing is read or written, the file not closed.
    const Outcome opened =
        command(m_openReadCommand.arg(programID), OpenPauseMs, ShortReadLimit,
                QStringLiteral("Opening the Program %1 file fail. Error Code 3.").arg(programID),
                QStringLiteral("Opening the Program %1 file fail. Error Code 1.").arg(programID),
                QString(), errorList, reply);
    if (opened != Outcome::Done)
        return opened == Outcome::Refused;

    generalHead(datas);
    for (int s = 1; s <= segmentCnt; ++s) {
        const bool read = readFile(programID, s, datas, errorList) ||
                          retryStep([&] { return readFile(programID, s, datas, errorList); });
        if (isAborted())
            return false;
        if (!read && retryCount() > 0) {
            errorList << QStringLiteral("The retry time of reading the Program %1 file is over %2 "
                                        "times.")
                             .arg(programID)
                             .arg(retryCount());
            return false;
        }
        emit setReadProgress(progressOf(s, segmentCnt));
    }
    closeFile(programID);

    bool ok = false;
    const QString fileName = getFileName(programID, ok);
    if (!m_saver->saveFile(datas, fileName)) {
        emit showMessage(SourceName, m_saver->errorMessageList().join(QLatin1Char('\n')), true);
        emit setRF(false);
    }
    return true;
}

void FileAccessor::readProgramFileProcess(int progID, int segmentCnt, int storageType)
{
    m_storageType = storageType;
    if (!m_saver)
        m_saver = new KCSVSaver(nullptr);

    QList<QStringList> rows;
    QStringList errors;
    const bool done = openFileForRead(progID, segmentCnt, rows, errors);
    repeatTransfer(done, QStringLiteral("Read File retry time is over %1 times."), errors,
                   [&](QStringList &attempt) {
                       // A repeat starts from scratch: rows of the failed attempt would be
                       // saved twice.
                       rows.clear();
                       return openFileForRead(progID, segmentCnt, rows, attempt);
                   });
    finishTransfer(0, progID, errors);
}

// ---------------------------------------------------------------------------------------------
// The write transfer

bool FileAccessor::openFileForWrite(int programID, int segmentCnt, QList<QStringList> datas,
                                    QStringList &errorList)
{
    initRWCommand();
    QString reply;
    // A refused open ends the attempt there: nothing is read or written, the file not closed.
    const Outcome opened =
        command(m_openWriteCommand.arg(programID), OpenPauseMs, ShortReadLimit,
                QStringLiteral("Opening the Program %1 file fail. Error Code 13.").arg(programID),
                QStringLiteral("Opening the Program %1 file fail. Error Code 11.").arg(programID),
                QString(), errorList, reply);
    if (opened != Outcome::Done)
        return opened == Outcome::Refused;

    // Every row is validated before anything is written; invalid rows are left out.
    QMap<int, QString> records;
    m_format.validateSegments(segmentCnt, datas, records, errorList);

    if (segmentCnt >= 1 && records.isEmpty()) {
        closeFile(programID);
        errorList << QStringLiteral(
            "\nThere is no data to write out. Maybe the format of all segments are incorrect.");
        return true;
    }

    int written = 0;
    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        ++written;
        const bool sent = writeFile(programID, it.key(), it.value(), errorList) || retryStep([&] {
                              return writeFile(programID, it.key(), it.value(), errorList);
                          });
        if (isAborted())
            return false;
        if (!sent && retryCount() > 0) {
            errorList << QStringLiteral("\nThe retry time of writing the Program %1 file is over "
                                        "%2 times.")
                             .arg(programID)
                             .arg(retryCount());
            return false;
        }
        emit setWriteProgress(progressOf(written, records.size()));
    }
    closeFile(programID);
    return true;
}

void FileAccessor::writeProgramFileProcess(QList<int> paras, int progID, int segmentCnt,
                                           int storageType)
{
    m_storageType = storageType;
    setParameters(paras);
    if (!m_loader)
        m_loader = new KCSVLoader(nullptr);

    bool ok = false;
    const QString fileName = getFileName(progID, ok);
    QList<QStringList> rows;
    const bool opened = m_loader->openFile(fileName);
    if (opened)
        rows = m_loader->loadedData();
    if (!opened || rows.isEmpty()) {
        // Off the GUI thread each call adds the loader's status report to its messages.
        m_loader->loadedData();
        emit showMessage(SourceName, m_loader->errorMessageList().join(QLatin1Char('\n')), true);
        emit setWF(false);
        return;
    }
    rows.removeFirst();

    QStringList errors;
    const bool done = openFileForWrite(progID, segmentCnt, rows, errors);
    repeatTransfer(
        done, QStringLiteral("Write File retry time is over %1 times."), errors,
        [&](QStringList &attempt) { return openFileForWrite(progID, segmentCnt, rows, attempt); });
    finishTransfer(1, progID, errors);
}

// Repeats a failed first attempt up to retryCount() times. The messages of a failed repeat go
// into errors under their label, those of the last permitted repeat followed by overText; a
// repeat that succeeds ends the repeats and its messages are dropped.
void FileAccessor::repeatTransfer(bool firstAttemptDone, const QString &overText,
                                  QStringList &errors,
                                  const std::function<bool(QStringList &)> &attempt)
{
    if (firstAttemptDone)
        return;
    for (int k = 1; k <= retryCount() && !isAborted(); ++k) {
        QStringList messages;
        if (attempt(messages))
            break;
        if (k != retryCount())
            errors << retryLabel(k) << messages;
        else
            errors << messages << overText.arg(k);
    }
}

// Ends a transfer: the log is in place before the flags tell the host to look at it. A
// transfer abandoned because the driver is going away reports nothing.
void FileAccessor::finishTransfer(int type, int programID, QStringList &errors)
{
    if (isAborted())
        return;
    if (!errors.isEmpty()) {
        errors.prepend(QStringLiteral("Program 1:"));
        writeErrorLog(type, programID, errors);
    }
    const bool failed = !errors.isEmpty();
    if (type == 0) {
        emit setRF(false);
        if (failed)
            emit setRE(true);
    } else {
        emit setWF(false);
        if (failed)
            emit setWE(true);
    }
}
