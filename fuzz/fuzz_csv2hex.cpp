// Segment rows built from arbitrary text, validated and converted into records under arbitrary
// range parameters. A row that converts without a problem must give a record the controller
// accepts in length and alphabet, and that record must read back into a row that converts to
// the same record again.
//
// Input: byte 0 the segment (1..30), byte 1 how many range parameters to set (0..5), then five
// 16-bit little-endian parameters, then UTF-8 text: rows separated by '\n', cells by 0x1F. The
// first row is the segment's own; the rows before it are left empty.

#include "FuzzSupport.h"
#include "ProgramFormat.h"

namespace {

bool isRecord(const QString &record, int segment)
{
    if (record.size() != (segment == 1 ? 120 : 92))
        return false;
    for (const QChar c : record) {
        const ushort u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const size_t head = 2 + 5 * 2;
    if (size < head || size > 16 * 1024)
        return 0;
    const int segment = 1 + data[0] % 30;
    QList<qint32> paras;
    for (int i = 0; i < data[1] % 6; ++i)
        paras << qint16(quint16(data[2 + 2 * i]) | quint16(data[3 + 2 * i]) << 8);

    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data + head), int(size - head));
    QList<QStringList> rows;
    for (int i = 1; i < segment; ++i)
        rows << QStringList();
    for (const QString &line : text.split(QLatin1Char('\n')))
        rows << line.split(QChar(0x1F));

    ProgramFormat format;
    format.setParameters(paras);

    QString validated;
    QStringList validateErrors;
    const bool valid = format.validateDataRow(segment, rows, validated, validateErrors);
    if (valid)
        FuzzSupport::check(isRecord(validated, segment), "validateDataRow record malformed");
    else
        FuzzSupport::check(!validateErrors.isEmpty(), "invalid row without an error line");

    QStringList cells = rows.at(segment - 1);
    QString converted;
    QStringList convertErrors;
    const bool ok = format.CSV2HEX(segment, cells, converted, convertErrors);
    FuzzSupport::check(ok == valid, "CSV2HEX and validateDataRow disagree");
    if (!ok)
        return 0;
    FuzzSupport::check(isRecord(converted, segment), "CSV2HEX record malformed");
    FuzzSupport::check(converted == validated, "CSV2HEX and validateDataRow records differ");

    // The record read back as the transfer does and written again. "----" in SP1, PID1, P.STA,
    // CYCL and P.LIN is stored as the word 7FFF but read back as its number, 32767, on purpose:
    // those rows are not expected to survive the round trip.
    const QStringList &row = rows.at(segment - 1);
    for (const int column : {1, 19, 22, 23, 24}) {
        if (column < row.size() && row.at(column) == QLatin1String("----") &&
            (column < 22 || segment == 1))
            return 0;
    }
    QList<QStringList> back;
    format.HEX2CSV(segment, converted, back);
    FuzzSupport::check(back.size() == 1 && back.first().size() == 26, "read-back row malformed");
    QStringList again = back.first();
    QString reconverted;
    QStringList againErrors;
    const bool againOk = format.CSV2HEX(segment, again, reconverted, againErrors);
    if (!againOk || reconverted != converted) {
        std::fprintf(stderr, "segment %d, parameters %d %d %d %d %d\nrow:      %s\nrecord:   %s\n",
                     segment, format.spLowLimit, format.spHighLimit, format.ev1Type, format.ev2Type,
                     format.ev3Type, qPrintable(rows.at(segment - 1).join(QLatin1Char('|'))),
                     qPrintable(converted));
        std::fprintf(stderr, "read back: %s\nrecord:   %s\nerrors:   %s\n",
                     qPrintable(back.first().join(QLatin1Char('|'))), qPrintable(reconverted),
                     qPrintable(againErrors.join(QLatin1String(" / "))));
        FuzzSupport::fail(againOk ? "record changed on its way through a row"
                                  : "a record read back does not convert again");
    }
    return 0;
}
