#include "FaultPlan.h"

#include "ControllerSimulator.h"

namespace {
const char ETX = 0x03;
const char StrayByte = char(0xFF);
} // namespace

QByteArray FaultPlan::Delivery::bytes() const
{
    QByteArray all;
    for (const QByteArray &chunk : chunks)
        all += chunk;
    return all;
}

FaultPlan::FaultPlan(quint32 seed) : m_seed(seed), m_random(seed) {}

void FaultPlan::addRule(const FaultRule &rule)
{
    m_rules.append(rule);
    m_fired.append(0);
}

bool FaultPlan::addRule(const QString &text, QString *error)
{
    FaultRule rule;
    if (!FaultRule::parse(text, rule, error))
        return false;
    addRule(rule);
    return true;
}

bool FaultPlan::parse(const QStringList &texts, FaultPlan &plan, QString *error, quint32 seed)
{
    FaultPlan result(seed);
    for (const QString &text : texts) {
        if (!result.addRule(text, error))
            return false;
    }
    plan = result;
    return true;
}

QStringList FaultPlan::ruleTexts() const
{
    QStringList result;
    for (const FaultRule &rule : m_rules)
        result << rule.toString();
    return result;
}

void FaultPlan::clearRules()
{
    m_rules.clear();
    m_fired.clear();
}

void FaultPlan::setSeed(quint32 seed)
{
    m_seed = seed;
    m_random.seed(seed);
}

int FaultPlan::requestCount(FaultRule::Command command) const
{
    const int i = int(command);
    if (command == FaultRule::Command::Any)
        return m_exchanges;
    return i >= 0 && i < m_requests.size() ? m_requests.at(i) : 0;
}

int FaultPlan::injectedCount(FaultRule::Fault fault) const
{
    const int i = int(fault);
    return i >= 0 && i < m_injected.size() ? m_injected.at(i) : 0;
}

int FaultPlan::totalInjected() const
{
    int total = 0;
    for (int n : m_injected)
        total += n;
    return total;
}

void FaultPlan::resetCounters()
{
    m_fired.fill(0);
    m_requests.fill(0);
    m_injected.fill(0);
    m_exchanges = 0;
    m_random.seed(m_seed);
}

int FaultPlan::triggeredRule(FaultRule::Command command)
{
    for (int i = 0; i < m_rules.size(); ++i) {
        const FaultRule &rule = m_rules.at(i);
        if (rule.command != FaultRule::Command::Any && rule.command != command)
            continue;
        const int index =
            rule.command == FaultRule::Command::Any ? m_exchanges : m_requests.at(int(command));
        if (rule.nth > 0 && index < rule.nth)
            continue;
        if (rule.count > 0 && m_fired.at(i) >= rule.count)
            continue;
        if (rule.probability < 1.0 && !(m_random.generateDouble() < rule.probability))
            continue;
        return i;
    }
    return -1;
}

FaultPlan::Delivery FaultPlan::exchange(ControllerSimulator &controller, const QByteArray &request)
{
    const FaultRule::Command command = FaultRule::commandOf(request);
    ++m_exchanges;
    ++m_requests[int(command)];

    Delivery delivery;
    const int ruleIndex = triggeredRule(command);
    const FaultRule *rule = ruleIndex >= 0 ? &m_rules.at(ruleIndex) : nullptr;

    // Faults that keep the controller from executing the request.
    if (rule && rule->fault == FaultRule::Fault::NoReply) {
        ++m_fired[ruleIndex];
        ++m_injected[int(rule->fault)];
        delivery.faulted = true;
        delivery.fault = rule->fault;
        return delivery;
    }
    if (rule && rule->fault == FaultRule::Fault::EndCode) {
        ++m_fired[ruleIndex];
        ++m_injected[int(rule->fault)];
        delivery.faulted = true;
        delivery.fault = rule->fault;
        delivery.chunks << ControllerSimulator::buildReply(rule->endCode);
        return delivery;
    }

    QByteArray reply = controller.handleFrame(request);
    if (reply.isEmpty())
        return delivery;
    if (!rule) {
        delivery.chunks << reply;
        return delivery;
    }
    ++m_fired[ruleIndex];
    ++m_injected[int(rule->fault)];
    delivery.faulted = true;
    delivery.fault = rule->fault;
    damage(*rule, reply, delivery);
    return delivery;
}

void FaultPlan::damage(const FaultRule &rule, QByteArray &reply, Delivery &delivery)
{
    const int etx = qMax(1, reply.lastIndexOf(ETX));
    switch (rule.fault) {
    case FaultRule::Fault::Garbled: {
        const int pos = qMin(rule.parameter > 0 ? rule.parameter : 1, reply.size() - 1);
        reply[pos] = char(reply.at(pos) ^ 0x01);
        break;
    }
    case FaultRule::Fault::Truncated: {
        const int keep = rule.parameter > 0 ? rule.parameter : reply.size() / 2;
        reply.truncate(qMax(1, qMin(keep, reply.size() - 1)));
        break;
    }
    case FaultRule::Fault::Short: {
        // Never eats into STX.
        const int n = qMin(rule.parameter > 0 ? rule.parameter : 1, etx - 1);
        reply.remove(etx - n, n);
        break;
    }
    case FaultRule::Fault::Long:
        reply.insert(etx, QByteArray(rule.parameter > 0 ? rule.parameter : 1, '0'));
        break;
    case FaultRule::Fault::Stray:
        reply.prepend(QByteArray(rule.parameter > 0 ? rule.parameter : 2, StrayByte));
        break;
    case FaultRule::Fault::Split: {
        const int n = qMin(rule.parameter > 0 ? rule.parameter : 2, reply.size());
        int start = 0;
        for (int i = 0; i < n; ++i) {
            const int end = int(qint64(reply.size()) * (i + 1) / n);
            delivery.chunks << reply.mid(start, end - start);
            start = end;
        }
        delivery.chunkGapMs = rule.effectiveDelayMs();
        return;
    }
    case FaultRule::Fault::Late:
        delivery.late = true;
        delivery.delayMs = rule.effectiveDelayMs();
        break;
    case FaultRule::Fault::NoReply:
    case FaultRule::Fault::EndCode:
        break;
    }
    delivery.chunks << reply;
}
