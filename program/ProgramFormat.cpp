#include "ProgramFormat.h"

#include <QChar>

#include <limits>
#include <optional>

namespace {

const QString unsetCell = QStringLiteral("----");
const QString unsetWord = QStringLiteral("7FFF");
const QString reservedWord = QStringLiteral("0000");

// Cells left after the label (segment 1) or after the label and the four program-wide cells.
constexpr int firstSegmentCells = 25;
constexpr int otherSegmentCells = 21;
constexpr int programWideCells = 4;

constexpr int tagLength = 8;
constexpr qint32 timeEventType = 50;

// Record offsets in hex digits.
constexpr int offSp1 = 0;
constexpr int offTime = 4;
constexpr int offEvents = 12;
constexpr int offTimeEvents = 36;
constexpr int offPid = 76;
constexpr int offGs = 84;
constexpr int offGsTo = 88;
constexpr int offPSta = 92;
constexpr int offCycl = 96;
constexpr int offPLin = 100;
constexpr int offTag = 104;
// Only a segment-1 text (record of 120 digits) reaches past this length.
constexpr int commonRecordLimit = 100;

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

QString ordinal(int index)
{
    return index == 0 ? QStringLiteral("1st") : QStringLiteral("2nd");
}

QString outOfRange(const QString &title, qint64 value, qint64 low, qint64 high)
{
    return QStringLiteral("%1 [%2] is out of range (%3 ~ %4).")
        .arg(title, signedText(value), signedText(low), signedText(high));
}

} // namespace

