#include "ProgramFormat.h"

#include "RecordGeometry.h"

#include <QChar>

#include <limits>
#include <optional>

namespace {

const QString unsetCell = QStringLiteral("----");
const QString unsetWord = QStringLiteral("7FFF");
const QString reservedWord = QStringLiteral("0000");

constexpr int tagLength = ProgramColumns::TagCharacters;
constexpr qint32 timeEventType = 50;
// Only a segment-1 text (record of 120 digits) reaches past this length: an other segment's
// reply text is its 92 digits and 3 trailing characters.
constexpr int commonRecordLimit = 100;

// The range of an event's cells by the group of its event type. A 2nd cell, and a 1st cell of a
// type in no group, ranges over 0..5999. Types are compared unsigned: a negative one is in no
// group.
struct EventGroup
{
    quint32 lowType;
    quint32 highType;
    const char *prefix;
    qint32 firstLow;
    qint32 firstHigh;
};

constexpr EventGroup eventGroups[] = {
    {0, 1, "In case of PV type event;", -1999, 9999},
    {4, 5, "In case of absolute value deviation event;", 0, 9999},
    {8, 11, "In case of MV/MFB event;", -100, 1100},
    {timeEventType, timeEventType, "In case of time event;", 0, 5999},
};
constexpr qint32 eventDefaultHigh = 5999;

// Parses an unsigned hex number from digits only; false for an empty or foreign text.
bool parseHex(const QString &text, quint32 &value)
{
    if (text.isEmpty() || text.size() > 8)
        return false;
    quint32 result = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        int digit;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        else if (u >= 'a' && u <= 'f')
            digit = u - 'a' + 10;
        else
            return false;
        result = result * 16 + quint32(digit);
    }
    value = result;
    return true;
}

QString signedText(qint64 value)
{
    return QString::number(value);
}

// Hours and minutes of a minute count, hours truncated toward zero.
void splitMinutes(qint32 total, qint32 &hours, qint32 &minutes)
{
    hours = total / 60;
    minutes = total - 60 * hours;
}

QString timeCell(qint32 total)
{
    qint32 h, m;
    splitMinutes(total, h, m);
    return QStringLiteral("%1:%2").arg(h, 2, 10, QLatin1Char('0')).arg(m, 2, 10, QLatin1Char('0'));
}

QString timeEventCell(qint32 total)
{
    qint32 h, m;
    splitMinutes(total, h, m);
    return QStringLiteral("%1.%2").arg(h).arg(m, 2, 10, QLatin1Char('0'));
}

QString outOfRange(const QString &title, qint64 value, qint64 low, qint64 high)
{
    return QStringLiteral("%1 [%2] is out of range (%3 ~ %4).")
        .arg(title, signedText(value), signedText(low), signedText(high));
}

} // namespace

QStringList ProgramFormat::headerRow()
{
    return ProgramColumns::headerRow();
}

void ProgramFormat::generalHead(QList<QStringList> &datas) const
{
    datas.append(headerRow());
}

bool ProgramFormat::parseDecimal(const QString &text, bool allowMinus, qint32 &value)
{
    value = 0;
    int begin = 0;
    int end = text.size();
    while (begin < end && text.at(begin).isSpace())
        ++begin;
    while (end > begin && text.at(end - 1).isSpace())
        --end;
    bool negative = false;
    if (begin < end) {
        const QChar sign = text.at(begin);
        if (sign == QLatin1Char('+')) {
            ++begin;
        } else if (sign == QLatin1Char('-') && allowMinus) {
            negative = true;
            ++begin;
        }
    }
    if (begin == end)
        return false;
    // The magnitude may reach 2^31 only for a negative number.
    const qint64 limit = negative ? qint64(std::numeric_limits<qint32>::max()) + 1
                                  : qint64(std::numeric_limits<qint32>::max());
    qint64 magnitude = 0;
    for (int i = begin; i < end; ++i) {
        const ushort u = text.at(i).unicode();
        if (u < '0' || u > '9')
            return false;
        magnitude = magnitude * 10 + (u - '0');
        if (magnitude > limit)
            return false;
    }
    value = qint32(negative ? -magnitude : magnitude);
    return true;
}

