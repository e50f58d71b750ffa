#include "TextNumbers.h"

#include <limits>

namespace DriverTools {

namespace {

bool isIdentifierChar(ushort c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// Value of c as a digit of base (8, 10 or 16), or -1 when it is none.
int digitValue(ushort c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    return value < base ? value : -1;
}

// Shared by the text and byte forms: `at(i)` answers character i as a UTF-16 code unit.
template <typename At> qint64 readAddressNumber(int size, int base, At at)
{
    if (base != 8 && base != 10 && base != 16)
        return -1;
    int i = 0;
    while (i < size && digitValue(at(i), base) < 0)
        ++i;
    if (i == size)
        return 0;
    qint64 value = 0;
    const qint64 limit = std::numeric_limits<qint64>::max();
    for (; i < size; ++i) {
        const int digit = digitValue(at(i), base);
        if (digit < 0 || value > (limit - digit) / base)
            return 0;
        value = value * base + digit;
    }
    return value;
}

} // namespace

QByteArray leadingIdentifier(const QString &text)
{
    int n = 0;
    while (n < text.size() && isIdentifierChar(text.at(n).unicode()))
        ++n;
    return text.left(n).toLatin1();
}

QByteArray leadingIdentifier(const QByteArray &bytes)
{
    int n = 0;
    while (n < bytes.size() && isIdentifierChar(quint8(bytes.at(n))))
        ++n;
    return bytes.left(n);
}

qint64 addressNumber(const QByteArray &bytes, int base)
{
    return readAddressNumber(bytes.size(), base,
                             [&bytes](int i) { return ushort(quint8(bytes.at(i))); });
}

qint64 addressNumber(const QString &text, int base)
{
    return readAddressNumber(text.size(), base, [&text](int i) { return text.at(i).unicode(); });
}

quint32 parseHex(const QString &text, int maxLength)
{
    if (text.isEmpty() || maxLength < 1)
        return 0;
    const int end = qMin(text.size(), maxLength);
    int i = 0;
    if (end >= 2 && text.at(0) == QLatin1Char('0') &&
        (text.at(1) == QLatin1Char('x') || text.at(1) == QLatin1Char('X')))
        i = 2;
    if (i == end)
        return 0;
    quint64 value = 0;
    for (; i < end; ++i) {
        const int digit = digitValue(text.at(i).unicode(), 16);
        if (digit < 0)
            return 0;
        value = value * 16 + quint64(digit);
        if (value > std::numeric_limits<quint32>::max())
            return 0;
    }
    return quint32(value);
}

QString hexDump(const QByteArray &bytes)
{
    QString text = QStringLiteral("(");
    for (char c : bytes)
        text += QStringLiteral("0X") + QString::number(quint8(c), 16) + QLatin1Char(' ');
    text += QStringLiteral(") : ");
    const int zero = bytes.indexOf('\0');
    text += QString::fromLatin1(zero < 0 ? bytes : bytes.left(zero));
    return text;
}

} // namespace DriverTools