QStringList ProgramFormat::headerRow()
{
    return QStringLiteral("-,SP1,TIME,EV1 1st,EV1 2nd,EV2 1st,EV2 2nd,EV3 1st,EV3 2nd,T1 1st,"
                          "T1 2nd,T2 1st,T2 2nd,T3 1st,T3 2nd,T4 1st,T4 2nd,T5 1st,T5 2nd,PID1,"
                          "G.S,G.S.TO,P.STA,CYCL,P.LIN,Tag")
        .split(QLatin1Char(','), Qt::KeepEmptyParts);
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

void ProgramFormat::HEX2CSV(int segment, const QString &indata, QList<QStringList> &datas) const
{
    QStringList row;
    row.reserve(26);
    const auto number = [&indata](int offset) { return signedText(wordValue(indata, offset)); };
    const auto markedNumber = [&](int offset) {
        return isUnsetMarker(indata, offset) ? unsetCell : number(offset);
    };

    row << QStringLiteral("SEG%1").arg(segment);
    row << number(offSp1);
    row << timeCell(wordValue(indata, offTime));
    for (int i = 0; i < 6; ++i)
        row << markedNumber(offEvents + 4 * i);
    for (int i = 0; i < 10; ++i) {
        const int offset = offTimeEvents + 4 * i;
        row << (isUnsetMarker(indata, offset) ? unsetCell
                                              : timeEventCell(wordValue(indata, offset)));
    }
    row << number(offPid);
    row << markedNumber(offGs);
    row << markedNumber(offGsTo);

    if (indata.size() > commonRecordLimit) {
        row << number(offPSta) << number(offCycl) << number(offPLin);
        QString tag;
        for (int i = 0; i < tagLength; ++i) {
            quint32 code = 0;
            if (!parseHex(indata.mid(offTag + 2 * i, 2), code))
                code = 0;
            tag.append(QChar(ushort(code)));
        }
        row << tag;
    } else {
        row << unsetCell << unsetCell << unsetCell << unsetCell;
    }
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

bool ProgramFormat::CSV2HEX(int segment, QStringList &inDatas, QString &outData,
                            QStringList &errorList) const
{
    bool noError = true;
    if (!inDatas.isEmpty())
        inDatas.removeFirst();

    const bool firstSegment = segment == 1;
    if (!firstSegment) {
        for (int i = 0; i < programWideCells && !inDatas.isEmpty(); ++i)
            inDatas.removeLast();
    }
    const int required = firstSegment ? firstSegmentCells : otherSegmentCells;
    if (inDatas.size() != required) {
        const QString notCounted = firstSegment
                                       ? QStringLiteral("the segment label")
                                       : QStringLiteral("the segment label and the %1 program-wide "
                                                        "columns")
                                             .arg(programWideCells);
        errorList.append(
            QStringLiteral("The number of columns is incorrect. %1 columns are "
                           "required, not counting %2, but %3 were found.")
                .arg(QString::number(required), notCounted, QString::number(inDatas.size())));
        return false;
    }

    qint32 value = -1;
    CSVCell2HEX(inDatas, outData, errorList, noError, QStringLiteral("SP1"), value);
    convertTime(inDatas, outData, errorList, noError);
    if (noError)
        outData.append(reservedWord);

    const qint32 eventTypes[3] = {ev1Type, ev2Type, ev3Type};
    for (int n = 1; n <= 3; ++n) {
        const QString titleFormat = QStringLiteral("EV%1 %2");
        qint32 first = -1;
        qint32 second = -1;
        CSVCell2HEX(inDatas, outData, errorList, noError,
                    titleFormat.arg(n).arg(QStringLiteral("1st")), first);
        const QString secondText = inDatas.isEmpty() ? QString() : inDatas.first();
        CSVCell2HEX(inDatas, outData, errorList, noError,
                    titleFormat.arg(n).arg(QStringLiteral("2nd")), second);
        if (eventTypes[n - 1] != timeEventType)
            continue;
        const QString event = QStringLiteral("EV%1").arg(n);
        if (first == 5999) {
            if (secondText != unsetCell) {
                errorList.append(QStringLiteral("In case of time event; The value of %1 2nd must "
                                                "be [----] when the value of %2 1st is 5999.")
                                     .arg(event, event));
                noError = false;
            }
        } else if (!(second > first)) {
            errorList.append(QStringLiteral("In case of time event;  The value of %1 2nd must be "
                                            "bigger than the value of %2 1st.")
                                 .arg(event, event));
            noError = false;
        }
    }

    convertTimeEvents(inDatas, outData, errorList, noError);

    CSVCell2HEX(inDatas, outData, errorList, noError, QStringLiteral("PID1"), value);
    if (noError)
        outData.append(reservedWord);
    CSVCell2HEX(inDatas, outData, errorList, noError, QStringLiteral("G.S."), value);
    CSVCell2HEX(inDatas, outData, errorList, noError, QStringLiteral("G.S.TO"), value);

    if (firstSegment) {
        CSVCell2HEX(inDatas, outData, errorList, noError, QStringLiteral("P.STA"), value);
        CSVCell2HEX(inDatas, outData, errorList, noError, QStringLiteral("CYCL"), value);
        CSVCell2HEX(inDatas, outData, errorList, noError, QStringLiteral("P.LIN"), value);
        convertTag(inDatas, outData, errorList, noError);
    }
    return noError;
}

void ProgramFormat::convertTime(QStringList &cells, QString &outData, QStringList &errorList,
                                bool &noError) const
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
    if (!checkRange(QStringLiteral("TIME"), total, error)) {
        errorList.append(error);
        noError = false;
        return;
    }
    if (noError)
        outData.append(formatWord(total));
}

void ProgramFormat::convertTimeEvents(QStringList &cells, QString &outData, QStringList &errorList,
                                      bool &noError) const
{
    for (int n = 1; n <= 5; ++n) {
        // No value: the cell was "----" or its format was wrong.
        std::optional<qint64> values[2];
        for (int i = 0; i < 2; ++i) {
            const QString cell = takeCell(cells);
            if (cell == unsetCell) {
                if (noError)
                    outData.append(unsetWord);
                continue;
            }
            qint32 hours = 0;
            qint32 minutes = 0;
            bool valid;
            if (!cell.contains(QLatin1Char('.'))) {
                valid = parseDecimal(cell, true, hours);
            } else {
                const QStringList parts = cell.split(QLatin1Char('.'), Qt::KeepEmptyParts);
                valid = parseDecimal(parts.at(0), true, hours) &&
                        parseDecimal(parts.at(1), true, minutes);
            }
            if (!valid) {
                errorList.append(
                    QStringLiteral("The format of T%1 %2 is incorrect.").arg(n).arg(ordinal(i)));
                noError = false;
                continue;
            }
            const qint64 total = qint64(hours) * 60 + minutes;
            values[i] = total;
            QString error;
            if (!checkRange(QStringLiteral("T%1 %2").arg(n).arg(ordinal(i)), total, error)) {
                errorList.append(error);
                noError = false;
            }
            if (noError)
                outData.append(formatWord(total));
        }
        if (values[0] && values[1] && !(*values[1] > *values[0])) {
            errorList.append(
                QStringLiteral("The value of %1 2nd must be bigger than the value of %1 1st.")
                    .arg(QStringLiteral("T%1").arg(n)));
            noError = false;
        }
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
    if (cellTitle == QLatin1String("SP1")) {
        low = spLowLimit;
        high = spHighLimit;
    } else if (cellTitle == QLatin1String("P.LIN")) {
        high = 19;
    } else if (cellTitle.startsWith(QLatin1String("EV"))) {
        // The event number is the third character; any other title has no event type, and the
        // group tests read the type as unsigned so that a negative type is in no group.
        quint32 type = std::numeric_limits<quint32>::max();
        if (cellTitle.size() > 2) {
            const QChar number = cellTitle.at(2);
            if (number == QLatin1Char('1'))
                type = quint32(ev1Type);
            else if (number == QLatin1Char('2'))
                type = quint32(ev2Type);
            else if (number == QLatin1Char('3'))
                type = quint32(ev3Type);
        }
        const bool firstCell = cellTitle.endsWith(QLatin1String("1st"));
        QString prefix;
        high = 5999;
        if (type == 0 || type == 1) {
            prefix = QStringLiteral("In case of PV type event;");
            if (firstCell) {
                low = -1999;
                high = 9999;
            }
        } else if (type == 4 || type == 5) {
            prefix = QStringLiteral("In case of absolute value deviation event;");
            if (firstCell)
                high = 9999;
        } else if (type >= 8 && type <= 11) {
            prefix = QStringLiteral("In case of MV/MFB event;");
            if (firstCell) {
                low = -100;
                high = 1100;
            }
        } else if (type == quint32(timeEventType)) {
            prefix = QStringLiteral("In case of time event;");
        }
        if (value < low || value > high) {
            error = prefix + QLatin1Char(' ') + outOfRange(cellTitle, value, low, high);
            return false;
        }
        return true;
    } else if (cellTitle == QLatin1String("CYCL")) {
        high = 9999;
    } else if (cellTitle == QLatin1String("P.STA")) {
        high = 1;
    } else if (cellTitle == QLatin1String("G.S.")) {
        high = 1000;
    } else if (cellTitle == QLatin1String("G.S.TO")) {
        high = 5999;
    } else if (cellTitle == QLatin1String("PID1")) {
        high = 8;
    } else if (cellTitle == QLatin1String("TIME")) {
        high = 5999;
    } else if (cellTitle.startsWith(QLatin1Char('T')) && cellTitle.size() == 6) {
        high = 5999;
    } else {
        return true;
    }
    if (value < low || value > high) {
        error = outOfRange(cellTitle, value, low, high);
        return false;
    }
    return true;
}
