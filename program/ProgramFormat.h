#ifndef PROGRAMFORMAT_H
#define PROGRAMFORMAT_H

#include <QList>
#include <QString>
#include <QStringList>

// The program data format of the DCP31/32: a program segment as the controller stores it
// (segment record: 16-bit words as 4 upper-case hex digits, 92 digits, 120 for segment 1) and as
// a program CSV row (26 cells), with the conversions and the validation between the two.
//
// A pure value class: no I/O, no threads, no Qt object. The transfer worker (FileAccessor) owns
// one and forwards its conversion slots to it; tests, fuzzers and the command-line validator use
// it directly.
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
    bool validateDataRow(int segment, const QList<QStringList> &datas, QString &outputData,
                         QStringList &errorList) const;

    // Consumes inDatas (a copy of one segment row), appends words to outData and problems to
    // errorList. True when the row produced no error line.
    bool CSV2HEX(int segment, QStringList &inDatas, QString &outData, QStringList &errorList) const;

    // Converts the first cell of inDatas (and removes it) into one record word.
    bool CSVCell2HEX(QStringList &inDatas, QString &outData, QStringList &errorList,
                     bool &noError, const QString &cellTitle, qint32 &decCellIntValue) const;

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
};

#endif
