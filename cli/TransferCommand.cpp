#include "TransferCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "DriverInterface.h"
#include "ExitCode.h"
#include "FileSnapshot.h"
#include "MessageCenter.h"
#include "PluginHost.h"
#include "PollingThread.h"
#include "PortObject.h"
#include "PortSetup.h"
#include "ProgressBar.h"
#include "TrackingPort.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

namespace {

// How often the tool reads the progress and flag tags, like a screen refreshing.
const int PollIntervalMs = 50;
// The worker's fixed pauses before it reads a reply: open and close 300 ms, a block 350 ms.
const int LongestPauseMs = 350;
// How long the worker and the event loop may take to finish reporting after the flag dropped.
const int SettleTimeoutMs = 5000;

struct Outcome
{
    enum Kind { Finished, NotStarted, TimedOut };
    Kind kind = NotStarted;
    bool errorFlag = false;
    QString reason;
};

// Copies source over target as one step: target is either the old file or the new one.
bool copyWhole(const QString &source, const QString &target, QString *error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1: %2").arg(source, in.errorString());
        return false;
    }
    const QByteArray bytes = in.readAll();
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(target, out.errorString());
        return false;
    }
    return true;
}

QString readLog(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

} // namespace

int TransferCommand::overallTimeoutMs(int segments, int retries, int readTimeoutMs)
{
    const qint64 exchange = LongestPauseMs + qMax(0, readTimeoutMs);
    const qint64 tries = qMax(0, retries) + 1;
    const qint64 attempt = 2 * exchange + qint64(qMax(1, segments)) * tries * exchange;
    const qint64 total = 2 * tries * attempt + 30000;
    return int(qMin<qint64>(total, 24 * 3600 * 1000));
}

