#include "ProfileCells.h"

#include <QStringList>

#include <limits>

bool ProfileCells::isUnset(const QString &cell)
{
    return cell == QLatin1String("----");
}

std::optional<qint32> ProfileCells::decimal(const QString &cell)
{
    const QString text = cell.trimmed();
    int begin = 0;
    bool negative = false;
    if (!text.isEmpty() && (text.at(0) == QLatin1Char('+') || text.at(0) == QLatin1Char('-'))) {
        negative = text.at(0) == QLatin1Char('-');
        begin = 1;
    }
    if (begin == text.size())
        return std::nullopt;
    const qint64 limit = qint64(std::numeric_limits<qint32>::max()) + (negative ? 1 : 0);
    qint64 magnitude = 0;
    for (int i = begin; i < text.size(); ++i) {
        const ushort u = text.at(i).unicode();
        if (u < '0' || u > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + (u - '0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return qint32(negative ? -magnitude : magnitude);
}

std::optional<qint64> ProfileCells::time(const QString &cell)
{
    return hoursMinutes(cell, QLatin1Char(':'), true);
}

std::optional<qint64> ProfileCells::timeEvent(const QString &cell)
{
    return hoursMinutes(cell, QLatin1Char('.'), false);
}

std::optional<qint64> ProfileCells::hoursMinutes(const QString &cell, QChar separator,
                                                 bool separatorRequired)
{
    const QStringList parts = cell.split(separator);
    if (parts.size() > 2 || (separatorRequired && parts.size() != 2))
        return std::nullopt;
    const std::optional<qint32> hours = decimal(parts.at(0));
    const std::optional<qint32> minutes =
        parts.size() == 2 ? decimal(parts.at(1)) : std::optional<qint32>(0);
    if (!hours || !minutes || *hours < 0 || *minutes < 0)
        return std::nullopt;
    return qint64(*hours) * 60 + *minutes;
}
