#include "BackupCommand.h"

#include "BackupManifest.h"
#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "OutputTarget.h"
#include "ParallelBackup.h"
#include "PluginSession.h"
#include "PortSetup.h"
#include "ProgramList.h"
#include "ProgramProbe.h"
#include "ProgramTransfer.h"
#include "SignalWatcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

// What the backup of one controller shares from program to program.
struct Backup
{
    PluginSession &session;
    const PortSetup &port;
    QDir dir;
    bool quiet = false;
    int signalNumber = 0;     // SIGINT or SIGTERM once received
    bool sessionOver = false; // a read did not end: its driver was unloaded
};

int worse(int status, int other)
{
    return qMax(status, other);
}
// Reads segments 1..entry.segments through the plugin and saves them into the backup; the
// exit status, with entry.errors filled.
int readAndSave(Backup &backup, BackupManifest::Entry &entry)
{
    const int program = entry.program;
    const ProgramTransfer::Result read =
        ProgramTransfer::run(backup.session, backup.port, PluginSession::Kind::Read, program,
                             entry.segments, backup.quiet);
    entry.errors << read.errors;
    if (read.signalNumber != 0)
        backup.signalNumber = read.signalNumber;
    backup.sessionOver = read.sessionOver;
    if (read.status != ExitCode::Success)
        return read.status;
    QFile saved(backup.session.programFile(program));
    const QByteArray bytes = saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
    if (bytes.isEmpty()) {
        entry.errors << QStringLiteral("the plugin saved no program file");
        return ExitCode::Failed;
    }
    OutputTarget target;
    QString reason;
    const QString name = QStringLiteral("PROG_%1.txt").arg(program);
    if (!target.set(backup.dir.filePath(name), &reason) || !target.write(bytes, &reason)) {
        entry.errors << reason;
        return ExitCode::CannotOpen;
    }
    entry.file = name;
    entry.sha256 = BackupManifest::sha256Of(bytes);
    Console::out(QStringLiteral("program file: %1").arg(QDir::toNativeSeparators(target.path())));
    return ExitCode::Success;
}

// The probe's problems, told apart from the read's error log lines.
QStringList probeErrors(const ProgramProbe &probe)
{
    QStringList lines;
    for (const QString &line : probe.errors())
        lines << QStringLiteral("probe: ") + line;
    return lines;
}

int backupProgram(Backup &backup, ProgramProbe &probe, BackupManifest::Entry &entry)
{
    const int program = entry.program;
    switch (probe.probe(program, &entry.segments)) {
    case ProgramProbe::Result::Stopped:
        entry.errors << QStringLiteral("the backup was interrupted");
        return 128 + backup.signalNumber;
    case ProgramProbe::Result::NoProgram:
        Console::error(QStringLiteral("dcp30: program %1 has no segment 1; skipped").arg(program));
        return ExitCode::Success;
    case ProgramProbe::Result::Failed:
        entry.errors << probeErrors(probe);
        Console::error(QStringLiteral("dcp30: the segment count of program %1 could not be "
                                      "found:\n%2")
                           .arg(program)
                           .arg(probe.errors().join(QLatin1Char('\n'))));
        return ExitCode::Failed;
    case ProgramProbe::Result::Found:
        break;
    }
    entry.errors << probeErrors(probe); // repeats that succeeded in the end
    const int status = readAndSave(backup, entry);
    if (status != ExitCode::Success)
        Console::error(QStringLiteral("dcp30: the backup of program %1 (%2 segments) failed:\n%3")
                           .arg(program)
                           .arg(entry.segments)
                           .arg(entry.errors.join(QLatin1Char('\n'))));
    else if (!backup.quiet)
        Console::error(
            QStringLiteral("dcp30: program %1: %2 segments").arg(program).arg(entry.segments));
    return status;
}

int saveManifest(const BackupManifest &manifest, const QDir &dir)
{
    OutputTarget target;
    QString reason;
    if (!target.set(dir.filePath(BackupManifest::fileName()), &reason) ||
        !target.write(manifest.toJson(), &reason)) {
        Console::error(QStringLiteral("dcp30: %1").arg(reason));
        return ExitCode::CannotOpen;
    }
    Console::out(QStringLiteral("manifest: %1").arg(QDir::toNativeSeparators(target.path())));
    return ExitCode::Success;
}

