#ifndef TRANSFEROPTIONS_H
#define TRANSFEROPTIONS_H

#include "PluginSession.h"
#include "PortSetup.h"

#include <QString>

class CommandLine;

// What "read" and "write" share on their command lines: the program, the segment count, the
// storage handed to the plugin, the port and --quiet; and what they do at the end of a transfer:
// report how it ended, hand over the error log, close the controller's file after a failure.
class TransferOptions
{
public:
    // The longest a transfer may take before the tool gives up on it: every exchange failing
    // and being repeated as often as the retry count allows, twice over, plus half a minute.
    static int overallTimeoutMs(int segments, int retries, int readTimeoutMs);

    static void declare(CommandLine &line);
    // Reads and checks the declared options; false with the reason recorded in line.
    bool parse(CommandLine &line);
    int timeoutMs() const;
    // "read of program 3 (5 segments) via tcp:127.0.0.1:4001"; sim is named as the built-in
    // simulated controller.
    QString describe(PluginSession::Kind kind) const;

    // Runs a transfer of program with these options through session, showing its progress under
    // title unless quiet or stderr is no terminal, and handing it to progress when given.
    // Answers how it ended.
    PluginSession::Outcome run(PluginSession &session, PluginSession::Kind kind,
                               const QString &title,
                               const std::function<void(int)> &progress = nullptr) const;

    // Reports how a transfer ended, hands over the error log the run wrote and closes the
    // controller's program file after a failure. Answers the exit status: 0 for a transfer that
    // ended clean, 1 for a failed one, 130 or 143 for one interrupted by SIGINT or SIGTERM.
    int finish(PluginSession &session, PluginSession::Kind kind,
               const PluginSession::Outcome &outcome) const;

    int program = 0;
    int segments = 0;
    int storage = 0;
    bool quiet = false;
    // Standard output carries the program itself: the labelled lines go to stderr.
    bool dataOnStdout = false;
    PortSetup port;

private:
    // Copies the error log of this run into the current directory; false when there was none.
    bool deliverLog(PluginSession &session, PluginSession::Kind kind, bool *failed) const;
};

#endif
