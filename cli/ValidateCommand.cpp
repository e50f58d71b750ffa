#include "ValidateCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "DriverInterface.h"
#include "ExitCode.h"
#include "PluginSession.h"
#include "PortObject.h"
#include "PortSetup.h"
#include "ProgramFile.h"

#include <QFileInfo>

namespace {

const int MaxSegments = 30;

} // namespace

int ValidateCommand::run(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("validate"),
        {QStringLiteral("validate FILE [--segments M] [--sp-limits LOW,HIGH] "
                        "[--event-types T1,T2,T3] [--port PORT]")},
        QStringLiteral(
            "Checks a program CSV file the way a program write checks it, without writing\n"
            "anything, and prints every problem exactly as the write error log would hold it.\n"
            "The range parameters (SP1 limits, event types of events 1 to 3) come from the\n"
            "options, and those not given from the controller at --port."));
    line.addOption(QStringLiteral("segments"), QStringLiteral("M"),
                   QStringLiteral("segments to check, 1 to 30 (default: the file's data rows)"));
    line.addOption(QStringLiteral("sp-limits"), QStringLiteral("LOW,HIGH"),
                   QStringLiteral("SP1 lower and upper limit"));
    line.addOption(QStringLiteral("event-types"), QStringLiteral("T1,T2,T3"),
                   QStringLiteral("event types of events 1, 2 and 3"));
    PortSetup::declare(line);
    line.addOption(QStringLiteral("quiet"), QString(),
                   QStringLiteral("no summary when the file is valid"));

    const int parsed = line.parseCommand(arguments, 1);
    if (parsed >= 0)
        return parsed;
    const QStringList words = line.positional();
    if (words.isEmpty())
        return line.badArguments(QStringLiteral("name the program CSV file to check"));
    const QString fileName = words.first();
    int segments = 0;
    QList<int> limits;
    QList<int> eventTypes;
    PortSetup portSetup;
    if (!line.intValue(QStringLiteral("segments"), 1, MaxSegments, segments) ||
        (line.isSet(QStringLiteral("sp-limits")) &&
         !line.intListValue(QStringLiteral("sp-limits"), 2, limits)) ||
        (line.isSet(QStringLiteral("event-types")) &&
         !line.intListValue(QStringLiteral("event-types"), 3, eventTypes)) ||
        !portSetup.parse(line))
        return line.badArguments();
    const bool quiet = line.isSet(QStringLiteral("quiet"));

    // The loader the plugin uses, in a non-interactive application: its reports become messages.
    ProgramFile file;
    const ProgramFile::LoadResult loaded = file.load(fileName);
    if (loaded != ProgramFile::LoadResult::Loaded) {
        const bool unreadable = loaded == ProgramFile::LoadResult::CannotOpen;
        Console::error(
            QStringLiteral("dcp30: %1 %2:")
                .arg(unreadable ? QStringLiteral("cannot open") : QStringLiteral("cannot load"),
                     fileName));
        Console::error(file.loaderErrors().join(QLatin1Char('\n')));
        return unreadable ? ExitCode::CannotOpen : ExitCode::Failed;
    }
    for (const QString &warning : file.loaderWarnings())
        Console::error(QStringLiteral("dcp30: warning: %1").arg(warning));
    const int rowCount = file.rows().size();
    if (segments == 0)
        segments = qBound(1, rowCount, MaxSegments);

    if (limits.isEmpty() || eventTypes.isEmpty()) {
        PluginSession session;
        QString reason;
        if (!session.load(true, &reason) || !session.openPort(portSetup, &reason)) {
            Console::error(QStringLiteral("dcp30: %1").arg(reason));
            return ExitCode::CannotOpen;
        }
        // The same reads the plugin makes before a write, through its delegated readTag.
        QList<qint32> fromController;
        if (!session.readRangeParameters(fromController, &reason)) {
            Console::error(QStringLiteral("dcp30: the controller at %1 did not answer the read of "
                                          "%2 (range parameters); give --sp-limits and "
                                          "--event-types instead")
                               .arg(portSetup.address.toString(), reason));
            return ExitCode::CannotOpen;
        }
        if (limits.isEmpty())
            limits = fromController.mid(0, 2);
        if (eventTypes.isEmpty())
            eventTypes = fromController.mid(2, 3);
    }
    const QList<int> paras = limits + eventTypes;

    const QStringList lines = ProgramFile::logLines(file.validate(segments, paras));
    if (!lines.isEmpty()) {
        for (const QString &text : lines)
            Console::out(text);
        return ExitCode::Failed;
    }
    if (!quiet) {
        Console::error(QStringLiteral("dcp30: %1: segments 1 to %2 are valid (SP1 %3 to %4, event "
                                      "types %5, %6, %7)")
                           .arg(QFileInfo(fileName).fileName())
                           .arg(segments)
                           .arg(paras.at(0))
                           .arg(paras.at(1))
                           .arg(paras.at(2))
                           .arg(paras.at(3))
                           .arg(paras.at(4)));
    }
    return ExitCode::Success;
}
