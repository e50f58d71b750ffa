#include "ReadCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "OutputTarget.h"
#include "ProgramDiff.h"
#include "ProgramFile.h"
#include "TransferOptions.h"

#include <QDir>
#include <QFile>

namespace {

// The bytes of the program file the plugin saved in this run; empty when it saved none.
QByteArray savedProgram(const PluginSession &session, int program)
{
    QFile file(session.programFile(program));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The segment rows of a program file the plugin saved; empty when it cannot be loaded.
QList<QStringList> savedRows(const PluginSession &session, int program)
{
    ProgramFile file;
    return file.load(session.programFile(program)) == ProgramFile::LoadResult::Loaded
               ? file.rows()
               : QList<QStringList>();
}

// Reads the program a second time and compares it with the first read, whose rows are first.
// Answers the exit status of the check; differences are listed on the stream the labelled
// lines use.
int verify(PluginSession &session, const TransferOptions &options, const QList<QStringList> &first)
{
    const PluginSession::Outcome outcome =
        options.run(session, PluginSession::Kind::Read,
                    QStringLiteral("Reading program %1 again").arg(options.program));
    const int status = options.finish(session, PluginSession::Kind::Read, outcome);
    const QList<QStringList> second = savedRows(session, options.program);
    if (status != ExitCode::Success || first.isEmpty() || second.isEmpty()) {
        Console::error(QStringLiteral("dcp30: the second read of program %1 failed, so the read "
                                      "is not verified")
                           .arg(options.program));
        return qMax(status, int(ExitCode::Failed));
    }
    const QList<ProgramDiff::Difference> differences =
        ProgramDiff::compare(first, second, options.segments);
    for (const ProgramDiff::Difference &difference : differences) {
        const QString text = ProgramDiff::describe(difference, QStringLiteral("first read"),
                                                   QStringLiteral("second read"));
        options.dataOnStdout ? Console::error(text) : Console::out(text);
    }
    if (differences.isEmpty())
        return ExitCode::Success;
    Console::error(QStringLiteral("dcp30: two reads of program %1 differ in %2 cells; the line "
                                  "may be damaging replies")
                       .arg(options.program)
                       .arg(differences.size()));
    return ExitCode::Failed;
}

// Says why FILE was not replaced; answers the exit status.
int leftAlone(const QString &out, bool nothingSaved, bool readOk, int status)
{
    const QString why = nothingSaved ? QStringLiteral("no program file was saved")
                        : readOk     ? QStringLiteral("the reads differ (--keep-partial hands over "
                                                          "the first)")
                                     : QStringLiteral("the read failed (--keep-partial hands over "
                                                          "what it saved)");
    Console::error(QStringLiteral("dcp30: %1 was left as it was: %2").arg(out, why));
    return qMax(status, int(ExitCode::Failed));
}

int cannotWrite(const QString &reason)
{
    Console::error(QStringLiteral("dcp30: %1").arg(reason));
    return ExitCode::CannotOpen;
}

} // namespace

int ReadCommand::run(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("read"),
        {QStringLiteral("read --program N --segments M [--storage 0|1] [--port PORT] "
                        "[--retries R] [--out FILE|-] [--keep-partial] [--verify]")},
        QStringLiteral(
            "Reads segments 1 to M of program N out of the controller through the plugin\n"
            "into FILE (default PROG_<N>.txt here; - for standard output). FILE is replaced\n"
            "only by a read that ended clean. Problems go to READ_PROG_<N>_ERROR.txt here,\n"
            "whose path and content are printed. --verify reads the program twice and\n"
            "compares the reads cell by cell (the line has no check characters, so a damaged\n"
            "digit is a wrong value): differences are listed as \"SEG3 SP1: first read 85,\n"
            "second read 58\", end with status 1 and leave FILE as it was."));
    TransferOptions options;
    TransferOptions::declare(line);
    line.addOption(QStringLiteral("out"), QStringLiteral("FILE"),
                   QStringLiteral("where the program goes (default PROG_<N>.txt; - for stdout)"));
    line.addOption(QStringLiteral("keep-partial"), QString(),
                   QStringLiteral("also hand over what a failed read saved, or the first of\n"
                                  "two reads that differ"));
    line.addOption(QStringLiteral("verify"), QString(),
                   QStringLiteral("read twice and compare; differences end with status 1"));
    const int parsed = line.parseCommand(arguments);
    if (parsed >= 0)
        return parsed;
    if (!options.parse(line))
        return line.badArguments();
    const QString out = line.isSet(QStringLiteral("out"))
                            ? line.value(QStringLiteral("out"))
                            : QStringLiteral("PROG_%1.txt").arg(options.program);
    if (out.isEmpty())
        return line.badArguments(QStringLiteral("--out needs a file name"));

    // The target is checked before the controller is touched, so a typing error costs nothing.
    OutputTarget target;
    QString reason;
    if (!target.set(out, &reason))
        return cannotWrite(reason);
    options.dataOnStdout = target.kind() == OutputTarget::Kind::StandardOutput;
    PluginSession session;
    if (!session.load(false, &reason) || !session.openPort(options.port, &reason))
        return cannotWrite(reason);

    const PluginSession::Outcome outcome =
        options.run(session, PluginSession::Kind::Read,
                    QStringLiteral("Reading program %1").arg(options.program));
    int status = options.finish(session, PluginSession::Kind::Read, outcome);
    if (status > ExitCode::CannotOpen)
        return status; // interrupted: nothing is handed over

    const QByteArray program = savedProgram(session, options.program);
    if (outcome.ok && line.isSet(QStringLiteral("verify"))) {
        status = verify(session, options, savedRows(session, options.program));
        if (status > ExitCode::CannotOpen)
            return status;
    }
    const bool wanted =
        (outcome.ok && status == ExitCode::Success) || line.isSet(QStringLiteral("keep-partial"));
    if (program.isEmpty() || !wanted)
        return leftAlone(out, program.isEmpty(), outcome.ok, status);
    if (!target.write(program, &reason))
        return cannotWrite(reason);
    const QString where = QDir::toNativeSeparators(target.path());
    if (target.kind() == OutputTarget::Kind::StandardOutput)
        Console::error(QStringLiteral("dcp30: program file written to standard output"));
    else
        Console::out(QStringLiteral("program file: %1").arg(where));
    if (status == ExitCode::Success && !options.quiet)
        Console::error(
            QStringLiteral("dcp30: %1 done").arg(options.describe(PluginSession::Kind::Read)));
    return status;
}
