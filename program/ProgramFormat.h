#ifndef PROGRAMFORMAT_H
#define PROGRAMFORMAT_H

#include "ProgramColumns.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// The program data format of the DCP31/32: a program segment as the controller stores it
// (segment record: 16-bit words as 4 upper-case hex digits, 92 digits, 120 for segment 1) and as
// a program CSV row (26 cells), with the conversions and the validation between the two.
//
// The column order, titles, record offsets and fixed ranges come from ProgramColumns; this class
// holds the rules of each kind of cell and the range parameters.
//
// A pure value class: no I/O, no threads, no Qt object. The transfer worker (FileAccessor) owns
// one and forwards its conversion slots to it; tests, fuzzers and the command-line validator use
// it directly.
//
// Behaviour chosen where the controller's rules leave room:
//  - Column count line. The counts are those left after the label cell (and, for every segment
//    but 1, the four program-wide cells) have been removed, so the line says what it counts:
//      "The number of columns is incorrect. 25 columns are required, not counting the segment
//       label, but 26 were found."                                             (segment 1)
//      "The number of columns is incorrect. 21 columns are required, not counting the segment
//       label and the 4 program-wide columns, but 20 were found."              (other segments)
//    (each is a single line). A row too short to lose its label or its four program-wide cells
//    loses as many as it has, so its found number is 0; nothing but that line is produced.
//  - T pair rule ("2nd must be bigger than 1st") compares two read numbers only. A pair with a
//    "----" cell passes: both "----" is the empty time event, a 1st time with "----" 2nd keeps the
//    event on to the end of the segment, and "----" 1st leaves the event off whatever the 2nd
//    says. A cell whose format is wrong already has its own line and skips the pair rule. A cell
//    that is only out of range is still a number and takes part.
//  - setParameters with fewer than five elements copies those it has and leaves the others.
//  - validateDataRow for a segment without a row (segment < 1 or beyond the rows) answers false
//    with "Segment %1 has no data in the csv file. Please check it.", the write process's own
//    line for a missing row.
//  - CSVCell2HEX on an empty list treats the missing cell as an empty one: a format line.
//  - Record digits are read strictly: a 4-digit field (2 digits for tag bytes) is a number only
//    when every character is a hex digit; anything else (signs, spaces, "0x") reads as 0.
//  - Number cells: signed decimal is optional white space, an optional ASCII "+" or "-", ASCII
//    digits (leading zeros allowed), optional white space, and a value within 32 bits. Unsigned
//    decimal is the same without "-". White space is what QChar::isSpace says it is; nothing may
//    stand between the sign and the digits.
//  - TIME and T totals (hours * 60 + minutes) are computed in 64 bits, so a total beyond 32 bits
//    is reported with its exact value in the range line.
class ProgramFormat
{
public:
    // The 26 titles of the header row, "-" first and "Tag" last.
    static QStringList headerRow();

    // Appends the header row to datas.
    void generalHead(QList<QStringList> &datas) const;

    // Appends exactly one 26-cell segment row made from indata (the record followed by whatever
    // the reply carried after it). Never fails: unparsable digits read as 0.
    void HEX2CSV(int segment, const QString &indata, QList<QStringList> &datas) const;

    // Validates row segment-1 of datas (the rows after the header) and builds its record into
    // outputData; appends one line per problem to errorList. True when the row had no problem.
    // datas must hold at least segment rows.
    // Validates the rows of segments 1..segmentCnt the way a program write does: the record of
    // every valid row goes into records under its segment number; a missing row and every
    // invalid row add their lines to errorList, each invalid row under its segment heading.
    // The write transfer and the command-line validator share it, so both report alike.
    void validateSegments(int segmentCnt, const QList<QStringList> &datas,
                          QMap<int, QString> &records, QStringList &errorList) const;

    bool validateDataRow(int segment, const QList<QStringList> &datas, QString &outputData,
                         QStringList &errorList) const;

    // Consumes inDatas (a copy of one segment row), appends words to outData and problems to
    // errorList. True when the row produced no error line.
    bool CSV2HEX(int segment, QStringList &inDatas, QString &outData, QStringList &errorList) const;

    // Converts the first cell of inDatas (and removes it) into one record word.
    bool CSVCell2HEX(QStringList &inDatas, QString &outData, QStringList &errorList, bool &noError,
                     const QString &cellTitle, qint32 &decCellIntValue) const;

    // Copies elements 0..4 (SP1 low limit, SP1 high limit, event types 1..3). A list of fewer
    // than five elements leaves the missing parameters at their previous values.
    void setParameters(const QList<qint32> &paras);

    // True when value is allowed for the column titled cellTitle (or the title has no range);
    // otherwise replaces error with the line the user sees and answers false.
    bool checkValueRange(const QString &cellTitle, qint32 value, QString &error) const;

    qint32 spLowLimit = 0;
    qint32 spHighLimit = 0;
    qint32 ev1Type = 0;
    qint32 ev2Type = 0;
    qint32 ev3Type = 0;

    // Signed decimal as the cells use it (see above); false and value 0 for an invalid text.
    // Unsigned decimal when allowMinus is false.
    static bool parseDecimal(const QString &text, bool allowMinus, qint32 &value);

private:
    // The values a pair rule compares, carried from a pair's 1st cell to its 2nd.
    struct PairValues
    {
        qint32 eventFirst = -1;
        std::optional<qint64> timeFirst; // none: "----" or a wrong format
    };

    // Upper-case hex with at least 4 digits.
    static QString formatWord(qint64 value);
    // The last 4 digits of the 32-bit two's complement: one 16-bit word.
    static QString formatCellWord(qint32 value);
    // The signed 16-bit word at offset (0 when missing or unparsable).
    static qint16 wordValue(const QString &indata, int offset);
    static bool isUnsetMarker(const QString &indata, int offset);
    static QString takeCell(QStringList &cells);
    // The cell of column column of a record text; longText: the text reaches the program-wide
    // fields.
    static QString recordCell(int column, int segment, const QString &indata, bool longText);
    // Drops the label (and for segments but 1 the program-wide cells) and checks the number of
    // cells left; false with the column count line when it is wrong.
    static bool takeRowFrame(bool firstSegment, QStringList &cells, QStringList &errorList);
    // The range test on a 64-bit value, so that TIME and T totals beyond 32 bits stay exact.
    bool checkRange(const QString &cellTitle, qint64 value, QString &error) const;
    bool checkEventRange(const QString &cellTitle, int event, bool firstCell, qint64 value,
                         QString &error) const;
    // Converts the next cell as column column; appends the reserved words that follow it.
    void convertColumn(int column, QStringList &cells, QString &outData, QStringList &errorList,
                       bool &noError, PairValues &pair) const;
    void convertEvent(const ProgramColumns::Column &column, QStringList &cells, QString &outData,
                      QStringList &errorList, bool &noError, PairValues &pair) const;
    void convertTime(const ProgramColumns::Column &column, QStringList &cells, QString &outData,
                     QStringList &errorList, bool &noError) const;
    void convertTimeEvent(const ProgramColumns::Column &column, QStringList &cells,
                          QString &outData, QStringList &errorList, bool &noError,
                          PairValues &pair) const;
    void convertTag(QStringList &cells, QString &outData, QStringList &errorList,
                    bool &noError) const;
};

#endif
