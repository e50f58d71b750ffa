#include "WriteCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "OutputTarget.h"
#include "ProgressBar.h"
#include "TransferOptions.h"
#include "WritePreflight.h"

#include <QFile>
#include <QFileInfo>

namespace {

// A program file is a few kilobytes; anything far larger is not one.
const qint64 MaxProgramFileBytes = 10 * 1024 * 1024;

int fail(int status, const QString &reason)
{
    Console::error(QStringLiteral("dcp30: %1").arg(reason));
    return status;
}

// The user's file as bytes, refused when it is not a regular file or far too large.
bool readSource(const QString &name, QByteArray &bytes, QString *reason)
{
    const QFileInfo info(name);
    if (!info.isFile()) {
        *reason = QStringLiteral("cannot open %1: %2")
                      .arg(name, info.exists() ? QStringLiteral("not a file")
                                               : QStringLiteral("no such file"));
        return false;
    }
    if (info.size() > MaxProgramFileBytes) {
        *reason = QStringLiteral("%1 is %2 bytes, far larger than any program file (at most "
                                 "%3 bytes are taken); is it the right file?")
                      .arg(name)
                      .arg(info.size())
                      .arg(MaxProgramFileBytes);
        return false;
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("cannot open %1: %2").arg(name, file.errorString());
        return false;
    }
    bytes = file.readAll();
    return true;
}

} // namespace

int WriteCommand::run(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("write"),
        {QStringLiteral("write --program N --segments M [--storage 0|1] [--port PORT] "
                        "[--retries R] [--csv FILE] [--skip-invalid]")},
        QStringLiteral(
            "Writes segments 1 to M of program N from FILE (default PROG_<N>.txt here) into\n"
            "the controller through the plugin. FILE is first checked as \"dcp30 validate\"\n"
            "checks it, against the controller's range parameters; any problem refuses the\n"
            "write and leaves the controller untouched. Problems of the write go to\n"
            "WRITE_PROG_<N>_ERROR.txt here, whose path and content are printed."));
    TransferOptions options;
    TransferOptions::declare(line);
    line.addOption(QStringLiteral("csv"), QStringLiteral("FILE"),
                   QStringLiteral("the program file to write (default PROG_<N>.txt)"));
    line.addOption(QStringLiteral("skip-invalid"), QString(),
                   QStringLiteral("write the valid segments and log the others, as the plugin\n"
                                  "does, instead of refusing the file"));
    const int parsed = line.parseCommand(arguments);
    if (parsed >= 0)
        return parsed;
    if (!options.parse(line))
        return line.badArguments();
    const QString source = line.isSet(QStringLiteral("csv"))
                               ? line.value(QStringLiteral("csv"))
                               : QStringLiteral("PROG_%1.txt").arg(options.program);
    if (source.isEmpty())
        return line.badArguments(QStringLiteral("--csv needs a file name"));

    QByteArray bytes;
    QString reason;
    if (!readSource(source, bytes, &reason))
        return fail(ExitCode::CannotOpen, reason);
    PluginSession session;
    if (!session.load(true, &reason) || !session.openPort(options.port, &reason))
        return fail(ExitCode::CannotOpen, reason);

    // Checked against what the controller holds; a range that cannot be read checks nothing.
    QList<qint32> paras;
    if (!session.readRangeParameters(paras, &reason))
        return fail(ExitCode::Failed,
                    QStringLiteral("the controller did not answer the read of %1 (range "
                                   "parameters), so %2 cannot be checked; nothing was written")
                        .arg(reason, source));
    QStringList lines;
    const WritePreflight::Result checked =
        WritePreflight::check(source, options.segments, paras, &lines);
    if (checked == WritePreflight::Result::CannotLoad)
        return fail(
            ExitCode::Failed,
            QStringLiteral("cannot load %1:\n%2").arg(source, lines.join(QLatin1Char('\n'))));
    if (checked == WritePreflight::Result::Problems &&
        !line.isSet(QStringLiteral("skip-invalid"))) {
        for (const QString &text : qAsConst(lines))
            Console::out(text);
        return fail(ExitCode::Failed,
                    QStringLiteral("%1 has problems, so nothing was written (--skip-invalid "
                                   "writes the valid segments only)")
                        .arg(source));
    }

    // The plugin reads its copy from the private directory.
    OutputTarget staged;
    if (!staged.set(session.programFile(options.program), &reason) || !staged.write(bytes, &reason))
        return fail(ExitCode::CannotOpen, reason);
    ProgressBar bar(QStringLiteral("Writing program %1").arg(options.program),
                    !options.quiet && Console::stderrIsTerminal());
    const PluginSession::Outcome outcome =
        session.runTransfer(PluginSession::Kind::Write, options.program, options.segments,
                            options.storage, options.timeoutMs(), [&](int p) { bar.update(p); });
    bar.finish();
    const int status = options.finish(session, PluginSession::Kind::Write, outcome);
    if (status == ExitCode::Success && !options.quiet)
        Console::error(
            QStringLiteral("dcp30: %1 done").arg(options.describe(PluginSession::Kind::Write)));
    return status;
}
