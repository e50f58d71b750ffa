#include "RestoreCommand.h"

#include "BackupManifest.h"
#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "OutputTarget.h"
#include "PluginSession.h"
#include "PortSetup.h"
#include "ProgramDiff.h"
#include "ProgramFile.h"
#include "ProgramList.h"
#include "ProgramTransfer.h"
#include "RecordGeometry.h"
#include "WritePreflight.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

// One program of the backup to restore; refusal says why it is not written.
struct Item
{
    int program = 0;
    QString path;
    int segments = 0;
    QString refusal;
};

struct Restore
{
    PluginSession &session;
    const PortSetup &port;
    bool verify = false;
    bool quiet = false;
    QList<qint32> paras;
};

// The programs of a directory without a manifest: its PROG_<N>.txt files.
QList<Item> filesOf(const QDir &dir)
{
    QList<Item> items;
    const QRegularExpression name(QStringLiteral("^PROG_([1-9][0-9]?)\\.txt$"));
    for (const QString &file : dir.entryList(QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch match = name.match(file);
        const int program = match.hasMatch() ? match.captured(1).toInt() : 0;
        if (program >= 1 && program <= RecordGeometry::MaxProgram)
            items.append({program, dir.filePath(file), 0, QString()});
    }
    std::sort(items.begin(), items.end(),
              [](const Item &a, const Item &b) { return a.program < b.program; });
    return items;
}

// The programs of a manifest; those without a file only when listed.
QList<Item> entriesOf(const QDir &dir, const BackupManifest &manifest, bool listed)
{
    QList<Item> items;
    for (const BackupManifest::Entry &entry : manifest.entries) {
        Item item{entry.program, QString(), entry.segments, QString()};
        if (!entry.file.isEmpty())
            item.path = dir.filePath(entry.file);
        else if (entry.errors.isEmpty())
            item.refusal = QStringLiteral("the backup holds no program %1: it had no segment 1")
                               .arg(entry.program);
        else
            item.refusal = QStringLiteral("the backup of program %1 failed:\n%2")
                               .arg(entry.program)
                               .arg(entry.errors.join(QLatin1Char('\n')));
        if (!item.path.isEmpty() || listed)
            items << item;
    }
    return items;
}

// The segment count of a file from its rows; 0 with *refusal set when it cannot be loaded.
int rowsOf(const QString &path, QString *refusal)
{
    ProgramFile file;
    if (file.load(path) != ProgramFile::LoadResult::Loaded) {
        *refusal = QStringLiteral("cannot load %1:\n%2")
                       .arg(path, file.loaderErrors().join(QLatin1Char('\n')));
        return 0;
    }
    const int rows = file.rows().size();
    if (rows > RecordGeometry::MaxSegment)
        *refusal = QStringLiteral("%1 holds %2 segment rows, more than %3")
                       .arg(path)
                       .arg(rows)
                       .arg(RecordGeometry::MaxSegment);
    return rows;
}

// Fills in the segment count of item and refuses a file the backup does not vouch for.
void checkItem(Item &item, const BackupManifest::Entry *entry, bool force)
{
    if (!item.refusal.isEmpty())
        return;
    QFile file(item.path);
    if (!file.open(QIODevice::ReadOnly)) {
        item.refusal = QStringLiteral("cannot open %1: %2").arg(item.path, file.errorString());
        return;
    }
    const QByteArray bytes = file.readAll();
    if (entry && BackupManifest::sha256Of(bytes) == entry->sha256)
        return; // the manifest's segment count holds
    if (entry && !force) {
        item.refusal = QStringLiteral("%1 does not match its SHA-256 in %2: the backup was "
                                      "changed (--force writes it all the same)")
                           .arg(item.path, BackupManifest::fileName());
        return;
    }
    item.segments = rowsOf(item.path, &item.refusal);
}

// What to restore from directory: the manifest's programs (or the PROG_<N>.txt files without
// one), narrowed to listed when it is not empty. False with a reason when there is nothing.
bool plan(const QDir &dir, const QList<int> &listed, bool force, QList<Item> &items,
          QString *reason)
{
    BackupManifest manifest;
    const BackupManifest::LoadResult loaded = manifest.load(dir.path(), reason);
    if (loaded == BackupManifest::LoadResult::Invalid && !force) {
        *reason += QStringLiteral(" (--force restores the PROG_<N>.txt files without it)");
        return false;
    }
    const bool useManifest = loaded == BackupManifest::LoadResult::Loaded;
    const QList<Item> found =
        useManifest ? entriesOf(dir, manifest, !listed.isEmpty()) : filesOf(dir);
    items.clear();
    for (const Item &item : found) {
        if (listed.isEmpty() || listed.contains(item.program))
            items << item;
    }
    for (int program : listed) {
        auto same = [program](const Item &item) { return item.program == program; };
        if (std::none_of(items.begin(), items.end(), same))
            items.append({program, QString(), 0,
                          QStringLiteral("the backup in %1 holds no program %2")
                              .arg(QDir::toNativeSeparators(dir.path()))
                              .arg(program)});
    }
    std::sort(items.begin(), items.end(),
              [](const Item &a, const Item &b) { return a.program < b.program; });
    for (Item &item : items)
        checkItem(item, useManifest ? manifest.entry(item.program) : nullptr, force);
    if (items.isEmpty())
        *reason = QStringLiteral("%1 holds no backup: no %2 and no PROG_<N>.txt files")
                      .arg(QDir::toNativeSeparators(dir.path()), BackupManifest::fileName());
    return !items.isEmpty();
}

// The segment rows 1..segments of a program file; empty when it cannot be loaded.
QList<QStringList> segmentRows(const QString &path, int segments)
{
    ProgramFile file;
    if (file.load(path) != ProgramFile::LoadResult::Loaded)
        return {};
    return file.rows().mid(0, segments);
}

// Reads item back and compares it with its file cell by cell, as the controller stores them.
int verify(Restore &restore, const Item &item)
{
    // The staged copy of the write must not pass for what the read saved.
    QFile::remove(restore.session.programFile(item.program));
    const ProgramTransfer::Result read =
        ProgramTransfer::run(restore.session, restore.port, PluginSession::Kind::Read, item.program,
                             item.segments, restore.quiet);
    if (read.status != ExitCode::Success) {
        Console::error(QStringLiteral("dcp30: the read-back of program %1 failed:\n%2")
                           .arg(item.program)
                           .arg(read.errors.join(QLatin1Char('\n'))));
        return read.status;
    }
    const QList<ProgramDiff::Difference> differences = ProgramDiff::compare(
        segmentRows(item.path, item.segments),
        segmentRows(restore.session.programFile(item.program), item.segments), item.segments);
    for (const ProgramDiff::Difference &difference : differences)
        Console::out(QStringLiteral("program %1: %2")
                         .arg(item.program)
                         .arg(ProgramDiff::describe(difference, QStringLiteral("wrote"),
                                                    QStringLiteral("read"))));
    if (!differences.isEmpty()) {
        Console::error(QStringLiteral("dcp30: program %1 as read back differs from %2 in %3 cells")
                           .arg(item.program)
                           .arg(item.path)
                           .arg(differences.size()));
        return ExitCode::Failed;
    }
    Console::out(QStringLiteral("verified: %1")
                     .arg(QDir::toNativeSeparators(QFileInfo(item.path).absoluteFilePath())));
    return ExitCode::Success;
}

// Checks item against the controller's ranges, writes it and, when asked, reads it back.
int restoreProgram(Restore &restore, const Item &item)
{
    // Judged as "dcp30 write" judges a file: any problem refuses the program.
    WritePreflight preflight;
    WritePreflight::Result checked = preflight.load(item.path);
    if (checked == WritePreflight::Result::Clean)
        checked = preflight.check(item.segments, restore.paras);
    if (checked != WritePreflight::Result::Clean) {
        const QStringList lines = checked == WritePreflight::Result::Problems
                                      ? preflight.logLines() + preflight.findings()
                                      : preflight.reasons();
        Console::error(QStringLiteral("dcp30: %1 %2, so program %3 was not written:\n%4")
                           .arg(item.path, checked == WritePreflight::Result::Problems
                                               ? QStringLiteral("has problems")
                                               : QStringLiteral("cannot be loaded"))
                           .arg(item.program)
                           .arg(lines.join(QLatin1Char('\n'))));
        return ExitCode::Failed;
    }
    QFile source(item.path);
    const QByteArray bytes = source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
    OutputTarget staged;
    QString reason;
    if (bytes.isEmpty() || !staged.set(restore.session.programFile(item.program), &reason) ||
        !staged.write(bytes, &reason)) {
        Console::error(QStringLiteral("dcp30: cannot stage %1: %2")
                           .arg(item.path, reason.isEmpty() ? source.errorString() : reason));
        return ExitCode::CannotOpen;
    }
    const ProgramTransfer::Result written =
        ProgramTransfer::run(restore.session, restore.port, PluginSession::Kind::Write,
                             item.program, item.segments, restore.quiet);
    if (written.status != ExitCode::Success) {
        Console::error(QStringLiteral("dcp30: the write of program %1 failed:\n%2")
                           .arg(item.program)
                           .arg(written.errors.join(QLatin1Char('\n'))));
        return written.status;
    }
    Console::out(QStringLiteral("restored: %1")
                     .arg(QDir::toNativeSeparators(QFileInfo(item.path).absoluteFilePath())));
    return restore.verify ? verify(restore, item) : int(ExitCode::Success);
}

// Writes the items nothing refused; the worst exit status.
int restoreAll(const PortSetup &port, const QList<Item> &items, bool verify, bool quiet)
{
    PluginSession session;
    QString reason;
    if (!session.load(true, &reason) || !session.openPort(port, &reason)) {
        Console::error(QStringLiteral("dcp30: %1").arg(reason));
        return ExitCode::CannotOpen;
    }
    Restore restore{session, port, verify, quiet, {}};
    // Checked against what the controller holds; a range that cannot be read checks nothing.
    if (!session.readRangeParameters(restore.paras, &reason)) {
        Console::error(QStringLiteral("dcp30: the controller did not answer the read of %1 "
                                      "(range parameters), so nothing was written")
                           .arg(reason));
        return ExitCode::Failed;
    }
    int status = ExitCode::Success;
    for (const Item &item : items) {
        if (!item.refusal.isEmpty())
            continue;
        status = qMax(status, restoreProgram(restore, item));
        if (status > ExitCode::CannotOpen)
            break; // interrupted: the driver is gone
    }
    return status;
}

} // namespace

