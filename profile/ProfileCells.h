#ifndef PROFILECELLS_H
#define PROFILECELLS_H

#include <QString>

#include <optional>

// Reads the cells of a segment row the way the controller's format has them: signed decimal
// numbers, TIME as hours ":" minutes and time events as hours "." minutes. White space around a
// number is allowed; anything else that is not the format reads as no value.
class ProfileCells
{
public:
    // True for "----", the cell without value.
    static bool isUnset(const QString &cell);

    // The value of a signed decimal cell (optional "+" or "-", digits, within 32 bits), or empty.
    static std::optional<qint32> decimal(const QString &cell);

    // Total minutes of a TIME cell ("01:30" is 90), or empty when it is not hours:minutes.
    static std::optional<qint64> time(const QString &cell);

    // Total minutes of a time-event cell ("1.05" is 65, "2" is 120), or empty.
    static std::optional<qint64> timeEvent(const QString &cell);

private:
    static std::optional<qint64> hoursMinutes(const QString &cell, QChar separator,
                                              bool separatorRequired);
};

#endif
