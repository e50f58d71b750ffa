#ifndef SETPOINTPROFILE_H
#define SETPOINTPROFILE_H

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// The setpoint profile a program runs: where every segment starts and ends in run time, the SP1
// it ramps from and to, and when its time events are on. Built from a program's table of rows
// (header row first, then one 26-cell row per segment, as the CSV files and a program read hold
// them). A pure value class without I/O, shared by the plot command and the program editor.
//
// How the controller runs a program, as far as a file can tell:
//  - Segments run one after the other; each lasts its TIME. Segment n ramps linearly from the SP1
//    of segment n-1 to its own SP1 over its TIME. Segment 1 starts at its own SP1 (a flat first
//    segment) unless P.STA is 1: then it starts from the measured value, which only the
//    controller knows; pvStart() says so, and the profile still draws segment 1 flat.
//  - SP1 "----" keeps the previous segment's SP1.
//  - A time event Tn is on from its 1st to its 2nd time after the segment start; a 2nd "----"
//    keeps it on to the segment end, a 1st "----" leaves it off. Events 1 to 3 whose event type is
//    the time event take their 1st and 2nd cells the same way, as minutes, and a 1st of 5999 also
//    means off. A band never runs past its segment's end.
//  - A cell that cannot be read makes its segment unreadable: a bad TIME counts as 0 minutes, a bad
//    SP1 keeps the previous SP1, a bad event pair draws no band. The segment is still laid out.
class SetpointProfile
{
public:
    enum class Error {
        None,
        NoSegments,           // the rows hold no segment row after the header row
        IncompleteParameters, // the range parameters hold 1 to 4 values instead of 5
        TooManySegments       // more than MaxSegments segment rows
    };

    // The lanes time bands go in: T1..T5, then events 1..3 when their type is the time event.
    enum Lane { T1, T2, T3, T4, T5, Ev1, Ev2, Ev3, LaneCount };

    struct Segment
    {
        int number = 0; // 1-based
        int startMinutes = 0;
        int endMinutes = 0;
        double startSp = 0;
        double endSp = 0;
        bool unreadable = false;     // a cell could not be read
        bool invalid = false;        // the caller named it as failing validation
        QStringList unreadableCells; // column titles of the cells that could not be read
    };

    struct Band
    {
        Lane lane = T1;
        int segment = 0; // 1-based
        int startMinutes = 0;
        int endMinutes = 0;
    };

    static constexpr int TimeEventType = 50;
    // Far beyond any controller program; keeps every run time within an int.
    static constexpr int MaxSegments = 9999;

    // Builds the profile from rows (header row first). parameters: empty when unknown, else the
    // five range parameters (SP1 low limit, SP1 high limit, event types 1 to 3). invalidSegments:
    // segment numbers to mark as invalid. Error::None when the profile holds at least one segment;
    // otherwise the profile is left empty.
    Error build(const QList<QStringList> &rows, const QList<qint32> &parameters = {},
                const QSet<int> &invalidSegments = {});

    // The segments in order (empty before a successful build).
    const QList<Segment> &segments() const { return m_segments; }
    // The time bands, by segment and then by lane.
    const QList<Band> &bands() const { return m_bands; }
    // The lanes that hold at least one band, in lane order.
    QList<Lane> usedLanes() const;
    // "T1".."T5", "EV1".."EV3".
    static QString laneName(Lane lane);

    // The run time of the whole program in minutes (0 for an empty profile).
    int totalMinutes() const;
    // The SP1 at a run time (clamped to the program), the later segment's at a boundary; 0 when
    // empty.
    double spAt(double minutes) const;
    // The number of the segment running at a run time (the later one at a boundary, the last one at
    // the end), or 0 when the time is outside the program.
    int segmentAtMinutes(double minutes) const;
    // Lowest and highest SP1 the profile reaches (both 0 when empty).
    double minSp() const;
    double maxSp() const;

    // True when the range parameters were given.
    bool hasParameters() const { return m_hasParameters; }
    qint32 spLowLimit() const { return m_spLow; }
    qint32 spHighLimit() const { return m_spHigh; }
    // The event type of event n (1 to 3), or -1 when not known.
    qint32 eventType(int event) const;

    // True when P.STA is 1: segment 1 starts from the measured value, not from its SP1.
    bool pvStart() const { return m_pStart == 1; }
    // P.STA, CYCL and P.LIN of segment 1; empty when "----" or unreadable.
    std::optional<int> programStart() const { return m_pStart; }
    std::optional<int> cycles() const { return m_cycles; }
    std::optional<int> linkedProgram() const { return m_linked; }
    // The Tag cell of segment 1 without trailing spaces.
    QString tag() const { return m_tag; }

private:
    void addSegment(int number, const QStringList &row);
    void readProgramWide(const QStringList &row);
    // Adds the band of one 1st/2nd pair; false when a cell could not be read.
    bool addBand(Lane lane, Segment &segment, const QString &first, const QString &second,
                 bool hoursDotMinutes);

    QList<Segment> m_segments;
    QList<Band> m_bands;
    bool m_hasParameters = false;
    qint32 m_spLow = 0;
    qint32 m_spHigh = 0;
    qint32 m_eventTypes[3] = {-1, -1, -1};
    std::optional<int> m_pStart;
    std::optional<int> m_cycles;
    std::optional<int> m_linked;
    QString m_tag;
};

#endif
