#include "TransferRunner.h"

#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "PluginSession.h"
#include "PortSetup.h"
#include "ProgramDiff.h"
#include "ProgramFile.h"
#include "ProgramProbe.h"
#include "ProgramTransfer.h"
#include "WritePreflight.h"

namespace {

QString kindName(bool reading)
{
    return reading ? QStringLiteral("read") : QStringLiteral("write");
}

} // namespace

TransferRunner::TransferRunner(QObject *parent) : QObject(parent) {}

// The session goes on this thread, where it was made: unloading waits for the driver's worker.
TransferRunner::~TransferRunner() = default;

void TransferRunner::fail(const QString &summary, const QStringList &details)
{
    m_cancel.store(false);
    handOver();
    emit finished(false, summary, details);
}

bool TransferRunner::connectSession(const QString &portText, QString *reason)
{
    auto port = std::make_unique<PortSetup>();
    if (!PortAddress::parse(portText.trimmed(), port->address, reason))
        return false;
    auto session = std::make_unique<PluginSession>();
    if (!session->load(true, reason) || !session->openPort(*port, reason))
        return false;
    m_session = std::move(session);
    m_port = std::move(port);
    m_name = m_port->address.kind == PortAddress::Kind::Simulated
                 ? QStringLiteral("the built-in simulated controller (sim)")
                 : m_port->address.toString();
    return true;
}

void TransferRunner::connectTo(const QString &portText)
{
    handOver();
    disconnectFrom();
    QString reason;
    if (!connectSession(portText, &reason)) {
        fail(tr("Cannot connect to %1").arg(portText), {reason});
        return;
    }
    QList<qint32> paras;
    QString failed;
    const bool ranges = m_session->readRangeParameters(paras, &failed);
    handOver();
    emit connected(m_name, ranges ? paras : QList<qint32>());
    m_cancel.store(false);
    handOver();
    emit finished(true,
                  ranges
                      ? tr("Connected to %1; its range parameters check the program.").arg(m_name)
                      : tr("Connected to %1, which did not answer the read of %2: the range "
                           "parameters entered by hand check the program.")
                            .arg(m_name, failed),
                  {});
}

void TransferRunner::disconnectFrom()
{
    if (!m_session)
        return;
    m_session.reset();
    m_port.reset();
    handOver();
    emit disconnected();
}

bool TransferRunner::transfer(bool reading, int program, int segments, const QString &stage,
                              QStringList *details)
{
    const auto sessionKind = reading ? PluginSession::Kind::Read : PluginSession::Kind::Write;
    const ProgramTransfer::Result result = ProgramTransfer::run(
        *m_session, *m_port, sessionKind, program, segments, true, [&](int percent) {
            handOver();
            emit progressed(stage, percent);
            if (m_cancel.load())
                m_session->stop();
        });
    QString reason;
    // A stopped or abandoned transfer took its driver with it; without a new one the connection
    // is over.
    if (result.sessionOver && !m_session->load(true, &reason)) {
        *details << reason;
        disconnectFrom();
    }
    if (result.status == 0)
        return true;
    *details = result.errors + *details;
    return false;
}

void TransferRunner::readProgram(int program)
{
    handOver();
    if (!m_session)
        return fail(tr("Not connected to a controller"), {});
    handOver();
    emit progressed(tr("Finding the length of program %1").arg(program), 0);
    ProgramProbe probe(m_session->port(), m_port->retries);
    probe.setStopCheck([this] { return m_cancel.load(); });
    int segments = 0;
    switch (probe.probe(program, &segments)) {
    case ProgramProbe::Result::Found:
        break;
    case ProgramProbe::Result::NoProgram:
        return fail(tr("Program %1 holds no segments on %2").arg(program).arg(m_name), {});
    case ProgramProbe::Result::Stopped:
        return fail(tr("The read of program %1 was cancelled").arg(program), {});
    case ProgramProbe::Result::Failed:
        return fail(tr("The length of program %1 could not be found").arg(program), probe.errors());
    }
    QStringList details;
    if (!transfer(true, program, segments, tr("Reading program %1").arg(program), &details))
        return fail(failedSummary(true, program), details);
    KCSVLoader loader;
    const bool opened = loader.openFile(m_session->programFile(program));
    const QList<QStringList> table = loader.loadedData();
    if (!opened || table.isEmpty())
        return fail(tr("The program file of the read cannot be loaded"), loader.errorMessageList());
    handOver();
    emit programRead(program, table);
    m_cancel.store(false);
    handOver();
    emit finished(
        true, tr("Read program %1 (%2 segments) from %3").arg(program).arg(segments).arg(m_name),
        {});
}

