#include "TransferEngine.h"

#include "BlockReply.h"
#include "EndCode.h"
#include "ErrorLog.h"
#include "FileLocations.h"
#include "Frame.h"
#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "TransferLogging.h"

#include <QMap>

namespace {

// Progress as the screen shows it: share of the work done, truncated, in single precision.
quint8 progressOf(int done, int total)
{
    return static_cast<quint8>(static_cast<float>(done) / static_cast<float>(total) * 100.0f);
}

QString retryLabel(int attempt)
{
    if (attempt == 1)
        return QStringLiteral("First retry.");
    if (attempt == 2)
        return QStringLiteral("Second retry.");
    return QStringLiteral("%1 st retry.").arg(attempt);
}

} // namespace

TransferEngine::TransferEngine(TransferObserver &observer) : m_observer(observer) {}

TransferEngine::~TransferEngine()
{
    delete m_loader;
    delete m_saver;
}

void TransferEngine::buildCommands()
{
    for (int c = Commands::OpenForRead; c <= Commands::Close; ++c) {
        if (m_templates[c].isEmpty())
            m_templates[c] = Commands::frameTemplate(Commands::FileCommand(c));
    }
}

QByteArray TransferEngine::frame(Commands::FileCommand command, int program, int segment,
                                 const QString &record) const
{
    return Commands::fill(m_templates[command], command, program, segment, record);
}

TransferEngine::Step TransferEngine::command(Commands::FileCommand command, const QByteArray &frame,
                                             const QString &sendFailed, const QString &replyFailed,
                                             const QString &refusalPrefix, QStringList &errors,
                                             QString &reply)
{
    switch (m_line.run(frame, Commands::pauseMs(command), Commands::readLimit(command), reply)) {
    case LineExchange::Result::Aborted:
        return Step::Failed;
    case LineExchange::Result::SendFailed:
        errors << sendFailed;
        return Step::Failed;
    case LineExchange::Result::ReplyFailed:
        errors << replyFailed;
        return Step::Failed;
    case LineExchange::Result::Refused:
        errors << refusalPrefix + EndCode::message(Frame::endCodeOf(reply));
        return Step::Refused;
    case LineExchange::Result::Done:
        break;
    }
    return Step::Done;
}

bool TransferEngine::retryStep(const std::function<bool()> &step)
{
    for (int k = 1; k <= m_line.retryCount() && !m_line.isAborted(); ++k) {
        if (step())
            return true;
    }
    return false;
}

// The messages of a failed repeat go into errors under their label, those of the last permitted
// repeat followed by overText; a repeat that succeeds ends the repeats and its messages are
// dropped.
void TransferEngine::repeatTransfer(bool firstAttemptDone, const QString &overText,
                                    QStringList &errors,
                                    const std::function<bool(QStringList &)> &attempt)
{
    if (firstAttemptDone)
        return;
    for (int k = 1; k <= m_line.retryCount() && !m_line.isAborted(); ++k) {
        QStringList messages;
        if (attempt(messages))
            break;
        if (k != m_line.retryCount())
            errors << retryLabel(k) << messages;
        else
            errors << messages << overText.arg(k);
    }
}

void TransferEngine::closeFile(int program)
{
    QString reply;
    m_line.run(frame(Commands::Close, program), Commands::pauseMs(Commands::Close),
               Commands::readLimit(Commands::Close), reply);
}

bool TransferEngine::readBlock(int program, int segment, QList<QStringList> &rows,
                               QStringList &errors)
{
    QString reply;
    const Step step =
        command(Commands::BlockRead, frame(Commands::BlockRead, program, segment),
                QStringLiteral("Reading the Program %1 file fail. Error Code 4.").arg(program),
                QStringLiteral("Reading the Program %1 file fail. Error Code 1.").arg(program),
                QStringLiteral("Seg%1:").arg(segment), errors, reply);
    if (step != Step::Done)
        return step == Step::Refused;
    if (!BlockReply::isIntact(reply, program, segment)) {
        qCDebug(lcTransfer) << "block" << program << segment
                            << "rejected:" << BlockReply::blockData(reply, program, segment).size()
                            << "characters";
        errors << QStringLiteral("Reading the Program %1 file fail. Error Code 2.").arg(program);
        return false;
    }
    m_format.HEX2CSV(segment, BlockReply::blockData(reply, program, segment), rows);
    return true;
}

bool TransferEngine::writeBlock(int program, int segment, const QString &record,
                                QStringList &errors)
{
    QString reply;
    return command(Commands::BlockWrite, frame(Commands::BlockWrite, program, segment, record),
                   QStringLiteral("Write File Fail. Error Code 22."),
                   QStringLiteral("Write File Fail. Error Code 21."),
                   QStringLiteral("Seg%1:").arg(segment), errors, reply) != Step::Failed;
}