int TransferCommand::run(Direction direction, const QStringList &arguments)
{
    const bool reading = direction == Direction::Read;
    const QString name = reading ? QStringLiteral("read") : QStringLiteral("write");
    const QString fileOption = reading ? QStringLiteral("out") : QStringLiteral("csv");
    CommandLine line(
        name,
        {name + QStringLiteral(" --program N --segments M [--storage 0|1] [--port PORT] "
                               "[--retries R] [--%1 FILE]")
                    .arg(fileOption)},
        reading ? QStringLiteral(
                      "Reads segments 1 to M of program N out of the controller through the\n"
                      "plugin, which saves them as PROG_<N>.txt next to the plugin. Problems go\n"
                      "to READ_PROG_<N>_ERROR.txt, whose path and content are printed.")
                : QStringLiteral(
                      "Writes segments 1 to M of program N from PROG_<N>.txt next to the plugin\n"
                      "into the controller through the plugin, which validates every row first.\n"
                      "Problems go to WRITE_PROG_<N>_ERROR.txt, whose path and content are\n"
                      "printed."));
    line.addOption(QStringLiteral("program"), QStringLiteral("N"),
                   QStringLiteral("program number, 1 to 19"));
    line.addOption(QStringLiteral("segments"), QStringLiteral("M"),
                   QStringLiteral("number of segments, 1 to 30"));
    line.addOption(QStringLiteral("storage"), QStringLiteral("0|1"),
                   QStringLiteral("storage type handed to the plugin (default 0)"));
    if (reading) {
        line.addOption(fileOption, QStringLiteral("FILE"),
                       QStringLiteral("also copy the program CSV file read to FILE"));
    } else {
        line.addOption(fileOption, QStringLiteral("FILE"),
                       QStringLiteral("first install FILE as PROG_<N>.txt (replacing it)"));
    }
    PortSetup::declare(line);
    line.addOption(QStringLiteral("quiet"), QString(),
                   QStringLiteral("no progress bar and no summary"));

    const int parsed = line.parseCommand(arguments);
    if (parsed >= 0)
        return parsed;
    int program = 0;
    int segments = 0;
    int storage = 0;
    PortSetup portSetup;
    if (!line.intValue(QStringLiteral("program"), 1, 19, program, true) ||
        !line.intValue(QStringLiteral("segments"), 1, 30, segments, true) ||
        !line.intValue(QStringLiteral("storage"), 0, 1, storage) || !portSetup.parse(line))
        return line.badArguments();
    const QString userFile = line.value(fileOption);
    if (line.isSet(fileOption) && userFile.isEmpty())
        return line.badArguments(QStringLiteral("--%1 needs a file name").arg(fileOption));
    const bool quiet = line.isSet(QStringLiteral("quiet"));

    auto cannotOpen = [](const QString &reason) {
        Console::error(QStringLiteral("dcp30: %1").arg(reason));
        return ExitCode::CannotOpen;
    };

    const QString appDir = QCoreApplication::applicationDirPath();
    const QString programFile = appDir + QStringLiteral("/PROG_%1.txt").arg(program);
    const QString logFile =
        appDir + QStringLiteral("/%1_PROG_%2_ERROR.txt")
                     .arg(reading ? QStringLiteral("READ") : QStringLiteral("WRITE"))
                     .arg(program);
    const QString userPath =
        userFile.isEmpty() ? QString() : QFileInfo(userFile).absoluteFilePath();

    // Files are checked before the controller is touched, so a typing error costs nothing.
    if (reading && !userPath.isEmpty()) {
        const QFileInfo target(userPath);
        if (!target.dir().exists())
            return cannotOpen(QStringLiteral("cannot write %1: the directory %2 does not exist")
                                  .arg(userFile, target.dir().path()));
        if (target.isDir())
            return cannotOpen(QStringLiteral("cannot write %1: it is a directory").arg(userFile));
    }
    if (!reading && !userPath.isEmpty()) {
        QString reason;
        const QFileInfo source(userPath);
        if (!source.isFile())
            return cannotOpen(QStringLiteral("cannot open %1: %2")
                                  .arg(userFile, source.exists() ? QStringLiteral("not a file")
                                                                 : QStringLiteral("no such file")));
        // Installing the program file over itself would only risk it.
        const bool same = source.canonicalFilePath() == QFileInfo(programFile).canonicalFilePath();
        if (!same && !copyWhole(userPath, programFile, &reason))
            return cannotOpen(reason);
    }

    PluginHost host;
    QString reason;
    // A write reads the range parameters through the link driver; without it the plugin refuses.
    if (!host.load(!reading, &reason))
        return cannotOpen(reason);
    std::unique_ptr<PortObject> port = portSetup.open(host.driver()->getDefaultCommText(), &reason);
    if (!port)
        return cannotOpen(reason);
    TrackingPort tracked(port.get());

    const FileSnapshot programBefore = FileSnapshot::of(programFile);
    const FileSnapshot logBefore = FileSnapshot::of(logFile);
    const int limitMs = overallTimeoutMs(
        segments, portSetup.retries,
        portSetup.address.kind == PortAddress::Kind::Simulated ? 0 : portSetup.timeoutMs);

    const QString flagTag = reading ? QStringLiteral("RF0") : QStringLiteral("WF0");
    const QString progressTag =
        reading ? QStringLiteral("ReadProgress0") : QStringLiteral("WriteProgress0");
    const QString errorTag = reading ? QStringLiteral("RE0") : QStringLiteral("WE0");
    const QString label = QStringLiteral("%1 program %2")
                              .arg(reading ? QStringLiteral("Reading") : QStringLiteral("Writing"))
                              .arg(program);

    Outcome outcome;
    PollingThread::run([&]() {
        tracked.setHostThread(QThread::currentThread());
        host.writeByte(&tracked, QStringLiteral("ProgramID0"), program);
        host.writeByte(&tracked, QStringLiteral("SegCnt0"), segments);
        host.writeByte(&tracked, QStringLiteral("StorageType0"), storage);
        if (host.readByte(&tracked, QStringLiteral("ProgramID0")) != program ||
            host.readByte(&tracked, QStringLiteral("SegCnt0")) != segments) {
            outcome.reason = QStringLiteral("the plugin did not take program %1 with %2 segments")
                                 .arg(program)
                                 .arg(segments);
            return 0;
        }
        host.writeByte(&tracked, flagTag, 1);
        if (host.readByte(&tracked, flagTag) != 1) {
            outcome.reason = QStringLiteral("the plugin did not start the %1").arg(name);
            return 0;
        }

        ProgressBar bar(label, !quiet && Console::stderrIsTerminal());
        bar.update(0);
        const QDeadlineTimer deadline(limitMs);
        outcome.kind = Outcome::Finished;
        for (;;) {
            QThread::msleep(PollIntervalMs);
            const int progress = host.readByte(&tracked, progressTag);
            if (host.readByte(&tracked, flagTag) == 0)
                break;
            if (progress >= 0)
                bar.update(progress);
            if (deadline.hasExpired()) {
                outcome.kind = Outcome::TimedOut;
                break;
            }
        }
        if (outcome.kind == Outcome::Finished) {
            // The worker lowers the flag first and raises the error flag and writes the log
            // right after; let it finish that and let the event loop deliver its reports.
            PollingThread::waitUntilIdle(tracked.lastForeignThread(), SettleTimeoutMs);
            PollingThread::waitUntilIdle(QCoreApplication::instance()->thread(), SettleTimeoutMs);
            outcome.errorFlag = host.readByte(&tracked, errorTag) == 1;
            if (!outcome.errorFlag && host.messageCenter()->reportCount() == 0)
                bar.update(100);
        }
        bar.finish();
        return 0;
    });
    // Stops the worker; a transfer that is still running gives up at its next step.
    host.unload();

    int status = ExitCode::Success;
    switch (outcome.kind) {
    case Outcome::NotStarted:
        Console::error(QStringLiteral("dcp30: %1").arg(outcome.reason));
        return ExitCode::Failed;
    case Outcome::TimedOut:
        Console::error(QStringLiteral("dcp30: the %1 did not end within %2 s; it was abandoned")
                           .arg(name)
                           .arg(limitMs / 1000));
        status = ExitCode::Failed;
        break;
    case Outcome::Finished:
        break;
    }
    if (outcome.errorFlag || host.messageCenter()->reportCount() > 0)
        status = ExitCode::Failed;

    if (reading && programBefore.changedIn(FileSnapshot::of(programFile))) {
        Console::out(QStringLiteral("program file: %1").arg(QDir::toNativeSeparators(programFile)));
        if (!userPath.isEmpty()) {
            if (!copyWhole(programFile, userPath, &reason))
                return cannotOpen(reason);
            Console::out(QStringLiteral("copied to: %1").arg(QDir::toNativeSeparators(userPath)));
        }
    } else if (reading && !userPath.isEmpty()) {
        Console::error(QStringLiteral("dcp30: no program file was saved, so %1 was not written")
                           .arg(userFile));
    }

    if (logBefore.changedIn(FileSnapshot::of(logFile))) {
        Console::out(QStringLiteral("error log: %1").arg(QDir::toNativeSeparators(logFile)));
        Console::error(QStringLiteral("dcp30: the %1 of program %2 ended with errors; %3 says:")
                           .arg(name)
                           .arg(program)
                           .arg(QFileInfo(logFile).fileName()));
        Console::error(readLog(logFile));
    } else if (outcome.errorFlag) {
        Console::error(QStringLiteral("dcp30: the %1 of program %2 ended with its error flag "
                                      "raised, but no error log was written")
                           .arg(name)
                           .arg(program));
    }

    if (status == ExitCode::Success && !quiet) {
        Console::error(QStringLiteral("dcp30: %1 of program %2 (%3 segments) via %4 done")
                           .arg(name)
                           .arg(program)
                           .arg(segments)
                           .arg(portSetup.address.toString()));
    }
    return status;
}
