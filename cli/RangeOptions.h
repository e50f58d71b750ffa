#ifndef RANGEOPTIONS_H
#define RANGEOPTIONS_H

#include <QList>
#include <QString>

class CommandLine;
class PortSetup;

// The range parameters a program file is judged by when it is shown or drawn: SP1 lower and
// upper limit from --sp-limits, the event types of events 1 to 3 from --event-types, and those
// not given read from the controller. Unlike a check before a write, an unreachable controller
// does not end the command: what is not known is left unchecked, and note() says so.
class RangeOptions
{
public:
    static void declare(CommandLine &line);
    // Reads the declared options; false with the reason recorded in line.
    bool parse(CommandLine &line);

    // Reads what the options left open from the controller at setup, as a program write reads
    // it. True when every parameter is known afterwards; false with note() saying what is not.
    bool completeFromController(const PortSetup &setup);
    // Takes ranges entered by hand: limits (low, high) and the event types of events 1 to 3; a
    // list of another length leaves that part unknown. Never fails.
    void setGiven(const QList<qint32> &limits, const QList<qint32> &eventTypes);

    bool limitsKnown() const { return m_limits.size() == 2; }
    bool eventTypesKnown() const { return m_eventTypes.size() == 3; }
    bool allKnown() const { return limitsKnown() && eventTypesKnown(); }

    // The five parameters to validate with: unknown SP1 limits let every SP1 pass, unknown event
    // types count as 0 (which has no pair rule); the event range lines of that guess must be
    // dropped by the caller.
    QList<qint32> validationParameters() const;
    // The five parameters when all are known, otherwise an empty list.
    QList<qint32> knownParameters() const;
    // One line naming the ranges used and where they came from, or what is unchecked.
    QString describe() const;
    // Why the controller gave nothing (empty when it answered or was not asked).
    QString note() const { return m_note; }

private:
    QList<qint32> m_limits;
    QList<qint32> m_eventTypes;
    bool m_given = false; // some came from the options
    QString m_controller; // the controller the missing values came from
    QString m_note;
};

#endif
