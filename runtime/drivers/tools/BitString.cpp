#include "BitString.h"

#include <limits>

namespace DriverTools {

namespace {

quint8 bitMask(int i)
{
    return quint8(1u << (i % 8));
}

// (start + n) / unit rounded up, computed wide so that no sum of two ints overflows.
int unitsForBits(int start, int n, int unit)
{
    const qint64 total = qint64(start) + qint64(n);
    if (total <= 0)
        return 0;
    return int((total + unit - 1) / unit);
}

// Shifts bytes [0, length) of p down by `bits` (1..7) bits; the top bits of the last one become 0.
void shiftPrefixDown(char *p, int length, int bits)
{
    for (int j = 0; j < length; ++j) {
        const quint8 low = quint8(p[j]) >> bits;
        const quint8 high = j + 1 < length ? quint8(quint8(p[j + 1]) << (8 - bits)) : 0;
        p[j] = char(low | high);
    }
}

} // namespace

int bitAt(const QByteArray &bytes, int i)
{
    if (i < 0 || i / 8 >= bytes.size())
        return 0;
    return (quint8(bytes.at(i / 8)) & bitMask(i)) ? 1 : 0;
}

int bitAt(const char *buffer, int i)
{
    if (buffer == nullptr || i < 0)
        return 0;
    return (quint8(buffer[i / 8]) & bitMask(i)) ? 1 : 0;
}

void setBit(QByteArray &bytes, int i, bool on)
{
    if (i < 0)
        return;
    if (i / 8 >= bytes.size())
        bytes.append(i / 8 + 1 - bytes.size(), '\0');
    setBit(bytes.data(), i, on);
}

void setBit(char *buffer, int i, bool on)
{
    if (buffer == nullptr || i < 0)
        return;
    quint8 byte = quint8(buffer[i / 8]);
    if (on)
        byte |= bitMask(i);
    else
        byte &= quint8(~bitMask(i));
    buffer[i / 8] = char(byte);
}

void copyBits(QByteArray &target, int start, const QByteArray &source, int n)
{
    if (start < 0 || n <= 0 || qint64(start) + n - 1 > std::numeric_limits<int>::max())
        return;
    for (int k = 0; k < n; ++k)
        setBit(target, start + k, bitAt(source, k) != 0);
}

QByteArray bitsToBytes(const QByteArray &bytes, quint16 start, int n)
{
    if (n <= 0)
        return QByteArray();
    QByteArray out(n, '\0');
    const qint64 available = qint64(bytes.size()) * 8 - start;
    const int present = available <= 0 ? 0 : int(qMin<qint64>(available, n));
    for (int k = 0; k < present; ++k)
        out[k] = char(bitAt(bytes, start + k));
    return out;
}

void resizeForBits(QByteArray &bytes, int n)
{
    bytes.resize(n < 0 ? 0 : bytesForBits(0, n));
}

void clearBitsAbove(QByteArray &bytes, int n)
{
    if (n < 0 || n % 8 == 0 || n / 8 >= bytes.size())
        return;
    const quint8 keep = quint8((1u << (n % 8)) - 1);
    bytes[n / 8] = char(quint8(bytes.at(n / 8)) & keep);
}

void shiftBitsDown(QByteArray &bytes, int n)
{
    if (n <= 0 || bytes.isEmpty())
        return;
    const int places = n / 8;
    const int bits = n % 8;
    if (places >= bytes.size())
        return;
    if (places > 0)
        bytes = bytes.mid(places) + bytes.left(places);
    if (bits > 0)
        shiftPrefixDown(bytes.data(), bytes.size() - places, bits);
}

int wordsForBits(int start, int n)
{
    return unitsForBits(start, n, 16);
}

int doubleWordsForBits(int start, int n)
{
    return unitsForBits(start, n, 32);
}

int bytesForBits(int start, int n)
{
    return unitsForBits(start, n, 8);
}

quint32 halfRoundedUp(quint32 n)
{
    return n / 2 + (n % 2 != 0);
}

quint32 quarterRoundedUp(quint32 n)
{
    return n / 4 + (n % 4 != 0);
}

quint32 eighthRoundedUp(quint32 n)
{
    return n / 8 + (n % 8 != 0);
}

} // namespace DriverTools
