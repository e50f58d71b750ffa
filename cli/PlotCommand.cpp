#include "PlotCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "PortSetup.h"
#include "ProfileRenderer.h"
#include "ProgramView.h"
#include "RangeOptions.h"

#include <QFileInfo>
#include <QSize>

#include <algorithm>

namespace {

const int DefaultWidth = 1200;
const int DefaultHeight = 700;
const int MinSide = 100;
const int MaxSide = 8000;

QString description()
{
    return QStringLiteral(
        "Draws the setpoint profile of a program CSV file as a PNG or SVG picture (by the\n"
        "name's suffix): SP1 over run time, each segment ramping from the previous segment's SP1\n"
        "to its own over its TIME. Segment 1 starts at its own SP1; with P.STA 1 it starts from\n"
        "the measured value, which a file cannot know: its line is dashed and marked PV start.\n"
        "Segment boundaries and labels, the time events as bands under the curve, the SP1\n"
        "limits as lines when known; the title holds the program number when the file is\n"
        "named PROG_<N>.txt, and the Tag. Segments with problems are hatched in red.\n"
        "The range options of show are taken too, but plot asks no controller unless --port\n"
        "is given: without --sp-limits, --event-types or --port the file alone is judged\n"
        "(formats and fixed ranges, not the SP1 limits or the event ranges), and with --port\n"
        "the parameters not given are read from that controller. PICTURE is replaced only by\n"
        "a whole new picture; a failed write keeps the old one (exit status 3).");
}

bool parseSize(CommandLine &line, QSize &size)
{
    int width = DefaultWidth;
    int height = DefaultHeight;
    if (!line.intValue(QStringLiteral("width"), MinSide, MaxSide, width) ||
        !line.intValue(QStringLiteral("height"), MinSide, MaxSide, height))
        return false;
    size = QSize(width, height);
    return true;
}

void declareOptions(CommandLine &line)
{
    line.addOption(QStringLiteral("out"), QStringLiteral("PICTURE"),
                   QStringLiteral("the picture to write, PICTURE.png or PICTURE.svg (required)"));
    line.addOption(QStringLiteral("segments"), QStringLiteral("M"),
                   QStringLiteral("segments to draw, 1 to 30 (default: the file's data rows)"));
    line.addOption(QStringLiteral("width"), QStringLiteral("W"),
                   QStringLiteral("picture width in pixels, 100 to 8000 (default 1200)"));
    line.addOption(QStringLiteral("height"), QStringLiteral("H"),
                   QStringLiteral("picture height in pixels, 100 to 8000 (default 700)"));
    RangeOptions::declare(line);
    PortSetup::declare(line);
}

QString markedList(const QSet<int> &segments)
{
    QList<int> sorted = segments.values();
    std::sort(sorted.begin(), sorted.end());
    QStringList texts;
    for (const int segment : sorted)
        texts << QStringLiteral("SEG%1").arg(segment);
    return texts.join(QStringLiteral(", "));
}

} // namespace

int PlotCommand::run(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("plot"),
                     {QStringLiteral("plot FILE --out PICTURE.(png|svg) [--segments M] [--width W] "
                                     "[--height H]")},
                     description());
    declareOptions(line);
    const int parsed = line.parseCommand(arguments, 1);
    if (parsed >= 0)
        return parsed;
    if (line.positional().isEmpty())
        return line.badArguments(QStringLiteral("name the program CSV file to draw"));
    const QString fileName = line.positional().first();
    if (!line.isSet(QStringLiteral("out")))
        return line.badArguments(QStringLiteral("--out is required"));
    const QString out = line.value(QStringLiteral("out"));
    const QString suffix = QFileInfo(out).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg"))
        return line.badArguments(
            QStringLiteral("--out must name a .png or .svg file, not \"%1\"").arg(out));
    int segments = 0;
    QSize size;
    RangeOptions ranges;
    PortSetup portSetup;
    if (!line.intValue(QStringLiteral("segments"), 1, ProgramView::MaxSegments, segments) ||
        !parseSize(line, size) || !ranges.parse(line) || !portSetup.parse(line))
        return line.badArguments();

    ProgramView view;
    const int loaded = view.load(fileName);
    if (loaded >= 0)
        return loaded;
    // A picture of a file asks no controller unless told to.
    if (line.isSet(QStringLiteral("port")) && !ranges.completeFromController(portSetup))
        Console::error(QStringLiteral("dcp30: %1; range parameters not given are not checked")
                           .arg(ranges.note()));
    view.judge(segments, ranges);

    ProfileRenderer renderer(view.profile(ranges.knownParameters()));
    renderer.setProgramNumber(ProgramView::programNumber(fileName));
    const QString path = QFileInfo(out).absoluteFilePath();
    const bool saved = suffix == QLatin1String("png") ? renderer.savePng(path, size)
                                                      : renderer.saveSvg(path, size);
    if (!saved) {
        Console::error(QStringLiteral("dcp30: %1").arg(renderer.errorString()));
        return ExitCode::CannotOpen;
    }
    Console::out(QStringLiteral("picture: %1").arg(path));
    const QSet<int> marked = view.problems().segments();
    if (!marked.isEmpty())
        Console::error(QStringLiteral("dcp30: marked in red: %1 (dcp30 show lists the problems)")
                           .arg(markedList(marked)));
    return ExitCode::Success;
}