QString ProgramFormat::formatWord(qint64 value)
{
    return QString::number(value, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

QString ProgramFormat::formatCellWord(qint32 value)
{
    return QString::number(quint32(value), 16)
        .toUpper()
        .rightJustified(4, QLatin1Char('0'))
        .right(4);
}

qint16 ProgramFormat::wordValue(const QString &indata, int offset)
{
    quint32 value = 0;
    if (!parseHex(indata.mid(offset, 4), value))
        return 0;
    return qint16(quint16(value));
}

bool ProgramFormat::isUnsetMarker(const QString &indata, int offset)
{
    return indata.mid(offset, 4) == unsetWord;
}

QString ProgramFormat::takeCell(QStringList &cells)
{
    return cells.isEmpty() ? QString() : cells.takeFirst();
}

QString ProgramFormat::recordCell(int column, int segment, const QString &indata, bool longText)
{
    const ProgramColumns::Column &c = ProgramColumns::at(column);
    if (c.kind == ProgramColumns::Kind::Label)
        return QStringLiteral("SEG%1").arg(segment);
    if (c.programWide && !longText)
        return unsetCell;
    if (c.kind == ProgramColumns::Kind::Tag) {
        QString tag;
        for (int i = 0; i < tagLength; ++i) {
            quint32 code = 0;
            if (!parseHex(indata.mid(c.offset + 2 * i, 2), code))
                code = 0;
            tag.append(QChar(ushort(code)));
        }
        return tag;
    }
    if (c.unsetOnRead && isUnsetMarker(indata, c.offset))
        return unsetCell;
    const qint16 value = wordValue(indata, c.offset);
    if (c.kind == ProgramColumns::Kind::Time)
        return timeCell(value);
    if (c.kind == ProgramColumns::Kind::TimeEvent)
        return timeEventCell(value);
    return signedText(value);
}

void ProgramFormat::HEX2CSV(int segment, const QString &indata, QList<QStringList> &datas) const
{
    const bool longText = indata.size() > commonRecordLimit;
    QStringList row;
    row.reserve(ProgramColumns::count());
    for (int column = 0; column < ProgramColumns::count(); ++column)
        row << recordCell(column, segment, indata, longText);
    datas.append(row);
}

void ProgramFormat::validateSegments(int segmentCnt, const QList<QStringList> &datas,
                                     QMap<int, QString> &records, QStringList &errorList) const
{
    for (int s = 1; s <= segmentCnt; ++s) {
        if (datas.size() < s) {
            errorList << QStringLiteral("Segment %1 has no data in the csv file. Please check it.")
                             .arg(s);
            continue;
        }
        QString record;
        QStringList rowErrors;
        if (validateDataRow(s, datas, record, rowErrors)) {
            records.insert(s, record);
        } else {
            errorList << QStringLiteral("\n\tSegment %1 has following format error : ").arg(s);
            for (const QString &line : qAsConst(rowErrors))
                errorList << QStringLiteral("\t\t%1").arg(line);
        }
    }
}

bool ProgramFormat::validateDataRow(int segment, const QList<QStringList> &datas,
                                    QString &outputData, QStringList &errorList) const
{
    if (segment < 1 || segment > datas.size()) {
        errorList.append(QStringLiteral("Segment %1 has no data in the csv file. Please check it.")
                             .arg(segment));
        return false;
    }
    QStringList row = datas.at(segment - 1);
    return CSV2HEX(segment, row, outputData, errorList);
}

bool ProgramFormat::takeRowFrame(bool firstSegment, QStringList &cells, QStringList &errorList)
{
    if (!cells.isEmpty())
        cells.removeFirst();
    const int programWideCells = ProgramColumns::count() - ProgramColumns::firstProgramWide();
    if (!firstSegment) {
        for (int i = 0; i < programWideCells && !cells.isEmpty(); ++i)
            cells.removeLast();
    }
    // Every column but the label, and for segments but 1 without the program-wide ones.
    const int required =
        (firstSegment ? ProgramColumns::count() : ProgramColumns::firstProgramWide()) - 1;
    if (cells.size() == required)
        return true;
    const QString notCounted =
        firstSegment ? QStringLiteral("the segment label")
                     : QStringLiteral("the segment label and the %1 program-wide columns")
                           .arg(programWideCells);
    errorList.append(
        QStringLiteral("The number of columns is incorrect. %1 columns are "
                       "required, not counting %2, but %3 were found.")
            .arg(QString::number(required), notCounted, QString::number(cells.size())));
    return false;
}

bool ProgramFormat::CSV2HEX(int segment, QStringList &inDatas, QString &outData,
                            QStringList &errorList) const
{
    const bool firstSegment = segment == 1;
    if (!takeRowFrame(firstSegment, inDatas, errorList))
        return false;
    bool noError = true;
    PairValues pair;
    const int end = firstSegment ? ProgramColumns::count() : ProgramColumns::firstProgramWide();
    for (int column = 1; column < end; ++column)
        convertColumn(column, inDatas, outData, errorList, noError, pair);
    return noError;
}

void ProgramFormat::convertColumn(int column, QStringList &cells, QString &outData,
                                  QStringList &errorList, bool &noError, PairValues &pair) const
{
    const ProgramColumns::Column &c = ProgramColumns::at(column);
    qint32 value = -1;
    switch (c.kind) {
    case ProgramColumns::Kind::Label:
        takeCell(cells);
        break;
    case ProgramColumns::Kind::Setpoint:
    case ProgramColumns::Kind::Number:
        CSVCell2HEX(cells, outData, errorList, noError, c.checkTitle(), value);
        break;
    case ProgramColumns::Kind::Time:
        convertTime(c, cells, outData, errorList, noError);
        break;
    case ProgramColumns::Kind::Event:
        convertEvent(c, cells, outData, errorList, noError, pair);
        break;
    case ProgramColumns::Kind::TimeEvent:
        convertTimeEvent(c, cells, outData, errorList, noError, pair);
        break;
    case ProgramColumns::Kind::Tag:
        convertTag(cells, outData, errorList, noError);
        break;
    }
    // The reserved words between this field and the next are written as zeros.
    if (column + 1 < ProgramColumns::count()) {
        const int next = ProgramColumns::at(column + 1).offset;
        for (int at = c.offset + c.digits; at < next; at += RecordGeometry::WordDigits) {
            if (noError)
                outData.append(reservedWord);
        }
    }
}

void ProgramFormat::convertEvent(const ProgramColumns::Column &column, QStringList &cells,
                                 QString &outData, QStringList &errorList, bool &noError,
                                 PairValues &pair) const
{
    if (!column.second) {
        CSVCell2HEX(cells, outData, errorList, noError, column.checkTitle(), pair.eventFirst);
        return;
    }
    const QString secondText = cells.isEmpty() ? QString() : cells.first();
    qint32 second = -1;
    CSVCell2HEX(cells, outData, errorList, noError, column.checkTitle(), second);
    const qint32 eventTypes[3] = {ev1Type, ev2Type, ev3Type};
    if (eventTypes[column.pair - 1] != timeEventType)
        return;
    const QString event = QStringLiteral("EV%1").arg(column.pair);
    if (pair.eventFirst == 5999) {
        if (secondText != unsetCell) {
            errorList.append(QStringLiteral("In case of time event; The value of %1 2nd must "
                                            "be [----] when the value of %2 1st is 5999.")
                                 .arg(event, event));
            noError = false;
        }
    } else if (!(second > pair.eventFirst)) {
        errorList.append(QStringLiteral("In case of time event;  The value of %1 2nd must be "
                                        "bigger than the value of %2 1st.")
                             .arg(event, event));
        noError = false;
    }
}

void ProgramFormat::convertTime(const ProgramColumns::Column &column, QStringList &cells,
                                QString &outData, QStringList &errorList, bool &noError) const
{
    const QString cell = takeCell(cells);
    if (!cell.contains(QLatin1Char(':'))) {
        errorList.append(
            QStringLiteral("The format of TM is incorrect. There is no \":\" symbol."));
        noError = false;
        return;
    }
    const QStringList parts = cell.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    qint32 hours = 0;
    qint32 minutes = 0;
    if (!parseDecimal(parts.at(0), false, hours)) {
        errorList.append(QStringLiteral("The format of TM's hour is incorrect."));
        noError = false;
        return;
    }
    if (!parseDecimal(parts.at(1), false, minutes)) {
        errorList.append(QStringLiteral("The format of TM's minute is incorrect."));
        noError = false;
        return;
    }
    const qint64 total = qint64(hours) * 60 + minutes;
    QString error;
    if (!checkRange(column.checkTitle(), total, error)) {
        errorList.append(error);
        noError = false;
        return;
    }
    if (noError)
        outData.append(formatWord(total));
}

// The 2nd cell of a pair also applies the pair rule, which compares two read numbers only.
void ProgramFormat::convertTimeEvent(const ProgramColumns::Column &column, QStringList &cells,
                                     QString &outData, QStringList &errorList, bool &noError,
                                     PairValues &pair) const
{
    std::optional<qint64> value;
    const QString cell = takeCell(cells);
    if (cell == unsetCell) {
        if (noError)
            outData.append(unsetWord);
    } else {
        qint32 hours = 0;
        qint32 minutes = 0;
        bool valid;
        if (!cell.contains(QLatin1Char('.'))) {
            valid = parseDecimal(cell, true, hours);
        } else {
            const QStringList parts = cell.split(QLatin1Char('.'), Qt::KeepEmptyParts);
            valid =
                parseDecimal(parts.at(0), true, hours) && parseDecimal(parts.at(1), true, minutes);
        }
        if (!valid) {
            errorList.append(
                QStringLiteral("The format of %1 is incorrect.").arg(column.checkTitle()));
            noError = false;
        } else {
            value = qint64(hours) * 60 + minutes;
            QString error;
            if (!checkRange(column.checkTitle(), *value, error)) {
                errorList.append(error);
                noError = false;
            }
            if (noError)
                outData.append(formatWord(*value));
        }
    }
    if (!column.second) {
        pair.timeFirst = value;
    } else if (pair.timeFirst && value && !(*value > *pair.timeFirst)) {
        errorList.append(
            QStringLiteral("The value of %1 2nd must be bigger than the value of %1 1st.")
                .arg(QStringLiteral("T%1").arg(column.pair)));
        noError = false;
    }
}

void ProgramFormat::convertTag(QStringList &cells, QString &outData, QStringList &errorList,
                               bool &noError) const
{
    QString cell = takeCell(cells);
    if (cell.size() < tagLength)
        cell = cell.leftJustified(tagLength, QLatin1Char(' '));
    else
        cell.truncate(tagLength);

    QString digits;
    bool rejected = false;
    for (const QChar c : qAsConst(cell)) {
        const ushort code = c.toUpper().unicode();
        if (code >= 0x20 && code <= 0x5F)
            digits.append(QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0')));
        else
            rejected = true;
    }
    if (rejected) {
        errorList.append(QStringLiteral(
            "The each character of Tag can only be Numerics, Capital letters and Symbols."));
        noError = false;
        return;
    }
    if (noError)
        outData.append(digits);
}

bool ProgramFormat::CSVCell2HEX(QStringList &inDatas, QString &outData, QStringList &errorList,
                                bool &noError, const QString &cellTitle,
                                qint32 &decCellIntValue) const
{
    decCellIntValue = -1;
    const QString cell = takeCell(inDatas);
    if (cell == unsetCell) {
        if (noError)
            outData.append(unsetWord);
        return true;
    }
    if (!parseDecimal(cell, true, decCellIntValue)) {
        errorList.append(QStringLiteral("The format of %1 is incorrect.Maybe the negative symbol "
                                        "is not ASCII code or the value is not number.")
                             .arg(cellTitle));
        noError = false;
        return false;
    }
    QString error;
    if (!checkValueRange(cellTitle, decCellIntValue, error)) {
        errorList.append(error);
        noError = false;
        return false;
    }
    if (noError)
        outData.append(formatCellWord(decCellIntValue));
    return true;
}

void ProgramFormat::setParameters(const QList<qint32> &paras)
{
    qint32 *const members[5] = {&spLowLimit, &spHighLimit, &ev1Type, &ev2Type, &ev3Type};
    const int count = qMin(paras.size(), 5);
    for (int i = 0; i < count; ++i)
        *members[i] = paras.at(i);
}

bool ProgramFormat::checkValueRange(const QString &cellTitle, qint32 value, QString &error) const
{
    return checkRange(cellTitle, value, error);
}

bool ProgramFormat::checkRange(const QString &cellTitle, qint64 value, QString &error) const
{
    qint64 low = 0;
    qint64 high = 0;
    const ProgramColumns::Column *column = ProgramColumns::byCheckTitle(cellTitle);
    if (column && column->kind == ProgramColumns::Kind::Event) {
        return checkEventRange(cellTitle, column->pair, !column->second, value, error);
    } else if (column && column->kind == ProgramColumns::Kind::Setpoint) {
        low = spLowLimit;
        high = spHighLimit;
    } else if (column && column->fixedRange) {
        low = column->low;
        high = column->high;
    } else if (!column && cellTitle.startsWith(QLatin1String("EV"))) {
        // A title of no column that looks like an event's: its third character names the event.
        const ushort number = cellTitle.size() > 2 ? cellTitle.at(2).unicode() : 0;
        const int event = number >= '1' && number <= '3' ? number - '0' : 0;
        return checkEventRange(cellTitle, event, cellTitle.endsWith(QLatin1String("1st")), value,
                               error);
    } else if (!column && cellTitle.startsWith(QLatin1Char('T')) && cellTitle.size() == 6) {
        // One that looks like a time event's ranges as a time event.
        const ProgramColumns::Column &timeEvent =
            *ProgramColumns::byCheckTitle(QStringLiteral("T1 1st"));
        low = timeEvent.low;
        high = timeEvent.high;
    } else {
        return true;
    }
    if (value < low || value > high) {
        error = outOfRange(cellTitle, value, low, high);
        return false;
    }
    return true;
}

bool ProgramFormat::checkEventRange(const QString &cellTitle, int event, bool firstCell,
                                    qint64 value, QString &error) const
{
    // An event number outside 1..3 has no type and so no group.
    quint32 type = std::numeric_limits<quint32>::max();
    if (event == 1)
        type = quint32(ev1Type);
    else if (event == 2)
        type = quint32(ev2Type);
    else if (event == 3)
        type = quint32(ev3Type);
    QString prefix;
    qint64 low = 0;
    qint64 high = eventDefaultHigh;
    for (const EventGroup &group : eventGroups) {
        if (type < group.lowType || type > group.highType)
            continue;
        prefix = QLatin1String(group.prefix);
        if (firstCell) {
            low = group.firstLow;
            high = group.firstHigh;
        }
        break;
    }
    if (value < low || value > high) {
        error = prefix + QLatin1Char(' ') + outOfRange(cellTitle, value, low, high);
        return false;
    }
    return true;
}
