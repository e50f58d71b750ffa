#ifndef CLISUPPORT_H
#define CLISUPPORT_H

// What the end-to-end tests of the dcp30 tool share: running the built tool (next to the test in
// bin/), program CSV files made from the simulator's demo programs and read back with the CSV
// library the plugin uses, and "dcp30 simulate" running in the background. Every wait is
// bounded: a process that does not end in time is killed and reported as not finished.

#include "DemoPrograms.h"
#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "TestFiles.h"
#include "TransferTestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>

namespace CliProcess {

struct Result
{
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
    QByteArray outBytes; // stdout as it came, for output that is not UTF-8 text

    // stdout lines that start with label + ": ", the label removed ("error log" etc.).
    QStringList labelled(const QString &label) const
    {
        QStringList values;
        const QString prefix = label + QStringLiteral(": ");
        for (const QString &line : out.split(QLatin1Char('\n')))
            if (line.startsWith(prefix))
                values << line.mid(prefix.size());
        return values;
    }
    // For failure messages: exit code and both streams.
    QByteArray describe() const
    {
        return QStringLiteral("finished %1, exit %2\n--- stdout:\n%3\n--- stderr:\n%4")
            .arg(QString::number(finished), QString::number(exitCode), out, err)
            .toUtf8();
    }
};

// The tool built next to the test.
inline QString binary()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/dcp30");
}

// The words of a command line written as one text, split at spaces (no quoting).
inline QStringList words(const QString &text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// The working directory of every run that names none: where the tool hands over the files it
// makes (program files, error logs), one directory for the whole test process.
inline QString workDir()
{
    static QTemporaryDir dir;
    return dir.path();
}

// Runs program (default: binary()) with arguments, in workingDirectory (default: workDir()).
inline Result run(const QStringList &arguments, int timeoutMs = 60000,
                  const QString &workingDirectory = QString(), const QString &program = QString())
{
    Result result;
    QProcess process;
    process.setWorkingDirectory(workingDirectory.isEmpty() ? workDir() : workingDirectory);
    process.start(program.isEmpty() ? binary() : program, arguments);
    if (!process.waitForStarted(10000))
        return result;
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.outBytes = process.readAllStandardOutput();
    result.out = QString::fromUtf8(result.outBytes);
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace CliProcess

// Fails the test, showing both streams, unless the run `result` finished with exit code `code`.
#define VERIFY_EXIT(result, code)                                                                  \
    QVERIFY2((result).finished && (result).exitCode == (code), (result).describe())
// Declares result as the run given after the code (CliProcess::run(...) etc.) and verifies its
// exit code as VERIFY_EXIT does.
#define RUN_EXPECTING(result, code, ...)                                                           \
    const CliProcess::Result result = __VA_ARGS__;                                                 \
    VERIFY_EXIT(result, code)

namespace ProgramFiles {

// The header row followed by the rows of segments 1..segments of a demo program (1 to 3), as a
// read from the simulated controller produces them.
inline QList<QStringList> demoRows(int program, int segments)
{
    return TestSupport::rowsOf(DemoPrograms::records(program).mid(0, segments));
}

inline bool save(const QList<QStringList> &rows, const QString &fileName)
{
    return KCSVSaver().saveFile(rows, fileName);
}

// The rows of a program CSV file, header first; empty when it cannot be loaded.
inline QList<QStringList> load(const QString &fileName)
{
    KCSVLoader loader;
    return loader.openFile(fileName) ? loader.loadedData() : QList<QStringList>();
}

// An error log's entries: its text split at CR LF (the log's line ends).
inline QStringList logLines(const QString &fileName)
{
    return QString::fromUtf8(TestFiles::read(fileName)).split(QStringLiteral("\r\n"));
}

} // namespace ProgramFiles

// The tool running in the background for the length of a test: "dcp30 simulate ..." (start()
// waits for its first line, the --port value clients use), or a command the test acts on while it
// runs (run()). The destructor ends it with SIGTERM and kills it if it does not end in time.
class ToolProcess
{
public:
    ~ToolProcess() { stop(SIGTERM); }

    // Starts the tool with arguments in directory (default: CliProcess::workDir()).
    void run(const QStringList &arguments, const QString &directory = QString())
    {
        m_process.setWorkingDirectory(directory.isEmpty() ? CliProcess::workDir() : directory);
        m_process.start(CliProcess::binary(), arguments);
        m_process.waitForStarted(10000);
    }

    // arguments: the words after "simulate". False when no first line came within 10 s.
    bool start(const QStringList &arguments)
    {
        run(QStringList{QStringLiteral("simulate")} + arguments);
        const QDeadlineTimer deadline(10000);
        while (!m_process.canReadLine() && !deadline.hasExpired() &&
               m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        if (m_process.canReadLine())
            m_where = QString::fromUtf8(m_process.readLine()).trimmed();
        return !m_where.isEmpty();
    }
    QString where() const { return m_where; }

    void signal(int signalNumber) { ::kill(pid_t(m_process.processId()), signalNumber); }
    // Waits up to timeoutMs; the exit code, or -1 when it did not end normally in time (it is
    // killed then).
    int wait(int timeoutMs)
    {
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(5000);
            return -1;
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    // Sends signalNumber to a running process and waits up to 10 s, as wait().
    int stop(int signalNumber)
    {
        if (m_process.state() != QProcess::NotRunning)
            signal(signalNumber);
        return wait(10000);
    }
    // Everything on stderr so far.
    QString errorOutput() { return QString::fromUtf8(m_err += m_process.readAllStandardError()); }

private:
    QProcess m_process;
    QString m_where;
    QByteArray m_err;
};

#endif
