// dcp30: the command-line host of the DCP30 driver plugin. It loads the plugin as the HMI
// runtime does and drives it from a terminal: program reads and writes, tag access, program file
// checks, and a simulated controller on a real line.

#include "BackupCommand.h"
#include "CloseCommand.h"
#include "Console.h"
#include "DiffCommand.h"
#include "ExitCode.h"
#include "PlotCommand.h"
#include "PortsCommand.h"
#include "ReadCommand.h"
#include "RestoreCommand.h"
#include "ShowCommand.h"
#include "SimulateCommand.h"
#include "TagCommand.h"
#include "ValidateCommand.h"
#include "WriteCommand.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <csignal>
#include <cstring>
#include <memory>

namespace {

const char usageText[] =
    "Usage: dcp30 read     --program N --segments M [--storage 0|1] [--port PORT] [--retries R] "
    "[--out FILE|-] [--keep-partial] [--verify]\n"
    "       dcp30 write    --program N --segments M [--storage 0|1] [--port PORT] [--retries R] "
    "[--csv FILE] [--skip-invalid] [--verify]\n"
    "       dcp30 close    --program N [--port PORT]\n"
    "       dcp30 diff     A B [--segments M] [--port PORT]\n"
    "       dcp30 validate FILE [--segments M] [--sp-limits LOW,HIGH] [--event-types T1,T2,T3] "
    "[--port PORT]\n"
    "       dcp30 show     FILE [--segments M] [--sp-limits LOW,HIGH] [--event-types T1,T2,T3] "
    "[--port PORT]\n"
    "       dcp30 plot     FILE --out PICTURE.(png|svg) [--segments M] [--width W] [--height H]\n"
    "       dcp30 tag get ADDRESS [--type CODE] [--count N] [--port PORT]\n"
    "       dcp30 tag set ADDRESS VALUE [--port PORT]\n"
    "       dcp30 backup   --dir DIR [--programs LIST] [--port PORT]...\n"
    "       dcp30 restore  --dir DIR [--programs LIST] [--port PORT] [--verify] [--force]\n"
    "       dcp30 ports\n"
    "       dcp30 simulate (--pty | --tcp PORTNUMBER) [--fault RULE]...";

const char helpText[] =
    "\n\n"
    "Drives the DCP30 driver plugin (a Yamatake DCP31/32 program controller) from a terminal.\n"
    "  read      read a program from the controller into PROG_<N>.txt (or --out FILE)\n"
    "  write     check PROG_<N>.txt (or --csv FILE), then write it into the controller\n"
    "  close     close a program file a failed transfer left open in the controller\n"
    "  diff      compare two program files or controller programs (controller:N) cell by cell\n"
    "  validate  check a program CSV file as a write would, writing nothing\n"
    "  show      show a program CSV file as a table with its problems marked\n"
    "  plot      draw a program CSV file's setpoint profile as a PNG or SVG picture\n"
    "  tag       read or write one tag through the plugin\n"
    "  simulate  run the simulated controller on a pseudo-terminal or a TCP port\n"
    "  backup    read every program of one or more controllers into a directory\n"
    "  restore   write the programs of a backup directory back into the controller\n"
    "  ports     list this machine's serial ports, to find the RS-485 adapter\n"
    "PORT is sim (default: the built-in simulated controller), a serial device such as\n"
    "/dev/ttyUSB0, or tcp:HOST:PORTNUMBER. \"dcp30 <command> --help\" shows a command's options.\n"
    "Exit status: 0 done, 1 the transfer or check failed, 2 bad arguments, 3 the plugin, the\n"
    "port or a file could not be opened or written, 130/143 interrupted by SIGINT/SIGTERM.";

// Drawing text needs fonts and so a GUI application; the other commands stay without one. With
// no display (over ssh, say) the picture is drawn off screen.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv)
{
    if (argc < 2 || std::strcmp(argv[1], "plot") != 0)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace

int main(int argc, char **argv)
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    // Settings (the CSV library's remembered directory) go under the tool's own names.
    QCoreApplication::setOrganizationName(QStringLiteral("dcp30"));
    QCoreApplication::setApplicationName(QStringLiteral("dcp30"));
    // A converter that drops the connection must end in an error, not in SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    // A file size limit must make a write fail (and be reported), not end the process.
    std::signal(SIGXFSZ, SIG_IGN);

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        Console::error(QStringLiteral("dcp30: name a command"));
        Console::error(QLatin1String(usageText));
        return ExitCode::BadArguments;
    }
    const QString command = arguments.takeFirst();
    if (command == QLatin1String("read"))
        return ReadCommand::run(arguments);
    if (command == QLatin1String("write"))
        return WriteCommand::run(arguments);
    if (command == QLatin1String("close"))
        return CloseCommand::run(arguments);
    if (command == QLatin1String("diff"))
        return DiffCommand::run(arguments);
    if (command == QLatin1String("validate"))
        return ValidateCommand::run(arguments);
    if (command == QLatin1String("show"))
        return ShowCommand::run(arguments);
    if (command == QLatin1String("plot"))
        return PlotCommand::run(arguments);
    if (command == QLatin1String("tag"))
        return TagCommand::run(arguments);
    if (command == QLatin1String("simulate"))
        return SimulateCommand::run(arguments);
    if (command == QLatin1String("backup"))
        return BackupCommand::run(arguments);
    if (command == QLatin1String("restore"))
        return RestoreCommand::run(arguments);
    if (command == QLatin1String("ports"))
        return PortsCommand::run(arguments);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        Console::out(QLatin1String(usageText) + QLatin1String(helpText));
        return ExitCode::Success;
    }
    Console::error(QStringLiteral("dcp30: unknown command \"%1\"").arg(command));
    Console::error(QLatin1String(usageText));
    return ExitCode::BadArguments;
}
