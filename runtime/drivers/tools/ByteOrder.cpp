#include "ByteOrder.h"

#include <algorithm>
#include <limits>

namespace DriverTools {

namespace {

QByteArray padToMultiple(const QByteArray &bytes, int multiple)
{
    QByteArray copy = bytes;
    const int rest = copy.size() % multiple;
    if (rest != 0)
        copy.append(multiple - rest, '\0');
    return copy;
}

// Reverses every complete group of `width` bytes in place, starting at the front.
void reverseGroups(QByteArray &bytes, int width)
{
    const int whole = bytes.size() - bytes.size() % width;
    if (whole == 0)
        return;
    char *p = bytes.data();
    for (int i = 0; i < whole; i += width)
        std::reverse(p + i, p + i + width);
}

QByteArray groupsFromBuffer(const char *data, int n, int width)
{
    if (data == nullptr || n <= 0 || n > std::numeric_limits<int>::max() / width)
        return QByteArray();
    QByteArray bytes(data, n * width);
    reverseGroups(bytes, width);
    return bytes;
}

} // namespace

qint32 toInt32LE(const QByteArray &bytes)
{
    const int used = std::min(bytes.size(), 4);
    quint32 value = 0;
    for (int i = 0; i < used; ++i)
        value |= quint32(quint8(bytes.at(i))) << (8 * i);
    return qint32(value);
}

qint32 toInt16LE(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return 0;
    if (bytes.size() == 1)
        return quint8(bytes.at(0));
    const quint16 value = quint16(quint8(bytes.at(0)) | (quint8(bytes.at(1)) << 8));
    return qint16(value);
}

QByteArray fromInt16LE(quint16 value)
{
    QByteArray bytes(2, '\0');
    bytes[0] = char(value & 0xFF);
    bytes[1] = char(value >> 8);
    return bytes;
}

QByteArray fromInt32LE(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

void appendInt16BE(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value >> 8));
    bytes.append(char(value & 0xFF));
}

QByteArray wordsFromBuffer(const char *data, int n)
{
    return groupsFromBuffer(data, n, 2);
}

QByteArray doubleWordsFromBuffer(const char *data, int n)
{
    return groupsFromBuffer(data, n, 4);
}

void swapWords(QByteArray &bytes)
{
    reverseGroups(bytes, 2);
}

void swapDoubleWords(QByteArray &bytes)
{
    reverseGroups(bytes, 4);
}

QByteArray swapWordsPadded(const QByteArray &bytes)
{
    QByteArray copy = padToMultiple(bytes, 2);
    reverseGroups(copy, 2);
    return copy;
}

QByteArray swapDoubleWordsPadded(const QByteArray &bytes)
{
    QByteArray copy = padToMultiple(bytes, 4);
    reverseGroups(copy, 4);
    return copy;
}

QByteArray reverseBytes(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    if (!copy.isEmpty())
        std::reverse(copy.data(), copy.data() + copy.size());
    return copy;
}

QByteArray padToEven(const QByteArray &bytes)
{
    return padToMultiple(bytes, 2);
}

QByteArray padToFour(const QByteArray &bytes)
{
    return padToMultiple(bytes, 4);
}

QByteArray padToEight(const QByteArray &bytes)
{
    return padToMultiple(bytes, 8);
}

} // namespace DriverTools
