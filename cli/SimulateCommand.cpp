#include "SimulateCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "FaultPlan.h"
#include "SignalWatcher.h"
#include "SimulatorServer.h"

#include <QCoreApplication>

QString SimulateCommand::faultHelp()
{
    return QStringLiteral(
        "Faults (--fault RULE, repeatable; the first rule that triggers decides an exchange).\n"
        "RULE is a list of items separated by \":\", in any order:\n"
        "  kind      any (default), open-read, open-write, block-read, block-write, close,\n"
        "            data-read or data-write: the requests the rule applies to\n"
        "  nth=N     trigger from the N-th request of that kind on\n"
        "  count=N   fire at most N times (0 = no limit; default 1 with nth, else 0)\n"
        "  p=X       fire with probability X (0 to 1) on each candidate request (seeded)\n"
        "  delay=MS  real delay of a late reply (default 1000) or between the chunks of a\n"
        "            split reply (default 20)\n"
        "  and exactly one fault:\n"
        "  no-reply        the request is lost; no reply at all\n"
        "  garbled[=POS]   the reply byte at POS (default 1) has its lowest bit flipped\n"
        "  truncated[=N]   only the first N bytes of the reply are sent (default half)\n"
        "  short[=N]       N characters before ETX are dropped (default 1)\n"
        "  long[=N]        N \"0\" characters are inserted before ETX (default 1)\n"
        "  end-code=XX     the controller refuses with end code XX without executing\n"
        "  split[=N]       the reply arrives in N chunks (default 2), delay apart\n"
        "  late            the reply arrives after delay, when the reader has given up\n"
        "  stray[=N]       N bytes 0xFF (default 2) arrive before STX\n"
        "Examples: block-read:nth=2:no-reply   any:p=0.05:garbled   open-read:end-code=50\n"
        "          block-read:split=3:delay=150   block-read:nth=1:late:delay=800");
}

int SimulateCommand::run(const QStringList &arguments)
{
    Options options;
    const int parsed = parseOptions(arguments, options);
    if (parsed >= 0)
        return parsed;
    return serve(options);
}

int SimulateCommand::parseOptions(const QStringList &arguments, Options &options)
{
    CommandLine line(
        QStringLiteral("simulate"),
        {QStringLiteral("simulate (--pty | --tcp PORTNUMBER) [--fault RULE]...")},
        QStringLiteral(
            "Runs a simulated DCP31/32 (station 01) until interrupted (Ctrl+C, SIGTERM)\n"
            "on a new pseudo-terminal or on a TCP port of 127.0.0.1. The first line of\n"
            "output is the --port value for the other commands: the device path, or\n"
            "tcp:127.0.0.1:PORTNUMBER. Programs 1 to 3 hold demo programs, the others\n"
            "are empty; SP1 limits -200..1300, event types 0, 50, 8.\n\n") +
            faultHelp());
    line.addOption(QStringLiteral("pty"), QString(),
                   QStringLiteral("serve on a new pseudo-terminal"));
    line.addOption(QStringLiteral("tcp"), QStringLiteral("PORTNUMBER"),
                   QStringLiteral("serve on 127.0.0.1:PORTNUMBER (0 picks a free port)"));
    line.addOption(QStringLiteral("fault"), QStringLiteral("RULE"),
                   QStringLiteral("a fault of the line (repeatable; see above)"));
    line.addOption(QStringLiteral("seed"), QStringLiteral("N"),
                   QStringLiteral("seed of the fault probabilities (default 1)"));
    line.addOption(QStringLiteral("verbose"), QString(),
                   QStringLiteral("trace every request and reply on stderr"));
    line.addOption(QStringLiteral("quiet"), QString(),
                   QStringLiteral("nothing on stderr but errors"));

    const int parsed = line.parseCommand(arguments);
    if (parsed >= 0)
        return parsed;
    options.pty = line.isSet(QStringLiteral("pty"));
    if (options.pty == line.isSet(QStringLiteral("tcp")))
        return line.badArguments(QStringLiteral("give either --pty or --tcp PORTNUMBER"));
    int seed = 1;
    if ((!options.pty && !line.intValue(QStringLiteral("tcp"), 0, 65535, options.tcpPort)) ||
        !line.intValue(QStringLiteral("seed"), 0, INT_MAX, seed))
        return line.badArguments();
    QString reason;
    if (!FaultPlan::parse(line.values(QStringLiteral("fault")), options.plan, &reason,
                          quint32(seed)))
        return line.badArguments(QStringLiteral("--fault: %1").arg(reason));
    options.verbose = line.isSet(QStringLiteral("verbose"));
    options.quiet = line.isSet(QStringLiteral("quiet"));
    return -1;
}

int SimulateCommand::serve(const Options &options)
{
    SimulatorServer server(options.plan, options.verbose);
    SignalWatcher watcher;
    if (!watcher.isValid()) {
        Console::error(QStringLiteral("dcp30: cannot watch for interrupts"));
        return ExitCode::CannotOpen;
    }
    int caught = 0;
    QObject::connect(&watcher, &SignalWatcher::signalled, [&caught](int number) {
        caught = number;
        QCoreApplication::quit();
    });

    QString where;
    QString reason;
    if (options.pty) {
        if (!server.startPty(&where, &reason)) {
            Console::error(QStringLiteral("dcp30: %1").arg(reason));
            return ExitCode::CannotOpen;
        }
    } else {
        quint16 bound = 0;
        if (!server.startTcp(quint16(options.tcpPort), &bound, &reason)) {
            Console::error(QStringLiteral("dcp30: %1").arg(reason));
            return ExitCode::CannotOpen;
        }
        where = QStringLiteral("tcp:127.0.0.1:%1").arg(bound);
    }
    Console::out(where);
    if (!options.quiet) {
        Console::error(
            QStringLiteral("dcp30: simulated DCP31/32 on %1; end it with Ctrl+C").arg(where));
        for (const QString &rule : options.plan.ruleTexts())
            Console::error(QStringLiteral("dcp30: fault %1").arg(rule));
    }

    QCoreApplication::exec();
    if (!options.quiet)
        Console::error(QStringLiteral("dcp30: simulator stopped (signal %1) after %2 requests")
                           .arg(caught)
                           .arg(server.faultPlan().exchangeCount()));
    return ExitCode::Success;
}