int RestoreCommand::run(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("restore"),
        {QStringLiteral("restore --dir DIR [--programs LIST] [--port PORT] [--verify] "
                        "[--force]")},
        QStringLiteral(
            "Writes the programs of a backup made by \"dcp30 backup\" back into the\n"
            "controller: those in DIR/manifest.json (without one, every PROG_<N>.txt in DIR),\n"
            "each with the segment count of the manifest (or the file's rows) and checked as\n"
            "\"dcp30 write\" checks it. A file that no longer matches its SHA-256 in the\n"
            "manifest is refused. --verify reads every program back and compares."));
    line.addOption(QStringLiteral("dir"), QStringLiteral("DIR"), QStringLiteral("the backup"));
    line.addOption(QStringLiteral("programs"), QStringLiteral("LIST"),
                   QStringLiteral("programs to restore, e.g. 1,3,5-7 (default: all of DIR)"));
    PortSetup::declare(line);
    line.addOption(QStringLiteral("verify"), QString(),
                   QStringLiteral("read every program back and compare it with its file"));
    line.addOption(QStringLiteral("force"), QString(),
                   QStringLiteral("write files that do not match the manifest"));
    line.addOption(QStringLiteral("quiet"), QString(), QStringLiteral("no progress bar"));
    const int parsed = line.parseCommand(arguments);
    if (parsed >= 0)
        return parsed;
    const QString dir = line.value(QStringLiteral("dir"));
    if (!line.isSet(QStringLiteral("dir")) || dir.isEmpty())
        return line.badArguments(QStringLiteral("--dir DIR is required"));
    QList<int> listed;
    QString reason;
    if (line.isSet(QStringLiteral("programs")) &&
        !ProgramList::parse(line.value(QStringLiteral("programs")), listed, &reason))
        return line.badArguments(QStringLiteral("--programs: %1").arg(reason));
    PortSetup port;
    if (!port.parse(line))
        return line.badArguments();
    if (!QDir(dir).exists()) {
        Console::error(QStringLiteral("dcp30: cannot open %1: no such directory").arg(dir));
        return ExitCode::CannotOpen;
    }
    QList<Item> items;
    if (!plan(QDir(dir), listed, line.isSet(QStringLiteral("force")), items, &reason)) {
        Console::error(QStringLiteral("dcp30: %1").arg(reason));
        return ExitCode::Failed;
    }
    int status = ExitCode::Success;
    for (const Item &item : qAsConst(items)) {
        if (!item.refusal.isEmpty()) {
            Console::error(QStringLiteral("dcp30: program %1 refused: %2")
                               .arg(item.program)
                               .arg(item.refusal));
            status = ExitCode::Failed;
        }
    }
    auto writable = [](const Item &item) { return item.refusal.isEmpty(); };
    if (std::any_of(items.begin(), items.end(), writable))
        status = qMax(status, restoreAll(port, items, line.isSet(QStringLiteral("verify")),
                                         line.isSet(QStringLiteral("quiet"))));
    return status;
}
