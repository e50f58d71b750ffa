#ifndef DRIVERTOOLS_TEXTNUMBERS_H
#define DRIVERTOOLS_TEXTNUMBERS_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Reading identifiers and numbers out of tag address texts, and a readable dump of bytes.
namespace DriverTools {

// The leading run of ASCII letters and "_" characters, as bytes ("D100" gives "D").
QByteArray leadingIdentifier(const QString &text);
QByteArray leadingIdentifier(const QByteArray &bytes);

// For base 10, 16 or 8: skips the leading characters up to the first digit of that base (for 16 a
// digit or a letter A to F in either case) and reads the rest as a number in that base. The answer
// is 0 when no digit follows, when any later character is not a digit of the base, or when the
// number does not fit a signed 64-bit integer. Any other base answers -1.
qint64 addressNumber(const QByteArray &bytes, int base);
qint64 addressNumber(const QString &text, int base);

// Reads at most maxLength characters of text, an optional leading "0x" or "0X" included, and
// answers the hexadecimal number of the digits (either case) up to the end of the text or the
// limit. Answers 0 when the text is empty, the limit is below 1, only the prefix fits into the
// limit, any character within the limit is not a hexadecimal digit, or the number needs more
// than 32 bits.
quint32 parseHex(const QString &text, int maxLength);

// "(" then, for every byte, "0X", the byte's unsigned value in lower-case hexadecimal without
// leading zeros and " ", then ") : " and the bytes read as Latin-1 text up to the first zero byte.
// Bytes of 0x80 and up print as their unsigned value (0xff gives "0Xff ").
QString hexDump(const QByteArray &bytes);

} // namespace DriverTools

#endif
