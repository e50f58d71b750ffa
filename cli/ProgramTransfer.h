#ifndef PROGRAMTRANSFER_H
#define PROGRAMTRANSFER_H

#include "PluginSession.h"

#include <QStringList>

class PortSetup;

// One program read or write through the plugin for the commands that move many programs in one
// session (backup, restore): a progress bar, the overall timeout from the segment count, and
// what went wrong as lines (the plugin's error log, its message-centre reports, how the run
// ended) for a manifest or a summary, instead of log files handed to the user.
class ProgramTransfer
{
public:
    struct Result
    {
        int status = 0;           // 0 ended clean, 1 failed, 128 + signal when interrupted
        QStringList errors;       // the error log's lines (also of a clean end), reports, reasons
        int signalNumber = 0;     // SIGINT or SIGTERM when interrupted
        bool sessionOver = false; // the driver was unloaded (timeout, interrupt): no more runs
    };

    // Runs the transfer of segments 1..segments of program and answers how it ended; progress,
    // when given, gets the progress as it moves. A failed one gets the controller's close
    // command, so its file does not stay open.
    static Result run(PluginSession &session, const PortSetup &port, PluginSession::Kind kind,
                      int program, int segments, bool quiet,
                      const std::function<void(int)> &progress = nullptr);
};

#endif
