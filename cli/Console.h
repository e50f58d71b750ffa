#ifndef CONSOLE_H
#define CONSOLE_H

#include <QString>

// The tool's terminal output. Lines go to stdout or stderr whole and flushed, from any thread;
// a status line (the progress bar) stays at the bottom of a terminal's stderr and is redrawn
// under every message written meanwhile, so messages never end up glued to a half bar.
class Console
{
public:
    // One line (a line end is added) on stdout, for what scripts read.
    static void out(const QString &line);
    // One line, or several joined by "\n", on stderr.
    static void error(const QString &text);
    // Text as it is, on stderr (used for multi-line log content that carries its own ends).
    static void errorRaw(const QString &text);

    // Draws text as the status line on stderr (replacing the previous one); empty removes it.
    static void setStatusLine(const QString &text);
    // Leaves the status line on the screen and moves below it.
    static void finishStatusLine();

    static bool stderrIsTerminal();
};

#endif
