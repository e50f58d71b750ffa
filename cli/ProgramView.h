#ifndef PROGRAMVIEW_H
#define PROGRAMVIEW_H

#include "ProgramFile.h"
#include "ProgramProblems.h"
#include "SetpointProfile.h"

#include <QList>
#include <QString>

class RangeOptions;

// A program CSV file as "dcp30 show" and "dcp30 plot" look at it: loaded as a program write
// loads it, its segments 1..M judged, and its setpoint profile with the failing segments marked.
class ProgramView
{
public:
    static constexpr int MaxSegments = 30;

    // Loads fileName, printing the loader's reasons and warnings on stderr. Answers -1 when it
    // loaded, otherwise the exit status to end the command with.
    int load(const QString &fileName);
    // Judges segments 1..segments (0: as many as the file has rows, at most MaxSegments).
    void judge(int segments, const RangeOptions &ranges);

    const ProgramFile &file() const { return m_file; }
    int segments() const { return m_segments; }
    const ProgramProblems &problems() const { return m_problems; }
    // The profile of the rows of segments 1..segments(), the segments with problems marked;
    // parameters as SetpointProfile::build takes them (empty or five).
    SetpointProfile profile(const QList<qint32> &parameters) const;

    // N for a file named PROG_<N>.txt with N a program number (1 to 19), otherwise 0.
    static int programNumber(const QString &fileName);
    // Minutes as h:mm.
    static QString clock(int minutes);

private:
    ProgramFile m_file;
    int m_segments = 0;
    ProgramProblems m_problems;
};

#endif