// The backup of the controller at port into directory.
int backupController(const PortSetup &port, const QString &directory, const QList<int> &programs,
                     bool quiet)
{
    QDir dir(directory);
    if (!QDir().mkpath(directory) || !dir.exists()) {
        Console::error(QStringLiteral("dcp30: cannot make the directory %1").arg(directory));
        return ExitCode::CannotOpen;
    }
    BackupManifest manifest;
    manifest.version = QStringLiteral(DCP30_VERSION);
    manifest.port = port.address.toString();
    manifest.date = BackupManifest::nowUtc();
    PluginSession session;
    QString reason;
    if (!session.load(false, &reason) || !session.openPort(port, &reason)) {
        Console::error(QStringLiteral("dcp30: %1").arg(reason));
        return ExitCode::CannotOpen;
    }
    Backup backup{session, port, dir, quiet};
    SignalWatcher interrupts;
    QObject::connect(&interrupts, &SignalWatcher::signalled,
                     [&backup](int number) { backup.signalNumber = number; });
    ProgramProbe probe(session.port(), port.retries);
    probe.setStopCheck([&backup] {
        QCoreApplication::processEvents();
        return backup.signalNumber != 0;
    });
    int status = ExitCode::Success;
    for (int program : programs) {
        BackupManifest::Entry entry;
        entry.program = program;
        if (backup.signalNumber != 0)
            entry.errors << QStringLiteral("not read: the backup was interrupted");
        else if (backup.sessionOver)
            entry.errors << QStringLiteral("not read: an earlier read did not end");
        else
            status = worse(status, backupProgram(backup, probe, entry));
        manifest.entries << entry;
    }
    // Written also after a failure or an interrupt: it says which files are this backup's.
    status = worse(status, saveManifest(manifest, dir));
    return backup.signalNumber != 0 ? 128 + backup.signalNumber : status;
}

} // namespace

int BackupCommand::run(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("backup"),
        {QStringLiteral("backup --dir DIR [--programs LIST] [--port PORT]... [--retries R]")},
        QStringLiteral(
            "Reads every listed program (default 1-19) out of the controller into DIR as\n"
            "PROG_<N>.txt, as \"dcp30 read\" would, skipping programs without segment 1, and\n"
            "describes the backup in DIR/manifest.json (port, date, per program its segment\n"
            "count, the file's SHA-256 and the read's errors). Each program's segment count\n"
            "is found first with a few block reads. A file is replaced only by a complete\n"
            "new one. Several --port options back up several controllers at the same time,\n"
            "each into DIR/<port name>/ with its own manifest."));
    line.addOption(QStringLiteral("dir"), QStringLiteral("DIR"),
                   QStringLiteral("the backup directory (made when missing)"));
    line.addOption(QStringLiteral("programs"), QStringLiteral("LIST"),
                   QStringLiteral("programs to back up, e.g. 1,3,5-7 (default 1-19)"));
    PortSetup::declare(line);
    line.addOption(QStringLiteral("quiet"), QString(),
                   QStringLiteral("no progress bar and no summary"));
    const int parsed = line.parseCommand(arguments);
    if (parsed >= 0)
        return parsed;
    const QString dir = line.value(QStringLiteral("dir"));
    if (!line.isSet(QStringLiteral("dir")) || dir.isEmpty())
        return line.badArguments(QStringLiteral("--dir DIR is required"));
    QList<int> programs;
    QString reason;
    const QString list = line.isSet(QStringLiteral("programs"))
                             ? line.value(QStringLiteral("programs"))
                             : QStringLiteral("1-19");
    if (!ProgramList::parse(list, programs, &reason))
        return line.badArguments(QStringLiteral("--programs: %1").arg(reason));
    const QStringList ports = line.values(QStringLiteral("port"));
    if (ports.size() > 1)
        return ParallelBackup::run(line, arguments, dir, ports);
    PortSetup port;
    if (!port.parse(line))
        return line.badArguments();
    return backupController(port, dir, programs, line.isSet(QStringLiteral("quiet")));
}
