#ifndef DRIVERTOOLS_RECORDPACKING_H
#define DRIVERTOOLS_RECORDPACKING_H

#include <QByteArray>

#include <cstdarg>

// Packing values into byte records and unpacking them by a format text.
//
// The format is read left to right; every code takes the next argument (integers by value, read
// as int; pointers for unpacking and for repeat forms, read as void pointers).
//
//   Code               Pack                             Unpack (argument points to)
//   "C" "c"            one byte, the argument's low one  one byte
//   "I" "L" "V" "i" "l" 32-bit value, LE                  32-bit value, LE
//   "N"                32-bit value, BE                  32-bit value, BE
//   "S" "s" "v"        16-bit value, LE                  16-bit value, LE
//   "n"                16-bit value, BE                  16-bit value, BE
//   "x"                one zero byte, no argument        skips one byte, no argument
//   "X"                buffer: skips one byte unwritten; skips one byte, no argument
//                      byte array: appends a zero byte
//
// Repeat forms: a decimal count N followed by a code; the argument points to N elements of the
// caller's memory, in host byte order for the word codes.
//
//   NC / Nc   N bytes copied
//   NN / Nn   N 32-bit / 16-bit words written or read most significant byte first
//   NV / Nv   N 32-bit / 16-bit words written or read least significant byte first
//   Nx / NX   pack to buffer: N zero bytes / N bytes skipped; pack to byte array: error;
//             unpack: N bytes skipped. No argument; N may be 0.
//
// Errors end the work at once:
// - a count of 0 for a repeat form that takes an argument, a count above the int range, a count
//   at the end of the format, or a code after a count that is outside the language;
// - a null pointer argument where a pointer is read, a null format, a null buffer;
// - a record whose length would leave the int range, or (bounded forms) the given size.
// packToBuffer answers 0 for a single code outside the language and -1 for every other error;
// unpackFromBuffer answers -1; packToByteArray answers an empty array. An empty format answers 0
// (an empty array). Otherwise the answer is the record length: the bytes written, skipped or
// read, counted from the start of the buffer.
//
// The unbounded buffer forms rely on the caller's buffer holding the whole record. The bounded
// forms take the buffer size and answer -1 instead of reading or writing past it; bytes before
// the failing code may already have been written.
namespace DriverTools {

int packToBuffer(char *out, const char *format, ...);
int packToBuffer(char *out, int outSize, const char *format, ...);
int packToBufferV(char *out, const char *format, va_list args);
int packToBufferV(char *out, int outSize, const char *format, va_list args);

QByteArray packToByteArray(const char *format, ...);
QByteArray packToByteArrayV(const char *format, va_list args);

int unpackFromBuffer(const char *in, const char *format, ...);
int unpackFromBuffer(const char *in, int inSize, const char *format, ...);
int unpackFromBufferV(const char *in, const char *format, va_list args);
int unpackFromBufferV(const char *in, int inSize, const char *format, va_list args);

} // namespace DriverTools

#endif
