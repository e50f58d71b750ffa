#include "WriteCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "OutputTarget.h"
#include "ProgramDiff.h"
#include "TransferOptions.h"
#include "WritePreflight.h"

#include <QFile>

namespace {

int fail(int status, const QString &reason)
{
    Console::error(QStringLiteral("dcp30: %1").arg(reason));
    return status;
}

void declareOptions(CommandLine &line)
{
    TransferOptions::declare(line);
    line.addOption(QStringLiteral("csv"), QStringLiteral("FILE"),
                   QStringLiteral("the program file to write (default PROG_<N>.txt)"));
    line.addOption(QStringLiteral("skip-invalid"), QString(),
                   QStringLiteral("write the valid segments and log the others, as the plugin\n"
                                  "does, instead of refusing the file"));
    line.addOption(QStringLiteral("verify"), QString(),
                   QStringLiteral("read the program back after writing and compare it cell by\n"
                                  "cell with FILE; differences are listed and end with status 1"));
}

// Reads the program back in the same session and compares the written segments with the rows
// of the file. Answers the exit status of the check.
int verify(PluginSession &session, const TransferOptions &options, const WritePreflight &written,
           const QString &source)
{
    if (written.validSegments().isEmpty()) {
        Console::error(QStringLiteral("dcp30: no segment was written, so none is verified"));
        return ExitCode::Success;
    }
    // Up to the last segment written: a read of one never written ends with the controller's
    // refusal.
    TransferOptions readBack = options;
    readBack.segments = written.validSegments().last();
    const PluginSession::Outcome outcome =
        readBack.run(session, PluginSession::Kind::Read,
                     QStringLiteral("Reading back program %1").arg(options.program));
    const int status = readBack.finish(session, PluginSession::Kind::Read, outcome);
    ProgramFile back;
    if (status != ExitCode::Success ||
        back.load(session.programFile(options.program)) != ProgramFile::LoadResult::Loaded) {
        Console::error(QStringLiteral("dcp30: the read-back of program %1 failed, so the write "
                                      "is not verified")
                           .arg(options.program));
        return qMax(status, int(ExitCode::Failed));
    }
    const QList<ProgramDiff::Difference> differences =
        ProgramDiff::compare(written.rows(), back.rows(), written.validSegments());
    for (const ProgramDiff::Difference &difference : differences)
        Console::out(
            ProgramDiff::describe(difference, QStringLiteral("wrote"), QStringLiteral("read")));
    if (!differences.isEmpty())
        return fail(ExitCode::Failed, QStringLiteral("program %1 read back differs from %2 in "
                                                     "%3 cells")
                                          .arg(options.program)
                                          .arg(source)
                                          .arg(differences.size()));
    if (!options.quiet)
        Console::error(QStringLiteral("dcp30: verified: the %1 written segments of program %2 "
                                      "read back as written")
                           .arg(written.validSegments().size())
                           .arg(options.program));
    return ExitCode::Success;
}

// Judges the loaded file against the controller's ranges. Answers -1 when the write may go on.
int judge(WritePreflight &preflight, const TransferOptions &options, const QList<qint32> &paras,
          bool skipInvalid, const QString &source)
{
    if (preflight.check(options.segments, paras) == WritePreflight::Result::Clean)
        return -1;
    if (skipInvalid) {
        // The plugin logs the invalid rows itself; the rest it would not mention.
        for (const QString &message : preflight.findings())
            Console::error(QStringLiteral("dcp30: warning: %1").arg(message));
        return -1;
    }
    preflight.print();
    return fail(ExitCode::Failed, QStringLiteral("%1 has problems, so nothing was written "
                                                 "(--skip-invalid writes the valid segments only)")
                                      .arg(source));
}

} // namespace

int WriteCommand::run(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("write"),
        {QStringLiteral("write --program N --segments M [--storage 0|1] [--port PORT] "
                        "[--retries R] [--csv FILE] [--skip-invalid] [--verify]")},
        QStringLiteral(
            "Writes segments 1 to M of program N from FILE (default PROG_<N>.txt here) into\n"
            "the controller through the plugin. FILE is first checked as \"dcp30 validate\"\n"
            "checks it, against the controller's range parameters; any problem (an invalid or\n"
            "missing row, a row shorter or longer than the header, labels out of order, a Tag\n"
            "longer than 8 characters, a cell a spreadsheet has changed) is printed and\n"
            "refuses the write, leaving the controller untouched. A file that is not UTF-16\n"
            "text or is larger than 10 MB is refused before the controller is asked anything.\n"
            "Problems of the write go to WRITE_PROG_<N>_ERROR.txt here, whose path and\n"
            "content are printed. --verify reads the program back and lists every cell that\n"
            "differs as \"SEG3 SP1: wrote 85, read 58\"."));
    TransferOptions options;
    declareOptions(line);
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

    // The file is judged before the controller is touched, as far as it can be without ranges.
    WritePreflight preflight;
    const WritePreflight::Result loaded = preflight.load(source);
    if (loaded != WritePreflight::Result::Clean)
        return fail(loaded == WritePreflight::Result::CannotOpen ? ExitCode::CannotOpen
                                                                 : ExitCode::Failed,
                    preflight.reasons().join(QLatin1Char('\n')));
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return fail(ExitCode::CannotOpen,
                    QStringLiteral("cannot open %1: %2").arg(source, file.errorString()));
    const QByteArray bytes = file.readAll();
    QString reason;
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
    const int refused =
        judge(preflight, options, paras, line.isSet(QStringLiteral("skip-invalid")), source);
    if (refused >= 0)
        return refused;

    // The plugin reads its copy from the private directory.
    OutputTarget staged;
    if (!staged.set(session.programFile(options.program), &reason) || !staged.write(bytes, &reason))
        return fail(ExitCode::CannotOpen, reason);
    const PluginSession::Outcome outcome =
        options.run(session, PluginSession::Kind::Write,
                    QStringLiteral("Writing program %1").arg(options.program));
    int status = options.finish(session, PluginSession::Kind::Write, outcome);
    if (status == ExitCode::Success && !options.quiet)
        Console::error(
            QStringLiteral("dcp30: %1 done").arg(options.describe(PluginSession::Kind::Write)));
    if (line.isSet(QStringLiteral("verify")) && outcome.status == PluginSession::Outcome::Finished)
        status = qMax(status, verify(session, options, preflight, source));
    return status;
}
