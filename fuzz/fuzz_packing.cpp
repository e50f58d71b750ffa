// The record format language through the bounded buffer forms, the byte array form and, where
// the bounded form proved the record fits, the unbounded forms. A record packed and unpacked by
// the same format must give back the values that pack to the same bytes.
//
// Input: byte 0 the buffer size (times 4, so up to 1020 bytes), then the format text up to a
// zero byte (at most 64 characters), then the values: four bytes per single-code argument, and
// the rest fills the memory the repeat forms read from.

#include "FuzzSupport.h"
#include "RecordPacking.h"

#include <cstring>
#include <vector>

namespace {

constexpr int MaxArgs = 6;
constexpr int Region = 1024;
constexpr int MaxFormat = 64;

enum class Kind { Value, Pointer };

struct Args
{
    int count = 0;
    Kind kind[MaxArgs] = {};
    int values[MaxArgs] = {};
    void *pointers[MaxArgs] = {};
};

// Calls f with the arguments a describes, each with the C++ type the packer reads it as (int
// for a single code, a pointer for a repeat form), so that no variadic argument is read as a
// type it was not passed as.
template <typename F, typename... A> int withArgs(const Args &a, F &&f, A... xs)
{
    constexpr int k = int(sizeof...(A));
    if constexpr (k == MaxArgs) {
        return f(xs...);
    } else {
        if (k >= a.count)
            return f(xs...);
        if (a.kind[k] == Kind::Pointer)
            return withArgs(a, f, xs..., a.pointers[k]);
        return withArgs(a, f, xs..., a.values[k]);
    }
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isSingleValueCode(char c)
{
    return c != '\0' && std::strchr("CcILVilNSsvn", c) != nullptr;
}

bool isRepeatPointerCode(char c)
{
    return c != '\0' && std::strchr("CcNnVv", c) != nullptr;
}

int repeatWidth(char c)
{
    return (c == 'C' || c == 'c') ? 1 : (c == 'n' || c == 'v') ? 2 : 4;
}

// Walks the format as the packer does, up to its first error, noting the kind of every
// argument. A format that would take more than MaxArgs arguments is cut before the code that
// takes one too many. byteArraySafe stays true when no repeat form reads more memory than a
// region holds, so the unbounded byte array form stays within the caller's memory.
struct Plan
{
    QByteArray format;
    int count = 0;
    Kind kind[MaxArgs] = {};
    bool byteArraySafe = true;
    bool repeatSkip = false;
};

Plan planOf(const QByteArray &text)
{
    Plan plan;
    plan.format = text;
    int i = 0;
    while (i < text.size()) {
        const int tokenStart = i;
        if (isDigit(text.at(i))) {
            qint64 n = 0;
            while (i < text.size() && isDigit(text.at(i))) {
                n = qMin<qint64>(n * 10 + (text.at(i) - '0'), qint64(1) << 40);
                ++i;
            }
            if (i == text.size())
                return plan;
            const char code = text.at(i++);
            if (code == 'x' || code == 'X') {
                plan.repeatSkip = true;
                continue;
            }
            if (!isRepeatPointerCode(code) || n == 0)
                return plan;
            if (plan.count == MaxArgs) {
                plan.format.truncate(tokenStart);
                return plan;
            }
            if (n * repeatWidth(code) > Region)
                plan.byteArraySafe = false;
            plan.kind[plan.count++] = Kind::Pointer;
            continue;
        }
        const char code = text.at(i++);
        if (code == 'x' || code == 'X')
            continue;
        if (!isSingleValueCode(code))
            return plan;
        if (plan.count == MaxArgs) {
            plan.format.truncate(tokenStart);
            return plan;
        }
        plan.kind[plan.count++] = Kind::Value;
    }
    return plan;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace DriverTools;
    if (size < 1 || size > 8192)
        return 0;
    const int bufferSize = data[0] * 4;
    const char *text = reinterpret_cast<const char *>(data + 1);
    const size_t rest = size - 1;
    size_t formatLength = 0;
    while (formatLength < rest && formatLength < size_t(MaxFormat) && text[formatLength] != '\0')
        ++formatLength;
    const Plan plan = planOf(QByteArray(text, int(formatLength)));
    const char *format = plan.format.constData();
    const uint8_t *values = data + 1 + qMin(rest, formatLength + 1);
    const size_t valueBytes = size - size_t(values - data);

    // Separate heap blocks, so that AddressSanitizer sees any access past a buffer or region.
    std::vector<std::vector<char>> sources(MaxArgs, std::vector<char>(Region, 0));
    std::vector<std::vector<char>> targets(MaxArgs, std::vector<char>(Region, 0));
    size_t next = 0;
    Args packArgs;
    packArgs.count = plan.count;
    for (int k = 0; k < plan.count; ++k) {
        packArgs.kind[k] = plan.kind[k];
        if (plan.kind[k] == Kind::Value) {
            quint32 v = 0;
            for (int b = 0; b < 4 && next < valueBytes; ++b)
                v |= quint32(values[next++]) << (8 * b);
            packArgs.values[k] = int(v);
        } else {
            for (int b = 0; b < Region && next < valueBytes; ++b)
                sources[k][b] = char(values[next++]);
            packArgs.pointers[k] = sources[k].data();
        }
    }

    std::vector<char> record(size_t(bufferSize) + 1, 0);
    const int packed = withArgs(packArgs, [&](auto... xs) {
        return packToBuffer(record.data(), bufferSize, format, xs...);
    });
    FuzzSupport::check(packed >= -1 && packed <= bufferSize, "packed length out of range");

    if (plan.byteArraySafe) {
        QByteArray array;
        withArgs(packArgs, [&](auto... xs) {
            array = packToByteArray(format, xs...);
            return 0;
        });
        if (packed > 0 && !plan.repeatSkip) {
            FuzzSupport::check(array == QByteArray(record.data(), packed),
                               "byte array form differs from the buffer form");
        }
    }

    // Unpacking takes a pointer for every code that carries a value.
    void *t[MaxArgs];
    for (int k = 0; k < MaxArgs; ++k)
        t[k] = targets[k].data();
    const int bounded =
        unpackFromBuffer(record.data(), bufferSize, format, t[0], t[1], t[2], t[3], t[4], t[5]);
    FuzzSupport::check(bounded >= -1 && bounded <= bufferSize, "unpacked length out of range");
    if (packed <= 0)
        return 0;

    // The record fits: everything else about it must hold.
    FuzzSupport::check(bounded == packed, "unpack reads another length than pack wrote");
    std::vector<char> unbounded(size_t(packed) + 1, 0);
    const int unboundedPacked = withArgs(
        packArgs, [&](auto... xs) { return packToBuffer(unbounded.data(), format, xs...); });
    FuzzSupport::check(unboundedPacked == packed &&
                           std::memcmp(unbounded.data(), record.data(), size_t(packed)) == 0,
                       "unbounded pack differs from the bounded one");

    Args again;
    again.count = plan.count;
    for (int k = 0; k < plan.count; ++k) {
        again.kind[k] = plan.kind[k];
        if (plan.kind[k] == Kind::Value) {
            quint32 v = 0;
            std::memcpy(&v, targets[k].data(), 4);
            again.values[k] = int(v);
        } else {
            again.pointers[k] = targets[k].data();
        }
    }
    std::vector<char> repacked(size_t(bufferSize) + 1, 0);
    const int repackedLength = withArgs(again, [&](auto... xs) {
        return packToBuffer(repacked.data(), bufferSize, format, xs...);
    });
    FuzzSupport::check(repackedLength == packed &&
                           std::memcmp(repacked.data(), record.data(), size_t(packed)) == 0,
                       "pack, unpack, pack does not give the same record");

    std::vector<std::vector<char>> targets2(MaxArgs, std::vector<char>(Region, 0));
    const int unboundedRead = unpackFromBuffer(
        record.data(), format, targets2[0].data(), targets2[1].data(), targets2[2].data(),
        targets2[3].data(), targets2[4].data(), targets2[5].data());
    FuzzSupport::check(unboundedRead == packed && targets2 == targets,
                       "unbounded unpack differs from the bounded one");
    return 0;
}
