#include "RangeOptions.h"

#include "CommandLine.h"
#include "PluginSession.h"
#include "PortSetup.h"

#include <limits>

void RangeOptions::declare(CommandLine &line)
{
    line.addOption(QStringLiteral("sp-limits"), QStringLiteral("LOW,HIGH"),
                   QStringLiteral("SP1 lower and upper limit"));
    line.addOption(QStringLiteral("event-types"), QStringLiteral("T1,T2,T3"),
                   QStringLiteral("event types of events 1, 2 and 3"));
}

bool RangeOptions::parse(CommandLine &line)
{
    QList<int> limits;
    QList<int> eventTypes;
    if ((line.isSet(QStringLiteral("sp-limits")) &&
         !line.intListValue(QStringLiteral("sp-limits"), 2, limits)) ||
        (line.isSet(QStringLiteral("event-types")) &&
         !line.intListValue(QStringLiteral("event-types"), 3, eventTypes)))
        return false;
    m_limits = limits;
    m_eventTypes = eventTypes;
    m_given = !limits.isEmpty() || !eventTypes.isEmpty();
    return true;
}

void RangeOptions::setGiven(const QList<qint32> &limits, const QList<qint32> &eventTypes)
{
    m_limits = limits.size() == 2 ? limits : QList<qint32>{};
    m_eventTypes = eventTypes.size() == 3 ? eventTypes : QList<qint32>{};
    m_given = !m_limits.isEmpty() || !m_eventTypes.isEmpty();
}

bool RangeOptions::completeFromController(const PortSetup &setup)
{
    if (allKnown())
        return true;
    PluginSession session;
    QString reason;
    QList<qint32> fromController;
    if (!session.load(true, &reason) || !session.openPort(setup, &reason)) {
        m_note = reason;
        return false;
    }
    // The same reads the plugin makes before a write, through its delegated readTag.
    if (!session.readRangeParameters(fromController, &reason)) {
        m_note = QStringLiteral("the controller at %1 did not answer the read of %2")
                     .arg(setup.address.toString(), reason);
        return false;
    }
    if (!limitsKnown())
        m_limits = fromController.mid(0, 2);
    if (!eventTypesKnown())
        m_eventTypes = fromController.mid(2, 3);
    m_controller = setup.address.toString();
    return true;
}

QList<qint32> RangeOptions::validationParameters() const
{
    QList<qint32> paras = limitsKnown() ? m_limits
                                        : QList<qint32>{std::numeric_limits<qint32>::min(),
                                                        std::numeric_limits<qint32>::max()};
    paras += eventTypesKnown() ? m_eventTypes : QList<qint32>{0, 0, 0};
    return paras;
}

QList<qint32> RangeOptions::knownParameters() const
{
    return allKnown() ? m_limits + m_eventTypes : QList<qint32>{};
}

QString RangeOptions::describe() const
{
    QStringList parts;
    parts << (limitsKnown() ? QStringLiteral("SP1 %1 to %2").arg(m_limits.at(0)).arg(m_limits.at(1))
                            : QStringLiteral("SP1 limits unknown (not checked)"));
    parts << (eventTypesKnown() ? QStringLiteral("event types %1, %2, %3")
                                      .arg(m_eventTypes.at(0))
                                      .arg(m_eventTypes.at(1))
                                      .arg(m_eventTypes.at(2))
                                : QStringLiteral("event types unknown (event ranges not checked)"));
    QStringList sources;
    if (m_given)
        sources << QStringLiteral("the options");
    if (!m_controller.isEmpty())
        sources << QStringLiteral("the controller at %1").arg(m_controller);
    if (sources.isEmpty())
        return QStringLiteral("Ranges: %1").arg(parts.join(QStringLiteral(", ")));
    return QStringLiteral("Ranges: %1 (from %2)")
        .arg(parts.join(QStringLiteral(", ")), sources.join(QStringLiteral(" and ")));
}
