#ifndef FAULTRULE_H
#define FAULTRULE_H

#include <QByteArray>
#include <QString>

// One fault knob of the simulated line: when it triggers and what it does to the exchange.
// A plain value; FaultPlan evaluates a list of them.
//
// Text form (the command-line option --fault RULE): items separated by ":", in any order.
//   kind      one of any, open-read, open-write, block-read, block-write, close, data-read,
//             data-write (at most one; default any). "any" also matches frames of no known kind.
//   nth=N     trigger from the N-th request of that kind on (N >= 1; with "any" the N-th request
//             received). Without nth every matching request is a candidate.
//   count=N   fire at most N times (N >= 0, 0 = no limit). Defaults to 1 when nth is given,
//             to 0 otherwise; so "block-read:nth=2:no-reply" hits exactly the 2nd block read,
//             "block-read:nth=1:count=4:no-reply" the first four.
//   p=X       fire with probability X (0 <= X <= 1) on each candidate request, drawn from the
//             plan's seeded generator.
//   delay=MS  the real delay, in ms, the serial/TCP servers use for late replies (default 1000)
//             and between the chunks of a split reply (default 20); MS >= 0. The in-process port
//             delivers in zero time.
//   fault     exactly one of:
//     no-reply        the request is lost on the line: the controller never sees it, no reply;
//     garbled[=POS]   the reply's byte at index POS (POS >= 1, default 1: the first character
//                     of "0100X"; clamped to the last byte) has its lowest bit flipped;
//     truncated[=N]   only the first N bytes of the reply are sent (N >= 1, default half; at
//                     most all but the last byte);
//     short[=N]       N characters (default 1) before ETX are dropped: a block read record one
//                     character short;
//     long[=N]        N "0" characters (default 1) are inserted before ETX;
//     end-code=XX     the controller refuses with end code XX (two characters 0-9 or A-Z)
//                     without executing the request;
//     split[=N]       the reply is sent in N chunks (N >= 2, default 2) of nearly equal size;
//     late            the reply arrives only after the reader has given up (see SimulatedPort);
//     stray[=N]       N bytes 0xFF (default 2) are sent before STX.
//   Every fault but no-reply and end-code lets the controller execute the request first (the
//   reply is what gets damaged), so e.g. a garbled reply to an open leaves the file open.
// Examples: "block-read:nth=2:no-reply", "any:p=0.05:garbled", "open-read:end-code=50".
class FaultRule
{
public:
    enum class Command {
        Any,
        OpenRead,
        OpenWrite,
        BlockRead,
        BlockWrite,
        Close,
        DataRead,
        DataWrite,
        Other
    };
    enum class Fault { NoReply, Garbled, Truncated, Short, Long, EndCode, Split, Late, Stray };
    static constexpr int CommandCount = 9;
    static constexpr int FaultCount = 9;

    Command command = Command::Any;
    int nth = 0;              // 0: no exchange-count trigger
    int count = 0;            // maximum number of firings, 0: no limit
    double probability = 1.0; // chance per candidate request
    Fault fault = Fault::NoReply;
    int parameter = 0;  // POS / N of the fault; 0 selects the fault's default
    QByteArray endCode; // the end code of Fault::EndCode
    int delayMs = -1;   // -1 selects the fault's default delay

    // Parses the text of a rule; on failure answers false, leaves rule unchanged and explains in
    // *error.
    static bool parse(const QString &text, FaultRule &rule, QString *error);
    // The canonical text form; parse(toString()) gives an equal rule.
    QString toString() const;

    // The command kind of a request frame (STX "0100X" command ... ETX CR LF).
    static Command commandOf(const QByteArray &frame);
    static QString commandName(Command command);
    static QString faultName(Fault fault);

    // The delay that applies: delayMs, or the fault's default (0 for faults without one).
    int effectiveDelayMs() const;

    bool operator==(const FaultRule &other) const;
    bool operator!=(const FaultRule &other) const { return !(*this == other); }
};

#endif
