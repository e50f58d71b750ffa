#ifndef SIMULATORPROCESS_H
#define SIMULATORPROCESS_H

#include <QProcess>
#include <QString>
#include <QStringList>

// "dcp30 simulate ..." running in the background for the length of a test. start() waits (up
// to a bound) for the first line, the --port value clients use; the destructor ends the
// simulator with SIGTERM and kills it if it does not end in time.
class SimulatorProcess
{
public:
    SimulatorProcess() = default;
    ~SimulatorProcess();

    // arguments: the words after "simulate". False when no first line came within 10 s.
    bool start(const QStringList &arguments);
    QString where() const { return m_where; }

    // Sends signalNumber and waits up to 10 s; the exit code, or -1 when it did not end normally.
    int stop(int signalNumber);
    QString errorOutput();

private:
    QProcess m_process;
    QString m_where;
    QByteArray m_err;
};

#endif
