#include "ShowCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "PortSetup.h"
#include "ProgramTable.h"
#include "ProgramView.h"
#include "RangeOptions.h"

#include <QFileInfo>

#include <unistd.h>

namespace {

QString description()
{
    return QStringLiteral(
        "Shows a program CSV file as a table: the program-wide values (P.STA, CYCL, P.LIN, Tag)\n"
        "and the run time once above it, then one line per segment. TIME and the time events\n"
        "are in h:mm; each event's 1st and 2nd cell share a column as 1st/2nd, each time event's\n"
        "as on~off (h:mm from the segment start); G.S is the guaranteed soak band, G.S.TO its\n"
        "timeout in minutes; - is a cell without value. Columns without a value in any segment\n"
        "are left out and named under the table. Every problem a write would find (the lines of\n"
        "dcp30 validate, and rows of the wrong length, labels out of order, a Tag too long) is\n"
        "marked at its cell with ! and its number, listed under the table, and shown in red\n"
        "when standard output is a terminal (not when NO_COLOR is set).\n"
        "The range parameters come from the options, and those not given from the controller at\n"
        "--port; when it cannot be reached, what is unknown is not checked and the table says\n"
        "so. Exit status 0 without problems, 1 with problems.");
}

bool useColour()
{
    return ::isatty(STDOUT_FILENO) == 1 && qEnvironmentVariableIsEmpty("NO_COLOR");
}

void printHeader(const QString &fileName, const ProgramView &view, const RangeOptions &ranges,
                 const ProgramTable &table)
{
    const int number = ProgramView::programNumber(fileName);
    const int segments = view.segments();
    Console::out(QStringLiteral("%1: %2segment%3 1%4")
                     .arg(QFileInfo(fileName).fileName(),
                          number > 0 ? QStringLiteral("program %1, ").arg(number) : QString(),
                          segments > 1 ? QStringLiteral("s") : QString(),
                          segments > 1 ? QStringLiteral(" to %1").arg(segments) : QString()));
    const SetpointProfile profile = view.profile({});
    Console::out(table.programLine());
    QString runTime = QStringLiteral("Run time %1 (%2 min)")
                          .arg(ProgramView::clock(profile.totalMinutes()))
                          .arg(profile.totalMinutes());
    if (profile.pvStart())
        runTime += QStringLiteral("; P.STA 1: SEG1 starts from the measured value");
    Console::out(runTime);
    Console::out(ranges.describe());
}

} // namespace

int ShowCommand::run(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("show"),
                     {QStringLiteral("show FILE [--segments M] [--sp-limits LOW,HIGH] "
                                     "[--event-types T1,T2,T3] [--port PORT]")},
                     description());
    line.addOption(QStringLiteral("segments"), QStringLiteral("M"),
                   QStringLiteral("segments to show, 1 to 30 (default: the file's data rows)"));
    RangeOptions::declare(line);
    PortSetup::declare(line);
    const int parsed = line.parseCommand(arguments, 1);
    if (parsed >= 0)
        return parsed;
    if (line.positional().isEmpty())
        return line.badArguments(QStringLiteral("name the program CSV file to show"));
    const QString fileName = line.positional().first();
    int segments = 0;
    RangeOptions ranges;
    PortSetup portSetup;
    if (!line.intValue(QStringLiteral("segments"), 1, ProgramView::MaxSegments, segments) ||
        !ranges.parse(line) || !portSetup.parse(line))
        return line.badArguments();

    ProgramView view;
    const int loaded = view.load(fileName);
    if (loaded >= 0)
        return loaded;
    if (!ranges.completeFromController(portSetup))
        Console::error(QStringLiteral("dcp30: %1; range parameters not given are not checked")
                           .arg(ranges.note()));
    view.judge(segments, ranges);

    ProgramTable table(view.file().rows(), view.segments(), view.problems());
    table.setColour(useColour());
    printHeader(fileName, view, ranges, table);
    Console::out(QString());
    for (const QString &text : table.tableLines())
        Console::out(text);
    const QStringList hidden = table.hiddenTitles();
    if (!hidden.isEmpty())
        Console::out(QStringLiteral("Not shown (no value in any segment): %1")
                         .arg(hidden.join(QStringLiteral(", "))));
    Console::out(QString());
    if (view.problems().isEmpty()) {
        Console::out(QStringLiteral("No problems."));
        return ExitCode::Success;
    }
    const int count = view.problems().problems().size();
    Console::out(count == 1 ? QStringLiteral("1 problem:")
                            : QStringLiteral("%1 problems:").arg(count));
    for (const QString &text : table.footnotes())
        Console::out(text);
    return ExitCode::Failed;
}
