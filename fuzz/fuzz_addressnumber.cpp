// addressNumber in both its forms against a plain restatement of its contract. Input: byte 0
// selects the base (10, 16, 8 or an unsupported one), then the address text.

#include "FuzzSupport.h"
#include "TextNumbers.h"

#include <limits>

namespace {

int digitOf(char c, int base)
{
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d >= 0 && d < base ? d : -1;
}

qint64 expected(const QByteArray &bytes, int base)
{
    if (base != 10 && base != 16 && base != 8)
        return -1;
    int i = 0;
    while (i < bytes.size() && digitOf(bytes.at(i), base) < 0)
        ++i;
    if (i == bytes.size())
        return 0;
    qint64 value = 0;
    for (; i < bytes.size(); ++i) {
        const int d = digitOf(bytes.at(i), base);
        if (d < 0)
            return 0;
        if (value > (std::numeric_limits<qint64>::max() - d) / base)
            return 0;
        value = value * base + d;
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    static const int bases[] = {10, 16, 8, 10, 16, 8, 2, 0, -16, 36};
    const int base = bases[data[0] % (sizeof bases / sizeof bases[0])];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), int(size - 1));

    const qint64 fromBytes = DriverTools::addressNumber(bytes, base);
    const qint64 want = expected(bytes, base);
    if (fromBytes != want) {
        std::fprintf(stderr, "addressNumber(\"%s\", %d) = %lld, expected %lld\n",
                     bytes.toHex().constData(), base, static_cast<long long>(fromBytes),
                     static_cast<long long>(want));
        FuzzSupport::fail("addressNumber differs from its contract");
    }
    // The text form must agree with the byte form wherever the text is plain ASCII (zero bytes
    // included: the length is passed, so they stay in the text).
    bool ascii = true;
    for (const char c : bytes)
        ascii = ascii && quint8(c) < 0x80;
    const qint64 fromText =
        DriverTools::addressNumber(QString::fromLatin1(bytes.constData(), bytes.size()), base);
    if (ascii)
        FuzzSupport::check(fromText == fromBytes, "addressNumber text and byte forms disagree");
    return 0;
}
