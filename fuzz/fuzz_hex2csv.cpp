// Any reply text as a segment record: the conversion never fails and always yields one row of
// 26 cells, whatever the digits, the length or the trailing bytes.

#include "FuzzSupport.h"
#include "ProgramFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    // Segment numbers just outside the controller's 1..30 are included on purpose.
    const int segment = int(data[0] % 40) - 4;
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char *>(data + 1), int(size - 1));

    ProgramFormat format;
    QList<QStringList> rows;
    format.generalHead(rows);
    FuzzSupport::check(rows.size() == 1 && rows.first().size() == 26, "header row is not 26 cells");
    format.HEX2CSV(segment, text, rows);
    FuzzSupport::check(rows.size() == 2, "HEX2CSV did not append exactly one row");
    FuzzSupport::check(rows.last().size() == 26, "HEX2CSV row is not 26 cells");
    return 0;
}
