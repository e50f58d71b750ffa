#include "SimulatorProcess.h"

#include "CliProcess.h"

#include <QDeadlineTimer>

#include <csignal>

SimulatorProcess::~SimulatorProcess()
{
    if (m_process.state() != QProcess::NotRunning)
        stop(SIGTERM);
}

bool SimulatorProcess::start(const QStringList &arguments)
{
    m_process.start(CliProcess::binary(), QStringList{QStringLiteral("simulate")} + arguments);
    if (!m_process.waitForStarted(10000))
        return false;
    const QDeadlineTimer deadline(10000);
    while (!m_process.canReadLine() && !deadline.hasExpired() &&
           m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    if (!m_process.canReadLine())
        return false;
    m_where = QString::fromUtf8(m_process.readLine()).trimmed();
    return !m_where.isEmpty();
}

int SimulatorProcess::stop(int signalNumber)
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    ::kill(pid_t(m_process.processId()), signalNumber);
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
        return -1;
    }
    m_err += m_process.readAllStandardError();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString SimulatorProcess::errorOutput()
{
    m_err += m_process.readAllStandardError();
    return QString::fromUtf8(m_err);
}
