// parseHex against a plain restatement of its contract. Input: byte 0 the character limit
// (signed, so limits below 1 occur), then UTF-8 text.

#include "FuzzSupport.h"
#include "TextNumbers.h"

namespace {

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

quint32 expected(const QString &text, int maxLength)
{
    if (text.isEmpty() || maxLength < 1)
        return 0;
    const QString window = text.left(maxLength);
    int start = 0;
    if (window.size() >= 2 && window.at(0) == QLatin1Char('0') &&
        (window.at(1) == QLatin1Char('x') || window.at(1) == QLatin1Char('X')))
        start = 2;
    if (start == window.size())
        return 0;
    quint64 value = 0;
    for (int i = start; i < window.size(); ++i) {
        const int d = hexDigit(window.at(i));
        if (d < 0)
            return 0;
        value = value * 16 + quint64(d);
        if (value > 0xFFFFFFFFull)
            return 0;
    }
    return quint32(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    const int maxLength = int(qint8(data[0]));
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), int(size - 1));
    const quint32 got = DriverTools::parseHex(text, maxLength);
    if (got != expected(text, maxLength)) {
        std::fprintf(stderr, "parseHex(\"%s\", %d) = %u, expected %u\n", qPrintable(text),
                     maxLength, got, expected(text, maxLength));
        FuzzSupport::fail("parseHex differs from its contract");
    }
    // A huge limit reads the whole text, like the exact one.
    FuzzSupport::check(DriverTools::parseHex(text, 1 << 30) ==
                           DriverTools::parseHex(text, qMax(1, text.size())),
                       "parseHex depends on a limit beyond the text");
    return 0;
}
