#include "CloseCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "PluginSession.h"
#include "PortSetup.h"

int CloseCommand::run(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("close"), {QStringLiteral("close --program N [--port PORT]")},
                     QStringLiteral("Sends the controller's close command for program N, so a "
                                    "program file left\nopen by a failed transfer is closed. "
                                    "The reply is not judged: a file that\nwas not open stays "
                                    "closed."));
    line.addOption(QStringLiteral("program"), QStringLiteral("N"),
                   QStringLiteral("program number, 1 to 19"));
    PortSetup::declare(line);
    const int parsed = line.parseCommand(arguments);
    if (parsed >= 0)
        return parsed;
    int program = 0;
    PortSetup port;
    if (!line.intValue(QStringLiteral("program"), 1, 19, program, true) || !port.parse(line))
        return line.badArguments();

    PluginSession session;
    QString reason;
    if (!session.load(false, &reason) || !session.openPort(port, &reason)) {
        Console::error(QStringLiteral("dcp30: %1").arg(reason));
        return ExitCode::CannotOpen;
    }
    session.closeControllerFile(program);
    Console::error(QStringLiteral("dcp30: sent the close command for program %1 via %2")
                       .arg(program)
                       .arg(port.address.toString()));
    return ExitCode::Success;
}
