#include "RecordPacking.h"

#include <cstring>
#include <limits>

namespace DriverTools {

namespace {

constexpr qint64 Unbounded = -1;
constexpr int SingleCodeError = 0;
constexpr int Failed = -1;
constexpr qint64 MaxRecord = std::numeric_limits<int>::max();
// A byte array also needs room for its own header and terminator.
constexpr qint64 MaxArrayRecord = MaxRecord - 64;

enum class Order { Little, Big };

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Width in bytes of one element of a repeat form that takes a pointer; 0 when the code is not one.
int repeatWidth(char code)
{
    switch (code) {
    case 'C':
    case 'c':
        return 1;
    case 'n':
    case 'v':
        return 2;
    case 'N':
    case 'V':
        return 4;
    default:
        return 0;
    }
}

void storeUnsigned(char *to, quint32 value, int width, Order order)
{
    for (int i = 0; i < width; ++i) {
        const int shift = order == Order::Little ? 8 * i : 8 * (width - 1 - i);
        to[i] = char((value >> shift) & 0xFF);
    }
}

quint32 loadUnsigned(const char *from, int width, Order order)
{
    quint32 value = 0;
    for (int i = 0; i < width; ++i) {
        const int shift = order == Order::Little ? 8 * i : 8 * (width - 1 - i);
        value |= quint32(quint8(from[i])) << shift;
    }
    return value;
}

// Host-order element k of width 1, 2 or 4 bytes at p, read without alignment requirements.
quint32 hostElement(const char *p, int k, int width)
{
    if (width == 1)
        return quint8(p[k]);
    if (width == 2) {
        quint16 v;
        std::memcpy(&v, p + qint64(k) * 2, 2);
        return v;
    }
    quint32 v;
    std::memcpy(&v, p + qint64(k) * 4, 4);
    return v;
}

void setHostElement(char *p, int k, int width, quint32 value)
{
    if (width == 1) {
        p[k] = char(value);
    } else if (width == 2) {
        const quint16 v = quint16(value);
        std::memcpy(p + qint64(k) * 2, &v, 2);
    } else {
        std::memcpy(p + qint64(k) * 4, &value, 4);
    }
}

Order orderOf(char code)
{
    return code == 'N' || code == 'n' ? Order::Big : Order::Little;
}

// Width and byte order of a single code that carries a value; width 0 for any other code.
int singleWidth(char code)
{
    switch (code) {
    case 'C':
    case 'c':
        return 1;
    case 'S':
    case 's':
    case 'v':
    case 'n':
        return 2;
    case 'I':
    case 'L':
    case 'V':
    case 'i':
    case 'l':
    case 'N':
        return 4;
    default:
        return 0;
    }
}

// Reads a decimal count at *p, advancing p past it; -1 when it exceeds the int range.
qint64 readCount(const char *&p)
{
    qint64 count = 0;
    while (isDigit(*p)) {
        count = count * 10 + (*p - '0');
        if (count > MaxRecord)
            return -1;
        ++p;
    }
    return count;
}

// Where packed bytes go: a caller's buffer (bounded or not) or a growing byte array.
struct PackTarget
{
    char *buffer = nullptr;
    qint64 limit = Unbounded;
    QByteArray *array = nullptr;
    qint64 position = 0;

