#include "ProgramTransfer.h"

#include "ExitCode.h"
#include "MessageCenter.h"
#include "PortSetup.h"
#include "TransferOptions.h"

#include <QFile>

namespace {

QStringList logLines(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    lines.removeAll(QString());
    return lines;
}

} // namespace

ProgramTransfer::Result ProgramTransfer::run(PluginSession &session, const PortSetup &port,
                                             PluginSession::Kind kind, int program, int segments,
                                             bool quiet, const std::function<void(int)> &progress)
{
    const bool reading = kind == PluginSession::Kind::Read;
    const QString name = reading ? QStringLiteral("read") : QStringLiteral("write");
    const int reportsBefore = session.messageCenter()->reportCount();
    TransferOptions options;
    options.program = program;
    options.segments = segments;
    options.port = port;
    options.quiet = quiet;
    const PluginSession::Outcome outcome =
        options.run(session, kind,
                    QStringLiteral("%1 program %2")
                        .arg(reading ? QStringLiteral("Reading") : QStringLiteral("Writing"))
                        .arg(program),
                    progress);
    Result result;
    result.errors << logLines(session.errorLog(kind, program));
    result.errors << session.messageCenter()->reports().mid(reportsBefore);
    result.status = outcome.ok ? ExitCode::Success : ExitCode::Failed;
    switch (outcome.status) {
    case PluginSession::Outcome::Interrupted:
        result.signalNumber = outcome.signalNumber;
        result.status = 128 + outcome.signalNumber;
        result.sessionOver = true;
        result.errors << QStringLiteral("the %1 was interrupted").arg(name);
        break;
    case PluginSession::Outcome::NotStarted:
        result.errors << outcome.reason;
        break;
    case PluginSession::Outcome::TimedOut:
        result.sessionOver = true;
        result.errors << QStringLiteral("the %1 did not end within %2 s")
                             .arg(name)
                             .arg(options.timeoutMs() / 1000);
        break;
    case PluginSession::Outcome::Finished:
        // A transfer that failed after its open leaves the controller's file open.
        if (!outcome.ok)
            session.closeControllerFile(program);
        break;
    }
    return result;
}
