#include "Checksums.h"

#include <array>

namespace DriverTools {

namespace {

template <typename T> using CrcTable = std::array<T, 256>;

// Entry i of a reflected table: eight steps shifting right, applying the polynomial whenever the
// bit shifted out is set (the data bits are already folded into i).
template <typename T> CrcTable<T> reflectedTable(T polynomial)
{
    CrcTable<T> table{};
    for (unsigned i = 0; i < 256; ++i) {
        T value = T(i);
        for (int step = 0; step < 8; ++step)
            value = (value & 1) ? T((value >> 1) ^ polynomial) : T(value >> 1);
        table[i] = value;
    }
    return table;
}

CrcTable<quint16> msbFirstTable(quint16 polynomial)
{
    CrcTable<quint16> table{};
    for (unsigned i = 0; i < 256; ++i) {
        quint16 value = quint16(i << 8);
        for (int step = 0; step < 8; ++step)
            value = (value & 0x8000) ? quint16((value << 1) ^ polynomial) : quint16(value << 1);
        table[i] = value;
    }
    return table;
}

// Each table is built once, on first use; function-local statics make the first fill safe when
// several driver threads start checksumming at the same time.
const CrcTable<quint16> &ccittTable()
{
    static const CrcTable<quint16> table = msbFirstTable(0x1021);
    return table;
}

const CrcTable<quint16> &arcTable()
{
    static const CrcTable<quint16> table = reflectedTable<quint16>(0xA001);
    return table;
}

const CrcTable<quint16> &kermitTable()
{
    static const CrcTable<quint16> table = reflectedTable<quint16>(0x8408);
    return table;
}

const CrcTable<quint16> &dnpTable()
{
    static const CrcTable<quint16> table = reflectedTable<quint16>(0xA6BC);
    return table;
}

const CrcTable<quint32> &crc32Table()
{
    static const CrcTable<quint32> table = reflectedTable<quint32>(0xEDB88320u);
    return table;
}

quint32 reflected16Update(const CrcTable<quint16> &table, quint32 crc, quint8 byte)
{
    const quint16 low = quint16(((crc & 0xFFFF) >> 8) ^ table[(crc ^ byte) & 0xFF]);
    return (crc & 0xFFFF0000u) | low;
}

} // namespace

quint8 sum8(const char *buffer, int n)
{
    return quint8(sum32(buffer, n));
}

quint32 sum32(const char *buffer, int n)
{
    quint32 sum = 0;
    if (buffer == nullptr)
        return sum;
    for (int i = 0; i < n; ++i)
        sum += quint8(buffer[i]);
    return sum;
}

quint8 xor8(const char *buffer, int n)
{
    quint8 value = 0;
    if (buffer == nullptr)
        return value;
    for (int i = 0; i < n; ++i)
        value ^= quint8(buffer[i]);
    return value;
}

quint16 crc16CcittUpdate(quint16 crc, quint8 byte)
{
    return quint16(ccittTable()[((crc >> 8) ^ byte) & 0xFF] ^ quint16(crc << 8));
}

quint32 crc16ArcUpdate(quint32 crc, quint8 byte)
{
    return reflected16Update(arcTable(), crc, byte);
}

quint32 crc16KermitUpdate(quint32 crc, quint8 byte)
{
    return reflected16Update(kermitTable(), crc, byte);
}

quint32 crc16DnpUpdate(quint32 crc, quint8 byte)
{
    return reflected16Update(dnpTable(), crc, byte);
}

quint32 crc32Update(quint32 crc, quint8 byte)
{
    return (crc >> 8) ^ crc32Table()[(crc ^ byte) & 0xFF];
}

quint16 crc16Arc(const char *buffer, int n)
{
    quint32 crc = 0;
    if (buffer == nullptr)
        return 0;
    for (int i = 0; i < n; ++i)
        crc = crc16ArcUpdate(crc, quint8(buffer[i]));
    return quint16(crc);
}

quint16 crc16Step8005(quint16 crc, quint8 low, quint8 high)
{
    quint16 shifted = quint16(crc << 1);
    if (crc & 0x8000)
        shifted ^= 0x8005;
    const quint16 word = quint16((unsigned(high) << 8) | low);
    return quint16(shifted ^ word);
}

} // namespace DriverTools
