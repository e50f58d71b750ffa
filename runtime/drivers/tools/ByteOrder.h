#ifndef DRIVERTOOLS_BYTEORDER_H
#define DRIVERTOOLS_BYTEORDER_H

#include <QByteArray>
#include <QtGlobal>

// Conversions between integers and their byte forms. "LE" is least significant byte first,
// "BE" most significant byte first.
namespace DriverTools {

// The first up to four bytes, LE, as a signed 32-bit integer. Fewer bytes give the integer of the
// bytes present (unsigned, high bytes zero); an empty array gives 0. Bytes beyond the fourth are
// ignored.
qint32 toInt32LE(const QByteArray &bytes);

// The first up to two bytes, LE, as a signed 16-bit value widened to 32 bits. One byte gives that
// byte unsigned; an empty array gives 0.
qint32 toInt16LE(const QByteArray &bytes);

// Two bytes, LE, of the low 16 bits of value (signed and unsigned arguments alike).
QByteArray fromInt16LE(quint16 value);

// Four bytes, LE.
QByteArray fromInt32LE(quint32 value);

// Appends the high byte, then the low byte of value.
void appendInt16BE(QByteArray &bytes, quint16 value);

// 2n bytes copied from data with the two bytes of every 16-bit word exchanged. The caller
// guarantees that data holds 2n bytes; n <= 0, a null data pointer or an n whose byte count does
// not fit an int give an empty array.
QByteArray wordsFromBuffer(const char *data, int n);

// 4n bytes copied from data with the four bytes of every 32-bit word reversed. Same limits as
// wordsFromBuffer, for 4n bytes.
QByteArray doubleWordsFromBuffer(const char *data, int n);

// In place, from the start: exchanges the bytes of every complete pair. A trailing odd byte stays
// where it is (use swapWordsPadded for odd lengths).
void swapWords(QByteArray &bytes);

// In place, from the start: reverses every complete group of four bytes. One to three trailing
// bytes stay as they are (use swapDoubleWordsPadded for such lengths).
void swapDoubleWords(QByteArray &bytes);

// A copy padded with one zero byte when its length is odd, then pair-exchanged.
QByteArray swapWordsPadded(const QByteArray &bytes);

// A copy padded with zero bytes to a multiple of four, then every group of four reversed.
QByteArray swapDoubleWordsPadded(const QByteArray &bytes);

// A copy with the byte order reversed end to end.
QByteArray reverseBytes(const QByteArray &bytes);

// Copies padded with zero bytes to a length that is a multiple of 2, 4 or 8; a length that is
// already a multiple is kept.
QByteArray padToEven(const QByteArray &bytes);
QByteArray padToFour(const QByteArray &bytes);
QByteArray padToEight(const QByteArray &bytes);

} // namespace DriverTools

#endif
