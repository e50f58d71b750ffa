#ifndef DRIVERTOOLS_CHECKSUMS_H
#define DRIVERTOOLS_CHECKSUMS_H

#include <QtGlobal>

// Block checks used by controller protocols. The buffer forms read n bytes from the buffer: the
// caller guarantees that it holds them; n <= 0 or a null buffer reads nothing. The update
// functions take the running value and one byte and answer the new running value; the starting
// value and any final inversion belong to the caller, as each CRC model defines them.
namespace DriverTools {

// Sum of the n bytes, kept to 8 bits.
quint8 sum8(const char *buffer, int n);
// Sum of the n bytes as a 32-bit number (wrapping past 2^32).
quint32 sum32(const char *buffer, int n);
// Exclusive or of the n bytes.
quint8 xor8(const char *buffer, int n);

// CRC-16 with polynomial 0x1021, most significant bit first (XMODEM, IBM-3740, GENIBUS family):
// table[(crc >> 8) XOR byte] XOR (crc << 8), in 16 bits.
quint16 crc16CcittUpdate(quint16 crc, quint8 byte);

// Reflected CRC-16 updates: the low 16 bits of the answer are (low16(crc) >> 8) XOR
// table[(crc XOR byte) mod 256]; the bits of crc above 16 pass through unchanged.
// Polynomial 0xA001: CRC-16/ARC and CRC-16/MODBUS family.
quint32 crc16ArcUpdate(quint32 crc, quint8 byte);
// Polynomial 0x8408: CRC-16/KERMIT family.
quint32 crc16KermitUpdate(quint32 crc, quint8 byte);
// Polynomial 0xA6BC: CRC-16/DNP family.
quint32 crc16DnpUpdate(quint32 crc, quint8 byte);

// Reflected CRC-32 with polynomial 0xEDB88320 (the ISO-HDLC CRC-32 family):
// (crc >> 8) XOR table[(crc XOR byte) mod 256].
quint32 crc32Update(quint32 crc, quint8 byte);

// crc16ArcUpdate over the n bytes starting from 0, no final inversion (CRC-16/ARC).
quint16 crc16Arc(const char *buffer, int n);

// One step of a word-wise check: ((crc << 1) XOR (0x8005 when bit 15 of crc was set)) XOR
// (high * 256 + low), all in 16 bits. High counts as a signed byte widened to 16 bits, which in
// 16 bits places exactly its eight bits above low.
quint16 crc16Step8005(quint16 crc, quint8 low, quint8 high);

} // namespace DriverTools

#endif