    // Room for `size` more bytes at the current position, or nullptr when the record would grow
    // past its limit. The array form appends zero bytes.
    char *take(qint64 size)
    {
        const qint64 end = position + size;
        if (end > (array ? MaxArrayRecord : MaxRecord) || (limit != Unbounded && end > limit))
            return nullptr;
        char *at = nullptr;
        if (array) {
            array->append(int(size), '\0');
            at = array->data() + position;
        } else {
            at = buffer + position;
        }
        position = end;
        return at;
    }
};

int pack(PackTarget &target, const char *format, va_list args)
{
    if (format == nullptr || (target.array == nullptr && target.buffer == nullptr))
        return Failed;
    const char *p = format;
    while (*p != '\0') {
        if (isDigit(*p)) {
            const qint64 count = readCount(p);
            const char code = *p;
            if (count < 0 || code == '\0')
                return Failed;
            ++p;
            if (code == 'x' || code == 'X') {
                if (target.array)
                    return Failed;
                char *at = target.take(count);
                if (at == nullptr)
                    return Failed;
                if (code == 'x')
                    std::memset(at, 0, size_t(count));
                continue;
            }
            const int width = repeatWidth(code);
            if (width == 0 || count == 0)
                return Failed;
            const char *source = static_cast<const char *>(va_arg(args, const void *));
            char *at = source ? target.take(count * width) : nullptr;
            if (at == nullptr)
                return Failed;
            for (int k = 0; k < count; ++k)
                storeUnsigned(at + qint64(k) * width, hostElement(source, k, width), width,
                              orderOf(code));
            continue;
        }
        const char code = *p++;
        if (code == 'x' || code == 'X') {
            char *at = target.take(1);
            if (at == nullptr)
                return Failed;
            if (code == 'x')
                *at = '\0';
            continue;
        }
        const int width = singleWidth(code);
        if (width == 0)
            return SingleCodeError;
        const quint32 value = quint32(va_arg(args, int));
        char *at = target.take(width);
        if (at == nullptr)
            return Failed;
        storeUnsigned(at, value, width, orderOf(code));
    }
    return int(target.position);
}

int unpack(const char *in, qint64 limit, const char *format, va_list args)
{
    if (format == nullptr || in == nullptr)
        return Failed;
    qint64 position = 0;
    // The bytes of the next `size` input bytes, or nullptr when they lie past the limit.
    auto take = [&](qint64 size) -> const char * {
        const qint64 end = position + size;
        if (end > MaxRecord || (limit != Unbounded && end > limit))
            return nullptr;
        const char *at = in + position;
        position = end;
        return at;
    };
    const char *p = format;
    while (*p != '\0') {
        qint64 count = 1;
        bool repeat = false;
        if (isDigit(*p)) {
            count = readCount(p);
            repeat = true;
            if (count < 0 || *p == '\0')
                return Failed;
        }
        const char code = *p++;
        if (code == 'x' || code == 'X') {
            if (take(count) == nullptr)
                return Failed;
            continue;
        }
        const int width = repeat ? repeatWidth(code) : singleWidth(code);
        if (width == 0 || count == 0)
            return Failed;
        char *destination = static_cast<char *>(va_arg(args, void *));
        const char *at = destination ? take(count * width) : nullptr;
        if (at == nullptr)
            return Failed;
        for (int k = 0; k < count; ++k)
            setHostElement(destination, k, width,
                           loadUnsigned(at + qint64(k) * width, width, orderOf(code)));
    }
    return int(position);
}

} // namespace

int packToBufferV(char *out, const char *format, va_list args)
{
    PackTarget target;
    target.buffer = out;
    return pack(target, format, args);
}

int packToBufferV(char *out, int outSize, const char *format, va_list args)
{
    if (outSize < 0)
        return Failed;
    PackTarget target;
    target.buffer = out;
    target.limit = outSize;
    return pack(target, format, args);
}

int packToBuffer(char *out, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = packToBufferV(out, format, args);
    va_end(args);
    return written;
}

int packToBuffer(char *out, int outSize, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = packToBufferV(out, outSize, format, args);
    va_end(args);
    return written;
}

QByteArray packToByteArrayV(const char *format, va_list args)
{
    QByteArray bytes;
    PackTarget target;
    target.array = &bytes;
    if (pack(target, format, args) <= 0)
        return QByteArray();
    return bytes;
}

QByteArray packToByteArray(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    QByteArray bytes = packToByteArrayV(format, args);
    va_end(args);
    return bytes;
}

int unpackFromBufferV(const char *in, const char *format, va_list args)
{
    return unpack(in, Unbounded, format, args);
}

int unpackFromBufferV(const char *in, int inSize, const char *format, va_list args)
{
    if (inSize < 0)
        return Failed;
    return unpack(in, inSize, format, args);
}

int unpackFromBuffer(const char *in, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int read = unpackFromBufferV(in, format, args);
    va_end(args);
    return read;
}

int unpackFromBuffer(const char *in, int inSize, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int read = unpackFromBufferV(in, inSize, format, args);
    va_end(args);
    return read;
}

} // namespace DriverTools
