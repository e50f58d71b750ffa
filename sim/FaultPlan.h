#ifndef FAULTPLAN_H
#define FAULTPLAN_H

#include "FaultRule.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QStringList>
#include <QVector>

class ControllerSimulator;

// The faults of a simulated line, held as data: a list of FaultRule, a seeded random generator
// for the probability triggers, the request counters the nth triggers use and counters of the
// faults injected. exchange() runs one request through the controller model and the rules and
// says what goes back on the line.
//
// On every request the rules are tried in list order; the first one that triggers decides the
// exchange and the later ones are not consulted (nor do they draw random numbers). A fault that
// cannot be applied because the controller stays silent (a frame it ignores) is not counted.
//
// A value type without a lock: its owner serialises the calls (SimulatedPort holds it under its
// own lock). The same seed and the same request sequence always give the same faults.
class FaultPlan
{
public:
    // What goes back on the line for one request.
    struct Delivery
    {
        QList<QByteArray> chunks; // sent in order; empty: no reply at all
        bool late = false;        // arrives only after the reader has given up
        int delayMs = 0;          // real delay before the first chunk (late replies)
        int chunkGapMs = 0;       // real delay between chunks (split replies)
        bool faulted = false;
        FaultRule::Fault fault = FaultRule::Fault::NoReply; // meaningful when faulted
        QByteArray bytes() const;
    };

    explicit FaultPlan(quint32 seed = 1);

    void addRule(const FaultRule &rule);
    // Parses and adds a rule; false (plan unchanged) with the parser's message in *error.
    bool addRule(const QString &text, QString *error = nullptr);
    // Parses several rule texts into a new plan; false with the first error.
    static bool parse(const QStringList &texts, FaultPlan &plan, QString *error = nullptr,
                      quint32 seed = 1);
    QList<FaultRule> rules() const { return m_rules; }
    // The canonical texts of all rules, in order.
    QStringList ruleTexts() const;
    void clearRules();

    // Restarts the random generator with seed.
    void setSeed(quint32 seed);
    quint32 seed() const { return m_seed; }

    Delivery exchange(ControllerSimulator &controller, const QByteArray &request);

    // Requests seen so far, in all and per command kind.
    int exchangeCount() const { return m_exchanges; }
    int requestCount(FaultRule::Command command) const;
    // Faults injected so far, per kind and in all.
    int injectedCount(FaultRule::Fault fault) const;
    int totalInjected() const;
    // Zeroes every counter (requests, firings, injected faults) and restarts the generator.
    void resetCounters();

private:
    int triggeredRule(FaultRule::Command command);
    static void damage(const FaultRule &rule, QByteArray &reply, Delivery &delivery);

    QList<FaultRule> m_rules;
    QVector<int> m_fired; // per rule
    QVector<int> m_requests = QVector<int>(FaultRule::CommandCount, 0);
    QVector<int> m_injected = QVector<int>(FaultRule::FaultCount, 0);
    int m_exchanges = 0;
    quint32 m_seed;
    QRandomGenerator m_random;
};

#endif
