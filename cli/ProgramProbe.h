#ifndef PROGRAMPROBE_H
#define PROGRAMPROBE_H

#include "Commands.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class PortObject;

// Finds how many segments a program holds without reading them all. The controller answers a
// block read of a segment the program does not have with end code "52", and a program's
// segments run from 1 without gaps, so a binary search over 1..30 finds the last one: the open
// for read, segment 1, five more block reads at most and the close, each with the pause the
// plugin waits before its reply (300 ms, 350 ms for a block read). About 2.7 s per program
// instead of the 10.5 s a read of 30 segments takes; 0.95 s for an empty program.
//
// It talks straight to the port, with the framing and the port option 12 the plugin uses, so it
// must only run while no transfer does. One thread at a time.
class ProgramProbe
{
public:
    enum class Result {
        Found,     // *segments holds the segment count (1..30)
        NoProgram, // the program has no segment 1
        Failed,    // an exchange failed after its repeats; errors() says which
        Stopped    // the stop check asked to give up; the controller's file was closed
    };

    // retries: how often a failed exchange is repeated (the port's retry count).
    ProgramProbe(PortObject *port, int retries);

    // Answers true to give up between two exchanges (an interrupt, say).
    void setStopCheck(std::function<bool()> check) { m_stop = std::move(check); }

    // Finds the segment count of program (1..19). Answers how the search ended; *segments is
    // set for Found only. The controller's file is closed again whenever the open succeeded.
    Result probe(int program, int *segments);

    // The problems of the last probe, one line each ("Seg<n>:<message>" for end codes).
    QStringList errors() const { return m_errors; }
    // Exchanges sent since construction, repeats included.
    int exchanges() const { return m_exchanges; }

private:
    enum class Answer { Done, Refused, Silent };

    // One request and its reply; *endCode holds the reply's end code for Done and Refused.
    Answer exchange(Commands::FileCommand command, const QByteArray &frame, QString *endCode);
    // The exchange repeated up to the retry count while it fails for another reason than an
    // end code; errors go to errors() with label.
    Answer exchangeRepeated(Commands::FileCommand command, const QByteArray &frame,
                            const QString &label, QString *endCode);
    bool open(int program);
    // Done for a segment the program has, Refused for one it lacks ("52"), Silent otherwise.
    Answer hasSegment(int program, int segment);
    bool stopped() const { return m_stop && m_stop(); }

    PortObject *m_port;
    int m_retries;
    int m_exchanges = 0;
    QStringList m_errors;
    std::function<bool()> m_stop;
};

#endif
