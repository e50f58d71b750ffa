#ifndef TRANSFERENGINE_H
#define TRANSFERENGINE_H

#include "Commands.h"
#include "LineExchange.h"
#include "ProgramFormat.h"
#include "TransferObserver.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class KCSVLoader;
class KCSVSaver;

// The program transfers without any Qt object model around them: the read (open, blocks,
// close, rows saved as the program CSV file) and the write (program CSV file loaded, open, rows
// validated, valid blocks written, close), each with its step repeats and whole-transfer repeats,
// the error list and the error log. Progress and problems with the program CSV file go to the
// observer; how a transfer ended is the return value.
//
// One transfer at a time, on one thread; only line().setPort() and line().abort() may be called
// from other threads meanwhile.
class TransferEngine
{
public:
    // How a whole transfer ended.
    enum class Outcome {
        Clean,   // no problem: the error flag stays clear
        Failed,  // problems, written to the error log: the error flag goes up
        Unsaved, // a read without problems whose program CSV file could not be saved
        Refused, // a write whose program CSV file could not be loaded; nothing was sent
        Aborted  // abandoned because the worker is shutting down; nothing more to report
    };

    explicit TransferEngine(TransferObserver &observer);
    ~TransferEngine();
    TransferEngine(const TransferEngine &) = delete;
    TransferEngine &operator=(const TransferEngine &) = delete;

    // The exchange the transfers use (port, pause hook, abort flag).
    LineExchange &line() { return m_line; }
    const LineExchange &line() const { return m_line; }
    // The conversions and the range parameters of the writes.
    ProgramFormat &format() { return m_format; }

    // A whole read of segments 1..segmentCnt of program. Answers how it ended.
    Outcome read(int program, int segmentCnt);
    // A whole write of segments 1..segmentCnt of program, validated against paras. Answers how
    // it ended.
    Outcome write(const QList<qint32> &paras, int program, int segmentCnt);

    // The steps of the transfers, for the worker's slots of the same meaning.
    // Builds the five command frames once; later calls change nothing.
    void buildCommands();
    // One read attempt: false when it is worth repeating (its message is in errors).
    bool readAttempt(int program, int segmentCnt, QList<QStringList> &rows, QStringList &errors);
    // One write attempt of the rows after the header: false when it is worth repeating.
    bool writeAttempt(int program, int segmentCnt, const QList<QStringList> &rows,
                      QStringList &errors);
    // One block read, its row appended to rows: false when it is worth repeating.
    bool readBlock(int program, int segment, QList<QStringList> &rows, QStringList &errors);
    // One block write: false when it is worth repeating (a refusal counts as written).
    bool writeBlock(int program, int segment, const QString &record, QStringList &errors);
    // Sends the close command; its reply changes nothing.
    void closeFile(int program);

private:
    enum class Step { Failed, Refused, Done };
    // One exchange of command with its messages for the error list: Failed is worth repeating,
    // Refused is the controller's answer with another end code (reported after refusalPrefix).
    Step command(Commands::FileCommand command, const QByteArray &frame, const QString &sendFailed,
                 const QString &replyFailed, const QString &refusalPrefix, QStringList &errors,
                 QString &reply);
    QByteArray frame(Commands::FileCommand command, int program, int segment = 0,
                     const QString &record = QString()) const;
    // Repeats a failed step up to retryCount() times; true as soon as one repeat succeeds.
    bool retryStep(const std::function<bool()> &step);
    // Repeats a failed first attempt up to retryCount() times, with the labels and the over
    // line in errors.
    void repeatTransfer(bool firstAttemptDone, const QString &overText, QStringList &errors,
                        const std::function<bool(QStringList &)> &attempt);
    bool loadRows(int program, QList<QStringList> &rows);
    Outcome finish(TransferKind kind, int program, QStringList &errors);

    TransferObserver &m_observer;
    LineExchange m_line;
    ProgramFormat m_format; // holds the five range parameters
    QString m_templates[Commands::Close + 1];
    KCSVLoader *m_loader = nullptr; // created by the first write
    KCSVSaver *m_saver = nullptr;   // created by the first read
    bool m_saveFailed = false;
};

#endif