bool TransferEngine::readAttempt(int program, int segmentCnt, QList<QStringList> &rows,
                                 QStringList &errors)
{
    buildCommands();
    QString reply;
    // A refused open ends the attempt there: nothing is read or saved, the file not closed.
    const Step opened =
        command(Commands::OpenForRead, frame(Commands::OpenForRead, program),
                QStringLiteral("Opening the Program %1 file fail. Error Code 3.").arg(program),
                QStringLiteral("Opening the Program %1 file fail. Error Code 1.").arg(program),
                QString(), errors, reply);
    if (opened != Step::Done)
        return opened == Step::Refused;

    m_format.generalHead(rows);
    for (int s = 1; s <= segmentCnt; ++s) {
        const bool read = readBlock(program, s, rows, errors) ||
                          retryStep([&] { return readBlock(program, s, rows, errors); });
        if (m_line.isAborted())
            return false;
        // Without repeats a lost block is passed over; its message stays in the list.
        if (!read && m_line.retryCount() > 0) {
            errors << QStringLiteral("The retry time of reading the Program %1 file is over %2 "
                                     "times.")
                          .arg(program)
                          .arg(m_line.retryCount());
            return false;
        }
        m_observer.progressed(TransferKind::Read, progressOf(s, segmentCnt));
    }
    closeFile(program);

    if (!m_saver->saveFile(rows, FileLocations::programFile(program))) {
        m_saveFailed = true;
        m_observer.fileFailed(TransferKind::Read,
                              m_saver->errorMessageList().join(QLatin1Char('\n')));
    }
    return true;
}

TransferEngine::Outcome TransferEngine::read(int program, int segmentCnt)
{
    if (!m_saver)
        m_saver = new KCSVSaver(nullptr);
    m_saveFailed = false;
    QList<QStringList> rows;
    QStringList errors;
    const bool done = readAttempt(program, segmentCnt, rows, errors);
    repeatTransfer(done, QStringLiteral("Read File retry time is over %1 times."), errors,
                   [&](QStringList &attempt) {
                       // A repeat starts from scratch: rows of the failed attempt would be
                       // saved twice.
                       rows.clear();
                       return readAttempt(program, segmentCnt, rows, attempt);
                   });
    return finish(TransferKind::Read, program, errors);
}

bool TransferEngine::writeAttempt(int program, int segmentCnt, const QList<QStringList> &rows,
                                  QStringList &errors)
{
    buildCommands();
    QString reply;
    // A refused open ends the attempt there: nothing is validated or written, the file not
    // closed.
    const Step opened =
        command(Commands::OpenForWrite, frame(Commands::OpenForWrite, program),
                QStringLiteral("Opening the Program %1 file fail. Error Code 13.").arg(program),
                QStringLiteral("Opening the Program %1 file fail. Error Code 11.").arg(program),
                QString(), errors, reply);
    if (opened != Step::Done)
        return opened == Step::Refused;

    // Every row is validated before anything is written; invalid rows are left out.
    QMap<int, QString> records;
    m_format.validateSegments(segmentCnt, rows, records, errors);
    if (segmentCnt >= 1 && records.isEmpty()) {
        closeFile(program);
        errors << QStringLiteral(
            "\nThere is no data to write out. Maybe the format of all segments are incorrect.");
        return true;
    }

    int written = 0;
    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        ++written;
        const bool sent = writeBlock(program, it.key(), it.value(), errors) || retryStep([&] {
                              return writeBlock(program, it.key(), it.value(), errors);
                          });
        if (m_line.isAborted())
            return false;
        // Without repeats a lost block is passed over; its message stays in the list.
        if (!sent && m_line.retryCount() > 0) {
            errors << QStringLiteral("\nThe retry time of writing the Program %1 file is over "
                                     "%2 times.")
                          .arg(program)
                          .arg(m_line.retryCount());
            return false;
        }
        m_observer.progressed(TransferKind::Write, progressOf(written, records.size()));
    }
    closeFile(program);
    return true;
}

// The rows of the program CSV file, header first; false (reported to the observer) when the
// file could not be loaded or holds no rows.
bool TransferEngine::loadRows(int program, QList<QStringList> &rows)
{
    if (!m_loader)
        m_loader = new KCSVLoader(nullptr);
    const bool opened = m_loader->openFile(FileLocations::programFile(program));
    if (opened)
        rows = m_loader->loadedData();
    if (opened && !rows.isEmpty())
        return true;
    // Off the GUI thread each call adds the loader's status report to its messages.
    m_loader->loadedData();
    m_observer.fileFailed(TransferKind::Write,
                          m_loader->errorMessageList().join(QLatin1Char('\n')));
    return false;
}

TransferEngine::Outcome TransferEngine::write(const QList<qint32> &paras, int program,
                                              int segmentCnt)
{
    m_format.setParameters(paras);
    m_saveFailed = false;
    QList<QStringList> rows;
    if (!loadRows(program, rows))
        return Outcome::Refused;
    rows.removeFirst();

    QStringList errors;
    const bool done = writeAttempt(program, segmentCnt, rows, errors);
    repeatTransfer(
        done, QStringLiteral("Write File retry time is over %1 times."), errors,
        [&](QStringList &attempt) { return writeAttempt(program, segmentCnt, rows, attempt); });
    return finish(TransferKind::Write, program, errors);
}

// The log is in place before the owner lowers the flags that tell the host to look at it. A
// transfer abandoned because the worker is going away reports nothing.
TransferEngine::Outcome TransferEngine::finish(TransferKind kind, int program, QStringList &errors)
{
    if (m_line.isAborted())
        return Outcome::Aborted;
    if (!errors.isEmpty()) {
        errors.prepend(QStringLiteral("Program 1:"));
        ErrorLog::write(FileLocations::errorLog(int(kind), program), errors);
        return Outcome::Failed;
    }
    return m_saveFailed ? Outcome::Unsaved : Outcome::Clean;
}
