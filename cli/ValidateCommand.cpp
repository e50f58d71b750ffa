#include "ValidateCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "PluginSession.h"
#include "PortSetup.h"
#include "WritePreflight.h"

#include <QFileInfo>

namespace {

const int MaxSegments = 30;

const QString &description()
{
    static const QString text = QStringLiteral(
        "Checks a program CSV file the way a program write checks it, without writing\n"
        "anything, and prints every problem exactly as the write error log would hold it.\n"
        "Then, one line each after \"problem: \", what \"dcp30 write\" also refuses: rows\n"
        "shorter or longer than the header, labels out of order, a Tag longer than 8\n"
        "characters, and cells a spreadsheet has changed (a TIME with seconds, AM/PM or a\n"
        "date; a time event with one digit after the point, \"0.1\"). A file that is not\n"
        "UTF-16 text, or is larger than 10 MB, is refused with the reason.\n"
        "The range parameters (SP1 limits, event types of events 1 to 3) come from the\n"
        "options, and those not given from the controller at --port.\n"
        "Exit status 0: valid; 1: problems; 3: the file or the controller could not be read.");
    return text;
}

void declareOptions(CommandLine &line)
{
    line.addOption(QStringLiteral("segments"), QStringLiteral("M"),
                   QStringLiteral("segments to check, 1 to 30 (default: the file's data rows)"));
    line.addOption(QStringLiteral("sp-limits"), QStringLiteral("LOW,HIGH"),
                   QStringLiteral("SP1 lower and upper limit"));
    line.addOption(QStringLiteral("event-types"), QStringLiteral("T1,T2,T3"),
                   QStringLiteral("event types of events 1, 2 and 3"));
    PortSetup::declare(line);
    line.addOption(QStringLiteral("quiet"), QString(),
                   QStringLiteral("no summary when the file is valid"));
}

// Completes limits and eventTypes from the controller when either is missing. Answers the exit
// status of a failure, or -1.
int fillFromController(const PortSetup &portSetup, QList<int> &limits, QList<int> &eventTypes)
{
    if (!limits.isEmpty() && !eventTypes.isEmpty())
        return -1;
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
    return -1;
}

} // namespace

int ValidateCommand::run(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("validate"),
                     {QStringLiteral("validate FILE [--segments M] [--sp-limits LOW,HIGH] "
                                     "[--event-types T1,T2,T3] [--port PORT]")},
                     description());
    declareOptions(line);
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
    WritePreflight preflight;
    const WritePreflight::Result loaded = preflight.load(fileName);
    if (loaded != WritePreflight::Result::Clean) {
        Console::error(QStringLiteral("dcp30: ") + preflight.reasons().join(QLatin1Char('\n')));
        return loaded == WritePreflight::Result::CannotOpen ? ExitCode::CannotOpen
                                                            : ExitCode::Failed;
    }
    if (segments == 0)
        segments = qBound(1, int(preflight.rows().size()), MaxSegments);
    const int status = fillFromController(portSetup, limits, eventTypes);
    if (status >= 0)
        return status;
    const QList<int> paras = limits + eventTypes;

    if (preflight.check(segments, paras) == WritePreflight::Result::Problems) {
        preflight.print();
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
