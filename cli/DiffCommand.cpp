#include "DiffCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "PluginSession.h"
#include "PortSetup.h"
#include "ProgramDiff.h"
#include "ProgramFile.h"
#include "TransferOptions.h"
#include "WritePreflight.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <memory>

namespace {

const int MaxSegments = 30;

// One side of the comparison: a program file, or a program of the controller.
struct Side
{
    QString name;    // as given
    int program = 0; // "controller:N": N; 0 for a file
    QList<QStringList> rows;
};

bool parseSide(const QString &text, Side &side)
{
    side.name = text;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^controller:(\\d{1,2})$")).match(text);
    if (!match.hasMatch())
        return true;
    side.program = match.captured(1).toInt();
    return side.program >= 1 && side.program <= 19;
}

// Loads a file side with the checks validate makes first (size, encoding); false with the
// reason printed.
bool loadFile(Side &side)
{
    WritePreflight preflight;
    if (preflight.load(side.name) != WritePreflight::Result::Clean) {
        Console::error(QStringLiteral("dcp30: cannot load %1:\n%2")
                           .arg(side.name, preflight.reasons().join(QLatin1Char('\n'))));
        return false;
    }
    side.rows = preflight.rows();
    return true;
}

// Reads a controller side through the plugin; false with the reason printed.
bool readController(PluginSession &session, const PortSetup &port, int segments, Side &side)
{
    TransferOptions options;
    options.program = side.program;
    options.segments = segments;
    options.port = port;
    options.quiet = true;
    const PluginSession::Outcome outcome =
        options.run(session, PluginSession::Kind::Read, QString());
    if (options.finish(session, PluginSession::Kind::Read, outcome) != ExitCode::Success)
        return false;
    ProgramFile file;
    if (file.load(session.programFile(side.program)) != ProgramFile::LoadResult::Loaded)
        return false;
    side.rows = file.rows();
    return true;
}

// The segments compared: --segments, or the file sides' rows (the larger count).
int segmentCount(const Side sides[2], int given)
{
    if (given > 0)
        return given;
    int rows = 0;
    for (int i = 0; i < 2; ++i) {
        if (sides[i].program == 0)
            rows = qMax(rows, sides[i].rows.size());
    }
    return qBound(0, rows, MaxSegments);
}

} // namespace

int DiffCommand::run(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("diff"), {QStringLiteral("diff A B [--segments M] [--port PORT]")},
        QStringLiteral("Compares two programs cell by cell as the controller stores them\n"
                       "(\"085\" equals \"85\", \"01:75\" equals \"02:15\") and lists every "
                       "difference by\nsegment and column. A and B are program files, or "
                       "controller:N for program N\nread from the controller at --port. "
                       "Exit status 0: equal, 1: different."));
    line.addOption(QStringLiteral("segments"), QStringLiteral("M"),
                   QStringLiteral("segments to compare (default: the files' rows; needed when "
                                  "both\nsides are controller programs)"));
    PortSetup::declare(line);
    const int parsed = line.parseCommand(arguments, 2);
    if (parsed >= 0)
        return parsed;
    PortSetup port;
    int given = 0;
    if (!line.intValue(QStringLiteral("segments"), 1, MaxSegments, given) || !port.parse(line))
        return line.badArguments();
    const QStringList words = line.positional();
    Side sides[2];
    if (words.size() != 2)
        return line.badArguments(QStringLiteral("name the two programs to compare"));
    for (int i = 0; i < 2; ++i) {
        if (!parseSide(words.at(i), sides[i]))
            return line.badArguments(
                QStringLiteral("%1: controller programs are 1 to 19").arg(words.at(i)));
    }
    for (Side &side : sides) {
        if (side.program == 0 && !loadFile(side))
            return ExitCode::CannotOpen;
    }
    const int segments = segmentCount(sides, given);
    if (segments == 0)
        return line.badArguments(QStringLiteral("give --segments: neither side is a file"));

    std::unique_ptr<PluginSession> session;
    for (Side &side : sides) {
        if (side.program == 0)
            continue;
        QString reason;
        if (!session) {
            session = std::make_unique<PluginSession>();
            if (!session->load(false, &reason) || !session->openPort(port, &reason)) {
                Console::error(QStringLiteral("dcp30: %1").arg(reason));
                return ExitCode::CannotOpen;
            }
        }
        if (!readController(*session, port, segments, side)) {
            Console::error(QStringLiteral("dcp30: %1 could not be read").arg(side.name));
            return ExitCode::CannotOpen;
        }
    }

    const QList<ProgramDiff::Difference> differences =
        ProgramDiff::compare(sides[0].rows, sides[1].rows, segments);
    for (const ProgramDiff::Difference &difference : differences)
        Console::out(ProgramDiff::describe(difference, sides[0].name, sides[1].name));
    Console::error(differences.isEmpty()
                       ? QStringLiteral("dcp30: segments 1 to %1 are equal").arg(segments)
                       : QStringLiteral("dcp30: %1 cells differ in segments 1 to %2")
                             .arg(differences.size())
                             .arg(segments));
    return differences.isEmpty() ? ExitCode::Success : ExitCode::Failed;
}
