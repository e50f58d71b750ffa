#include "TransferOptions.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "LineEcho.h"
#include "MessageCenter.h"
#include "OutputTarget.h"
#include "ProgressBar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>

namespace {

// The worker's longest pause before it reads a reply: 350 ms for a block.
const int LongestPauseMs = 350;

QString kindName(PluginSession::Kind kind)
{
    return kind == PluginSession::Kind::Read ? QStringLiteral("read") : QStringLiteral("write");
}

QString logText(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

} // namespace

int TransferOptions::overallTimeoutMs(int segments, int retries, int readTimeoutMs)
{
    const qint64 exchange = LongestPauseMs + qMax(0, readTimeoutMs);
    const qint64 tries = qMax(0, retries) + 1;
    const qint64 attempt = 2 * exchange + qint64(qMax(1, segments)) * tries * exchange;
    const qint64 total = 2 * tries * attempt + 30000;
    return int(qMin<qint64>(total, 24 * 3600 * 1000));
}

void TransferOptions::declare(CommandLine &line)
{
    line.addOption(QStringLiteral("program"), QStringLiteral("N"),
                   QStringLiteral("program number, 1 to 19"));
    line.addOption(QStringLiteral("segments"), QStringLiteral("M"),
                   QStringLiteral("number of segments, 1 to 30"));
    line.addOption(QStringLiteral("storage"), QStringLiteral("0|1"),
                   QStringLiteral("storage type handed to the plugin (default 0)"));
    PortSetup::declare(line);
    line.addOption(QStringLiteral("quiet"), QString(),
                   QStringLiteral("no progress bar and no summary"));
}

bool TransferOptions::parse(CommandLine &line)
{
    quiet = line.isSet(QStringLiteral("quiet"));
    return line.intValue(QStringLiteral("program"), 1, 19, program, true) &&
           line.intValue(QStringLiteral("segments"), 1, 30, segments, true) &&
           line.intValue(QStringLiteral("storage"), 0, 1, storage) && port.parse(line);
}

int TransferOptions::timeoutMs() const
{
    const bool simulated = port.address.kind == PortAddress::Kind::Simulated;
    return overallTimeoutMs(segments, port.retries, simulated ? 0 : port.timeoutMs);
}

QString TransferOptions::describe(PluginSession::Kind kind) const
{
    const bool simulated = port.address.kind == PortAddress::Kind::Simulated;
    return QStringLiteral("%1 of program %2 (%3 segments) via %4")
        .arg(kindName(kind))
        .arg(program)
        .arg(segments)
        .arg(simulated ? QStringLiteral("the built-in simulated controller (sim)")
                       : port.address.toString());
}

PluginSession::Outcome TransferOptions::run(PluginSession &session, PluginSession::Kind kind,
                                            const QString &title,
                                            const std::function<void(int)> &progress) const
{
    ProgressBar bar(title, !quiet && Console::stderrIsTerminal());
    const PluginSession::Outcome outcome =
        session.runTransfer(kind, program, segments, storage, timeoutMs(), [&](int p) {
            bar.update(p);
            if (progress)
                progress(p);
        });
    bar.finish();
    return outcome;
}

bool TransferOptions::deliverLog(PluginSession &session, PluginSession::Kind kind,
                                 bool *failed) const
{
    QFile log(session.errorLog(kind, program));
    if (!log.exists())
        return false;
    QString reason;
    const QByteArray bytes = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    OutputTarget target;
    const QString name = QFileInfo(log.fileName()).fileName();
    if (!target.set(name, &reason) || !target.write(bytes, &reason)) {
        Console::error(QStringLiteral("dcp30: %1").arg(reason));
        *failed = true;
    } else {
        const QString label =
            QStringLiteral("error log: %1").arg(QDir::toNativeSeparators(target.path()));
        dataOnStdout ? Console::error(label) : Console::out(label);
    }
    Console::error(QStringLiteral("dcp30: the %1 of program %2 ended with errors; %3 says:")
                       .arg(kindName(kind))
                       .arg(program)
                       .arg(name));
    const QString text = logText(bytes);
    Console::error(text);
    if (text.contains(QLatin1String("File is already open.")))
        Console::error(QStringLiteral("dcp30: hint: the controller still holds program %1's file "
                                      "open from an earlier transfer; \"dcp30 close --program "
                                      "%1\" closes it")
                           .arg(program));
    return true;
}

int TransferOptions::finish(PluginSession &session, PluginSession::Kind kind,
                            const PluginSession::Outcome &outcome) const
{
    const QString name = kindName(kind);
    switch (outcome.status) {
    case PluginSession::Outcome::NotStarted:
        Console::error(QStringLiteral("dcp30: %1").arg(outcome.reason));
        return ExitCode::Failed;
    case PluginSession::Outcome::Interrupted:
        Console::error(QStringLiteral("dcp30: %1: the %2 was stopped and the controller's program "
                                      "file %3 closed")
                           .arg(outcome.signalNumber == SIGINT ? QStringLiteral("interrupted")
                                                               : QStringLiteral("terminated"),
                                name)
                           .arg(program));
        return 128 + outcome.signalNumber;
    case PluginSession::Outcome::TimedOut:
        Console::error(QStringLiteral("dcp30: the %1 did not end within %2 s; it was abandoned "
                                      "and the controller's program file %3 closed")
                           .arg(name)
                           .arg(timeoutMs() / 1000)
                           .arg(program));
        break;
    case PluginSession::Outcome::Finished:
        break;
    }
    bool failed = !outcome.ok;
    const bool logged = deliverLog(session, kind, &failed);
    if (failed)
        LineEcho::report(session.port());
    if (outcome.status == PluginSession::Outcome::Finished && !outcome.ok) {
        if (!logged && session.messageCenter()->reportCount() == 0)
            Console::error(QStringLiteral("dcp30: the %1 of program %2 ended with its error flag "
                                          "raised, but no error log was written")
                               .arg(name)
                               .arg(program));
        // A transfer that failed after its open leaves the controller's file open.
        session.closeControllerFile(program);
        Console::error(QStringLiteral("dcp30: sent the close command for program %1, so the "
                                      "controller does not keep its file open")
                           .arg(program));
    }
    return failed ? ExitCode::Failed : ExitCode::Success;
}