QString TransferRunner::failedSummary(bool reading, int program) const
{
    if (m_cancel.load())
        return tr("The %1 of program %2 was cancelled; the controller's program file was closed")
            .arg(kindName(reading))
            .arg(program);
    return tr("The %1 of program %2 failed; the close command was sent, so the controller does "
              "not keep its file open")
        .arg(kindName(reading))
        .arg(program);
}

bool TransferRunner::stage(int program, const QList<QStringList> &table, QStringList *details)
{
    // The plugin reads the program from its own directory, as the tool hands it a copy.
    KCSVSaver saver;
    if (saver.saveFile(table, m_session->programFile(program)))
        return true;
    *details = saver.errorMessageList();
    return false;
}

bool TransferRunner::preflight(int program, int segments, QList<int> *validSegments,
                               QStringList *details)
{
    WritePreflight check;
    if (check.load(m_session->programFile(program)) != WritePreflight::Result::Clean) {
        *details = check.reasons();
        return false;
    }
    // Checked against what the controller holds; a range that cannot be read checks nothing.
    QList<qint32> paras;
    QString failed;
    if (!m_session->readRangeParameters(paras, &failed)) {
        *details << tr("the controller did not answer the read of %1 (range parameters), so the "
                       "program cannot be checked")
                        .arg(failed);
        return false;
    }
    if (check.check(segments, paras) != WritePreflight::Result::Clean) {
        *details = check.logLines();
        for (const QString &finding : check.findings())
            *details << QStringLiteral("problem: %1").arg(finding);
        return false;
    }
    *validSegments = check.validSegments();
    return true;
}

void TransferRunner::writeProgram(int program, const QList<QStringList> &table, bool verify)
{
    handOver();
    if (!m_session)
        return fail(tr("Not connected to a controller"), {});
    const int segments = table.size() - 1;
    if (segments < 1 || segments > 30)
        return fail(tr("A program has 1 to 30 segments, not %1; nothing was written").arg(segments),
                    {});
    handOver();
    emit progressed(tr("Checking program %1").arg(program), 0);
    QStringList details;
    QList<int> written;
    if (!stage(program, table, &details) || !preflight(program, segments, &written, &details))
        return fail(tr("The program has problems, so nothing was written"), details);
    if (m_cancel.load())
        return fail(tr("The write of program %1 was cancelled before it began").arg(program), {});
    if (!transfer(false, program, segments, tr("Writing program %1").arg(program), &details))
        return fail(failedSummary(false, program), details);
    const QList<QStringList> rows = table.mid(1);
    if (verify && !verified(program, rows, written, &details))
        return fail(tr("Program %1 was written, but the read-back differs").arg(program), details);
    m_cancel.store(false);
    handOver();
    emit finished(true,
                  tr("Wrote program %1 (%2 segments) to %3%4")
                      .arg(program)
                      .arg(segments)
                      .arg(m_name, verify ? tr("; the read-back matches") : QString()),
                  {});
}

bool TransferRunner::verified(int program, const QList<QStringList> &rows,
                              const QList<int> &segments, QStringList *details)
{
    // Up to the last segment written: a read of one never written ends with the controller's
    // refusal.
    if (!transfer(true, program, segments.last(), tr("Reading back program %1").arg(program),
                  details))
        return false;
    ProgramFile back;
    if (back.load(m_session->programFile(program)) != ProgramFile::LoadResult::Loaded) {
        *details = back.loaderErrors();
        return false;
    }
    for (const ProgramDiff::Difference &difference :
         ProgramDiff::compare(rows, back.rows(), segments))
        *details << ProgramDiff::describe(difference, QStringLiteral("wrote"),
                                          QStringLiteral("read"));
    return details->isEmpty();
}
