#ifndef DRIVERTOOLS_BITSTRING_H
#define DRIVERTOOLS_BITSTRING_H

#include <QByteArray>
#include <QtGlobal>

// Bit strings held in bytes: bit i lies in byte i/8 at bit position i mod 8, lowest bit first.
// Negative bit indexes and counts name no bits: reads answer 0, writes change nothing.
namespace DriverTools {

// Bit i as 0 or 1; a bit beyond the end of the array (or a negative i) reads as 0.
int bitAt(const QByteArray &bytes, int i);
// Bit i of a raw buffer; the caller guarantees that byte i/8 lies in the buffer. A null buffer or
// a negative i reads as 0.
int bitAt(const char *buffer, int i);

// Sets (on) or clears bit i. The array grows with zero bytes when byte i/8 lies beyond its end.
void setBit(QByteArray &bytes, int i, bool on);
// Raw buffer form; the caller guarantees that byte i/8 lies in the buffer. A null buffer or a
// negative i changes nothing.
void setBit(char *buffer, int i, bool on);

// Bits 0..n-1 of source go to bits start..start+n-1 of target; target grows as setBit grows it,
// and source bits beyond its end count as 0. A negative start or n, or a last target bit beyond
// the int range, changes nothing.
void copyBits(QByteArray &target, int start, const QByteArray &source, int n);

// An array of n bytes, each 0 or 1, for bits start..start+n-1 (bits beyond the end read as 0).
// n <= 0 gives an empty array.
QByteArray bitsToBytes(const QByteArray &bytes, quint16 start, int n);

// Resizes to n/8 bytes rounded up (new bytes are 0); a negative n empties the array.
void resizeForBits(QByteArray &bytes, int n);

// When n is not a multiple of 8, clears bits n mod 8 and up of byte n/8. Nothing happens when
// that byte lies beyond the end or n is negative.
void clearBitsAbove(QByteArray &bytes, int n);

// Length unchanged. For n up to 7 the whole bit string moves down by n bits and the top n bits of
// the last byte become 0. For n of 8 or more the bytes are first rotated down by n/8 places (the
// first n/8 bytes move, in order, to the end) and then only the first (length - n/8) bytes are
// shifted down by n mod 8 bits as above; the moved bytes are not shifted. When n/8 reaches the
// length the rotation moves every byte and nothing is left to shift: the bytes stay as they are.
// n <= 0 changes nothing.
void shiftBitsDown(QByteArray &bytes, int n);

// (start + n) divided by 16, 32 or 8, rounded up; a negative sum gives 0.
int wordsForBits(int start, int n);
int doubleWordsForBits(int start, int n);
int bytesForBits(int start, int n);

// n divided by 2, 4 or 8, rounded up, with n taken as unsigned.
quint32 halfRoundedUp(quint32 n);
quint32 quarterRoundedUp(quint32 n);
quint32 eighthRoundedUp(quint32 n);

} // namespace DriverTools

#endif
