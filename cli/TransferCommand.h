#ifndef TRANSFERCOMMAND_H
#define TRANSFERCOMMAND_H

#include <QStringList>

// "dcp30 read" and "dcp30 write": a program transfer driven through the plugin's own tags, as
// an operator screen drives it. The command writes the program number, the segment count and
// the storage, raises "RF0" or "WF0", shows "ReadProgress0" or "WriteProgress0" as a progress
// bar until the flag drops, then reads "RE0" or "WE0" and reports the files the transfer wrote.
class TransferCommand
{
public:
    enum class Direction { Read, Write };

    // arguments: the words after the subcommand name. Answers the exit status.
    static int run(Direction direction, const QStringList &arguments);

    // The longest a transfer may take before the tool gives up on it: every exchange failing
    // and being repeated as often as the retry count allows, twice over, plus half a minute.
    static int overallTimeoutMs(int segments, int retries, int readTimeoutMs);
};

#endif
