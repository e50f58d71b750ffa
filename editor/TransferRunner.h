#ifndef TRANSFERRUNNER_H
#define TRANSFERRUNNER_H

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

class PluginSession;
class PortSetup;

// The editor's connection to a controller, run on a thread of its own so that the window stays
// responsive: it owns the plugin session (the plugin, its driver and the port) from connectTo()
// to disconnectFrom() and runs every transfer the way "dcp30 read" and "dcp30 write --verify"
// do, through the command-line host's classes. Its slots are called by queued connections; each
// ends with finished(). cancel() is the one call made from another thread.
class TransferRunner : public QObject
{
    Q_OBJECT
public:
    explicit TransferRunner(QObject *parent = nullptr);
    ~TransferRunner() override;

    // Asks the running operation to stop at its next pause; the controller's file is closed.
    // Safe from any thread; the request lapses when the operation ends.
    void cancel() { m_cancel.store(true); }

    // Called by both sides before a signal crosses between the threads and when one arrives:
    // Qt's event queue already orders the hand-over, but its lock lives in the uninstrumented
    // Qt library, and this one makes the same order visible to ThreadSanitizer.
    void handOver() const { std::lock_guard<std::mutex> guard(m_handOver); }

public slots:
    // Opens the port portText names ("sim", a serial device, "tcp:HOST:PORT") with the tool's
    // defaults and reads the controller's range parameters; connected() tells what came back.
    void connectTo(const QString &portText);
    void disconnectFrom();
    // Finds the program's length and reads it; programRead() hands it over.
    void readProgram(int program);
    // Writes table (header row first) as program: checked first against the controller's range
    // parameters as the tool's write pre-flight checks a file, refused on any problem; with
    // verify read back and compared cell by cell.
    void writeProgram(int program, const QList<QStringList> &table, bool verify);

signals:
    // paras: SP1 low and high limit, event types 1 to 3; empty when the controller did not
    // answer their reads.
    void connected(const QString &name, const QList<qint32> &paras);
    void disconnected();
    // stage names what runs ("Reading program 3"); percent 0..100.
    void progressed(const QString &stage, int percent);
    // The program read, header row first.
    void programRead(int program, const QList<QStringList> &table);
    // Every slot ends here: ok with a one-line summary, or not with the lines that say why (the
    // plugin's error log, its reports, the pre-flight's problems, the verify differences).
    void finished(bool ok, const QString &summary, const QStringList &details);

private:
    bool connectSession(const QString &portText, QString *reason);
    // Runs a transfer through the session; false with the lines that say why in *details. A
    // stopped transfer unloads the driver: a fresh one is loaded for the next.
    bool transfer(bool reading, int program, int segments, const QString &stage,
                  QStringList *details);
    // Saves table where the plugin takes the program from; false with the saver's messages.
    bool stage(int program, const QList<QStringList> &table, QStringList *details);
    // The tool's write pre-flight on the staged file; false with its problems in *details.
    bool preflight(int program, int segments, QList<int> *validSegments, QStringList *details);
    // Reads segments back and compares them with rows; false with the differences.
    bool verified(int program, const QList<QStringList> &rows, const QList<int> &segments,
                  QStringList *details);
    QString failedSummary(bool reading, int program) const;
    void fail(const QString &summary, const QStringList &details);

    std::unique_ptr<PluginSession> m_session;
    std::unique_ptr<PortSetup> m_port;
    QString m_name;
    std::atomic<bool> m_cancel{false};
    mutable std::mutex m_handOver;
};

#endif
