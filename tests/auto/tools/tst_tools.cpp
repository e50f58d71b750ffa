// The drivers' shared utilities: checksums, bit strings, byte orders, frames, record packing,
// station look-ups, text numbers and process checks. Rows are kept where a driver relies on the
// answer (packing, station look-ups, address numbers) and where a wrong edge would go unnoticed.

#include "BitString.h"
#include "ByteOrder.h"
#include "Checksums.h"
#include "FrameBuffer.h"
#include "ProcessTime.h"
#include "RecordPacking.h"
#include "StationLookup.h"
#include "TagCommands.h"
#include "TestTables.h"
#include "TextNumbers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

using namespace DriverTools;
using namespace TestTables;

namespace {

const int IntMax = std::numeric_limits<int>::max();
const QString Connection = QStringLiteral("tools_stations");
const char Fill = char(0xEE);

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

// A function of bytes to bytes, or of a bit string and two numbers; one table serves many forms.
using Transform = QByteArray (*)(const QByteArray &);
using Edit = void (*)(QByteArray &bytes, int a, int b);
using Update = quint32 (*)(quint32, quint8);
using Append = int (*)(FrameBuffer &);
using Layout = QList<qint32>;
using Entries = QList<StationEntry>;
enum class Lookup { DefaultOfPort, Endpoint, Link };

quint32 ccittUpdate(quint32 crc, quint8 byte)
{
    return crc16CcittUpdate(quint16(crc), byte);
}

// A CRC model over "123456789": the update from init, then the final xor.
quint32 runModel(Update update, quint32 init, quint32 xorOut)
{
    quint32 crc = init;
    for (char c : QByteArray("123456789"))
        crc = update(crc, quint8(c));
    return crc ^ xorOut;
}

// A buffer of Fill bytes starting with front.
QByteArray filled(const QByteArray &front)
{
    return front + QByteArray(32 - front.size(), Fill);
}

// The bytes of the values as they lie in the caller's memory (host byte order).
template <typename T> QByteArray hostBytes(std::initializer_list<T> values)
{
    QByteArray bytes;
    for (T value : values)
        bytes.append(reinterpret_cast<const char *>(&value), int(sizeof value));
    return bytes;
}

template <void (*swap)(QByteArray &)> QByteArray swapped(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    swap(copy);
    return copy;
}

CommunicatorCommand command(int dataType, quint64 count)
{
    CommunicatorCommand c;
    c.dataType = dataType;
    c.count = count;
    return c;
}

} // namespace

Q_DECLARE_METATYPE(Transform)
Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(Update)
Q_DECLARE_METATYPE(Append)
Q_DECLARE_METATYPE(Lookup)
Q_DECLARE_METATYPE(QList<DriverTools::StationEntry>)

class tst_Tools : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection);
        db.setDatabaseName(m_dir.filePath(QStringLiteral("database")));
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const char *statement :
             {"CREATE TABLE LINK (LINKID INTEGER, HMIPORT INTEGER)",
              "CREATE TABLE NODE (LINKID INTEGER, STATIONID INTEGER, IP TEXT, PORT INTEGER, "
              "ISDEFAULT INTEGER)",
              "INSERT INTO LINK VALUES (1, 1001), (2, 2000), (3, 2000), (4, 1002)",
              "INSERT INTO NODE VALUES (1, 5, '', 0, 1), (1, 6, '', 0, 0), "
              "(2, 10, '192.168.0.10', 502, 1), (2, 11, '192.168.0.10', 502, 1), "
              "(2, 12, '192.168.0.11', 502, 1), (2, 14, '192.168.0.10', 502, 0), "
              "(3, 300, '192.168.0.10', 502, 1), (3, 13, '192.168.0.10', 503, 1), "
              "(4, 7, '', 0, 0)"})
            QVERIFY2(query.exec(QString::fromLatin1(statement)), statement);
        db.close(); // the look-ups open the connection themselves
    }

    void cleanupTestCase()
    {
        QSqlDatabase::database(Connection, false).close();
        QSqlDatabase::removeDatabase(Connection);
    }

    // Published check values for "123456789" with each model's initial value and final xor.
    void crcCheckValues_data()
    {
        columns<Update, quint32, quint32, quint32>("update", "init", "xorOut", "check");
        row("CRC-16/ARC", Update(crc16ArcUpdate), 0x0000u, 0x0000u, 0xBB3Du);
        row("CRC-16/KERMIT", Update(crc16KermitUpdate), 0x0000u, 0x0000u, 0x2189u);
        row("CRC-16/DNP", Update(crc16DnpUpdate), 0x0000u, 0xFFFFu, 0xEA82u);
        row("CRC-16/XMODEM", Update(ccittUpdate), 0x0000u, 0x0000u, 0x31C3u);
        row("CRC-32/ISO-HDLC", Update(crc32Update), 0xFFFFFFFFu, 0xFFFFFFFFu, 0xCBF43926u);
    }

    void crcCheckValues()
    {
        const auto [update, init, xorOut, check] =
            fetch<Update, quint32, quint32, quint32>("update", "init", "xorOut", "check");
        QCOMPARE(runModel(update, init, xorOut), check);
        // The reflected 16-bit updates pass the bits above 16 through untouched.
        if (update != ccittUpdate && update != crc32Update)
            QCOMPARE(runModel(update, init | 0xABCD0000u, xorOut), check | 0xABCD0000u);
    }

    void bitEdits_data()
    {
        columns<Edit, QByteArray, int, int, QByteArray>("edit", "bytes", "a", "b", "expected");
        const auto add = [](const char *name, Edit edit, const char *bytes, int a, int b,
                            const char *expected) {
            row(name, edit, hex(bytes), a, b, hex(expected));
        };
        const Edit set = [](QByteArray &bytes, int i, int on) { setBit(bytes, i, on != 0); };
        const Edit setRaw = [](QByteArray &bytes, int i, int on) {
            setBit(bytes.data(), i, on != 0);
            setBit(static_cast<char *>(nullptr), i, on != 0); // must not crash
        };
        const Edit copy = [](QByteArray &bytes, int start, int n) {
            copyBits(bytes, start, hex("a5"), n);
        };
        const Edit resize = [](QByteArray &bytes, int n, int) { resizeForBits(bytes, n); };
        const Edit clear = [](QByteArray &bytes, int n, int) { clearBitsAbove(bytes, n); };
        const Edit shift = [](QByteArray &bytes, int n, int) { shiftBitsDown(bytes, n); };
        add("set", set, "00", 0, 1, "01");
        add("clear", set, "ff", 7, 0, "7f");
        add("set grows by two", set, "01", 17, 1, "010002");
        add("set grows by one", set, "01", 8, 1, "0101");
        add("set negative index", set, "01", -3, 1, "01");
        add("raw set", setRaw, "0000", 9, 1, "0002");
        // copyBits takes its bits from a5.
        add("copy across a byte", copy, "0000", 6, 4, "4001");
        add("short source reads 0", copy, "ffff", 4, 12, "5f0a");
        add("copy end past int", copy, "ff", IntMax, 2, "ff");
        add("resize 8", resize, "112233", 8, 0, "11");
        add("clear above 11", clear, "ffffff", 11, 0, "ff07ff");
        add("clear above the end", clear, "ffffff", 27, 0, "ffffff");
        add("shift 3 carries", shift, "ff81", 3, 0, "3f10");
        // Rotated to f0 0f 01, then only f0 0f shift by 3: 0x0ff0 >> 3 = 0x01fe.
        add("shift 11", shift, "01f00f", 11, 0, "fe0101");
        add("shift the whole length", shift, "4142", 16, 0, "4142");
    }

    void bitEdits()
    {
        auto [edit, bytes, a, b, expected] =
            fetch<Edit, QByteArray, int, int, QByteArray>("edit", "bytes", "a", "b", "expected");
        edit(bytes, a, b);
        QCOMPARE(bytes, expected);
    }

    void integers_data()
    {
        columns<QByteArray, qint32, qint32, int>("bytes", "int32", "int16", "on");
        row("empty", QByteArray(), 0, 0, 0);
        row("one byte is unsigned", hex("fe"), 0xFE, 0xFE, 0);
        row("minus one", hex("ffffffff"), -1, -1, 1);
        row("lowest int16", hex("0080"), 0x8000, -32768, 0);
        row("extra bytes ignored", hex("7856341299"), 0x12345678, 0x5678, 0);
    }

    void integers()
    {
        const auto [bytes, int32, int16, on] =
            fetch<QByteArray, qint32, qint32, int>("bytes", "int32", "int16", "on");
        QCOMPARE(toInt32LE(bytes), int32);
        QCOMPARE(FrameBuffer::toInt32LE(bytes), int32);
        QCOMPARE(toInt16LE(bytes), int16);
        QCOMPARE(valueIsOn(bytes), on);
        if (bytes.size() == 4)
            QCOMPARE(fromInt32LE(quint32(int32)), bytes);
        if (bytes.size() == 2) {
            QCOMPARE(fromInt16LE(quint16(int16)), bytes);
            QByteArray bigEndian("A");
            appendInt16BE(bigEndian, quint16(int16));
            QCOMPARE(bigEndian, QByteArray("A") + bytes.at(1) + bytes.at(0));
        }
    }

    void transforms_data()
    {
        columns<Transform, QByteArray, QByteArray>("transform", "input", "expected");
        const auto add = [](const char *name, Transform t, const QByteArray &in,
                            const QByteArray &out) { row(name, t, in, out); };
        const Transform fitToTwoWords = [](const QByteArray &b) {
            return fitToCommand(command(2, 2), b);
        };
        const Transform fitToHugeCount = [](const QByteArray &b) {
            return fitToCommand(command(4, std::numeric_limits<quint64>::max()), b);
        };
        const Transform words = [](const QByteArray &b) { return wordsFromBuffer(b.data(), 2); };
        const Transform doubleWords = [](const QByteArray &b) {
            return doubleWordsFromBuffer(b.data(), 2);
        };
        // Nothing read for no words, a null buffer, or a byte count beyond an int.
        const Transform noWords = [](const QByteArray &b) {
            return wordsFromBuffer(b.data(), 0) + wordsFromBuffer(nullptr, 1) +
                   doubleWordsFromBuffer(b.data(), -3) +
                   doubleWordsFromBuffer(b.data(), IntMax / 2);
        };
        add("swapWords odd", swapped<swapWords>, "ABC", "BAC");
        add("swapDoubleWords tail", swapped<swapDoubleWords>, "ABCDEFGH12", "DCBAHGFE12");
        add("swapWordsPadded odd", swapWordsPadded, "ABC", QByteArray("BA\0C", 4));
        add("reverseBytes", reverseBytes, "ABCDE", "EDCBA");
        add("padToEven", padToEven, "abc", QByteArray("abc\0", 4));
        add("wordsFromBuffer", words, hex("01020304"), hex("02010403"));
        add("doubleWordsFromBuffer", doubleWords, hex("0102030405060708"), hex("0403020108070605"));
        add("buffers refused", noWords, hex("01020304"), "");
        add("fitToCommand cuts", fitToTwoWords, "abcdef", "abcd");
        add("fitToCommand too large", fitToHugeCount, "ab", "");
    }

    void transforms()
    {
        const auto [transform, input, expected] =
            fetch<Transform, QByteArray, QByteArray>("transform", "input", "expected");
        QCOMPARE(transform(input), expected);
    }

    void textNumbers_data()
    {
        // base: for parseHex the length limit
        columns<bool, QString, int, qint64, QByteArray>("isHex", "text", "base", "number",
                                                        "identifier");
        const auto address = [](const char *name, const QString &text, int base, qint64 number,
                                const char *identifier) {
            row(name, false, text, base, number, QByteArray(identifier));
        };
        const auto parsed = [](const char *name, const QString &text, int limit, quint32 value) {
            row(name, true, text, limit, qint64(value), QByteArray());
        };
        address("hex takes the D", "D100", 16, 0xD100, "D");
        address("octal 8 is no digit", "Q18", 8, 0, "Q");
        address("no digit", "RAM", 10, 0, "RAM");
        address("underscore", "RAM_x12", 10, 12, "RAM_x");
        address("largest", "D9223372036854775807", 10, std::numeric_limits<qint64>::max(), "D");
        address("overflow", "D9223372036854775808", 10, 0, "D");
        parsed("prefix and digits", "0x1A", 4, 26);
        parsed("cut by limit", "0x1A", 3, 1);
        parsed("upper prefix", "0XfF", 10, 255);
        parsed("bad digit", "12G", 10, 0);
        parsed("32 bits", "FFFFFFFF", 20, 0xFFFFFFFF);
        parsed("wider than 32 bits", "100000001", 20, 0);
    }

    void textNumbers()
    {
        const auto [isHex, text, base, number, identifier] =
            fetch<bool, QString, int, qint64, QByteArray>("isHex", "text", "base", "number",
                                                          "identifier");
        if (isHex) {
            QCOMPARE(qint64(parseHex(text, base)), number);
            return;
        }
        QCOMPARE(addressNumber(text, base), number);
        QCOMPARE(addressNumber(text.toLatin1(), base), number);
        QCOMPARE(leadingIdentifier(text), identifier);
        QCOMPARE(leadingIdentifier(text.toLatin1()), identifier);
    }

    void frameAppends_data()
    {
        columns<QByteArray, QByteArray, Append>("prefix", "appended", "append");
        const QByteArray frame("\1AB");
        row("bytes", frame, QByteArray("\0z", 2),
            Append([](FrameBuffer &f) { return f.appendBytes(QByteArray("\0z", 2)); }));
        row("int16", frame, QByteArray("\x34\x12"),
            Append([](FrameBuffer &f) { return f.appendInt16(0x1234); }));
        row("int32", frame, QByteArray("\x78\x56\x34\x12"),
            Append([](FrameBuffer &f) { return f.appendInt32(0x12345678); }));
        row("sum8 wraps", QByteArray("\xF0\x20"), QByteArray("\x10"),
            Append([](FrameBuffer &f) { return f.appendSum8(); }));
    }

    void frameAppends()
    {
        const auto [prefix, appended, append] =
            fetch<QByteArray, QByteArray, Append>("prefix", "appended", "append");
        FrameBuffer frame;
        Layout layout;
        if (!prefix.isEmpty()) {
            QCOMPARE(frame.appendBytes(prefix), 1);
            layout << prefix.size();
        }
        QCOMPARE(append(frame), 1);
        QCOMPARE(frame.bytes(), prefix + appended);
        QCOMPARE(frame.layout(), layout << appended.size());
        QCOMPARE(frame.totalLength(), prefix.size() + appended.size());
        QCOMPARE(frame.fieldBytes(frame.fieldCount() - 1), appended);
    }

    void packSingleCodes_data()
    {
        // expected: in a buffer of Fill bytes; array: what packToByteArray gives
        columns<QByteArray, QList<int>, QByteArray, int, QByteArray>("format", "values", "expected",
                                                                     "answer", "array");
        const auto add = [](const char *name, const char *format, const QList<int> &values,
                            const QByteArray &expected, int answer, const QByteArray &array) {
            row(name, QByteArray(format), values, expected, answer, array);
        };
        const QByteArray zeroAnd5("\0\x05", 2);
        add("C low byte", "C", {0x1234}, "\x34", 1, "\x34");
        add("c negative", "c", {-1}, "\xFF", 1, "\xFF");
        for (const char *code : {"I", "L", "V", "i", "l"})
            add(code, code, {0x12345678}, "\x78\x56\x34\x12", 4, "\x78\x56\x34\x12");
        add("N", "N", {0x12345678}, "\x12\x34\x56\x78", 4, "\x12\x34\x56\x78");
        for (const char *code : {"S", "s", "v"})
            add(code, code, {0x1234}, "\x34\x12", 2, "\x34\x12");
        add("n", "n", {0xAB1234}, "\x12\x34", 2, "\x12\x34");
        add("x takes no argument", "xC", {5}, zeroAnd5, 2, zeroAnd5);
        add("X skips, or adds a zero", "XC", {5}, "\xEE\x05", 2, zeroAnd5);
        add("3X skips", "C3XC", {8, 9}, "\x08\xEE\xEE\xEE\x09", 5, "");
        add("empty format", "", {}, "", 0, "");
        add("unknown code after a value", "Cq", {3}, "\x03", 0, "");
        add("unknown repeat code", "2q", {}, "", -1, "");
        add("count at the end", "C12", {3}, "\x03", -1, "");
        add("zero count with argument", "0C", {}, "", -1, "");
        add("count just beyond int", "2147483648X", {}, "", -1, "");
    }

    void packSingleCodes()
    {
        const auto [format, values, expected, answer, array] =
            fetch<QByteArray, QList<int>, QByteArray, int, QByteArray>(
                "format", "values", "expected", "answer", "array");
        const QList<int> v = values + QList<int>{0, 0, 0};
        const char *f = format.constData();
        QByteArray buffer = filled({});
        QCOMPARE(packToBuffer(buffer.data(), f, v[0], v[1], v[2]), answer);
        QCOMPARE(buffer, filled(expected));
        QCOMPARE(packToByteArray(f, v[0], v[1], v[2]), array);
        // Exactly the room the bytes written take: the same answer.
        QCOMPARE(packToBuffer(buffer.data(), expected.size(), f, v[0], v[1], v[2]), answer);
        if (answer <= 0)
            return;
        // One byte short of room: refused, and nothing is written past the room given.
        buffer = filled({});
        QCOMPARE(packToBuffer(buffer.data(), answer - 1, f, v[0], v[1], v[2]), -1);
        QCOMPARE(buffer.mid(answer - 1), filled({}).mid(answer - 1));
        if (format.size() != 1)
            return;
        // Unpacking the packed bytes gives the value back, cut to the code's width.
        const quint32 value = quint32(v[0]);
        const QByteArray memory = answer == 1   ? hostBytes({quint8(value)})
                                  : answer == 2 ? hostBytes({quint16(value)})
                                                : hostBytes({value});
        QByteArray back = filled({});
        QCOMPARE(unpackFromBuffer(expected.constData(), f, back.data()), answer);
        QCOMPARE(back, filled(memory));
        QCOMPARE(unpackFromBuffer(expected.constData(), answer - 1, f, back.data()), -1);
    }

    void packRepeatForms_data()
    {
        columns<QByteArray, QByteArray, QByteArray>("format", "memory", "wire");
        const QByteArray words = hostBytes<quint16>({0x0102, 0xA0B0});
        const QByteArray doubleWords = hostBytes<quint32>({0x01020304, 0xA0B0C0D0});
        row("10C", QByteArray("10C"), QByteArray("0123456789"), QByteArray("0123456789"));
        row("2N", QByteArray("2N"), doubleWords, QByteArray("\x01\x02\x03\x04\xA0\xB0\xC0\xD0"));
        row("2n", QByteArray("2n"), words, QByteArray("\x01\x02\xA0\xB0"));
        row("2v", QByteArray("2v"), words, QByteArray("\x02\x01\xB0\xA0"));
    }

    void packRepeatForms()
    {
        const auto [format, memory, wire] =
            fetch<QByteArray, QByteArray, QByteArray>("format", "memory", "wire");
        const char *f = format.constData();
        const int n = wire.size();
        // Between single codes the pointer takes exactly one argument slot.
        const QByteArray mixed = "C" + format + "C";
        const QByteArray mixedWire = "\x07" + wire + "\x09";
        QByteArray buffer = filled({});
        QCOMPARE(packToBuffer(buffer.data(), mixed.constData(), 7, memory.constData(), 9), n + 2);
        QCOMPARE(buffer, filled(mixedWire));
        QCOMPARE(packToBuffer(buffer.data(), n, f, memory.constData()), n);
        QCOMPARE(packToBuffer(buffer.data(), n - 1, f, memory.constData()), -1);
        QCOMPARE(packToByteArray(f, memory.constData()), wire);
        QCOMPARE(packToBuffer(buffer.data(), f, static_cast<const char *>(nullptr)), -1);
        QCOMPARE(packToByteArray(f, static_cast<const char *>(nullptr)), QByteArray());

        quint8 first = 0, last = 0;
        QByteArray back = filled({});
        QCOMPARE(
            unpackFromBuffer(mixedWire.constData(), mixed.constData(), &first, back.data(), &last),
            n + 2);
        QCOMPARE(QList<int>({first, last}), QList<int>({7, 9}));
        QCOMPARE(back, filled(memory));
        QCOMPARE(unpackFromBuffer(wire.constData(), n - 1, f, back.data()), -1);
    }

    // The unbounded forms trust the buffers for records that exist, but not for one longer than an
    // int can count; the bounded forms refuse any record past their size.
    void packHugeRecordsRefusedBeforeAnyCopy_data()
    {
        columns<QByteArray, bool>("format", "boundedOnly");
        row("double words beyond int", QByteArray("536870912N"), false);
        row("beyond int after a byte", QByteArray("x2147483647C"), false);
        row("count overflow", QByteArray("18446744073709551617C"), false);
        row("largest count", QByteArray("2147483647C"), true);
    }

    void packHugeRecordsRefusedBeforeAnyCopy()
    {
        const auto [format, boundedOnly] = fetch<QByteArray, bool>("format", "boundedOnly");
        const char *f = format.constData();
        char source[4] = {1, 2, 3, 4};
        char out[8] = {};
        QCOMPARE(packToBuffer(out, 8, f, source), -1);
        QCOMPARE(unpackFromBuffer(source, 4, f, out), -1);
        if (!boundedOnly) {
            QCOMPARE(packToBuffer(out, f, source), -1);
            QCOMPARE(packToByteArray(f, source), QByteArray());
            QCOMPARE(unpackFromBuffer(source, f, out), -1);
        }
        QCOMPARE(QByteArray(out, 8), QByteArray(8, '\0'));
    }

    void unpackSkipsAndErrors_data()
    {
        // byte: read by the format's "C", 0 when none is read
        columns<QByteArray, int, int, int>("format", "size", "answer", "byte");
        const auto add = [](const char *name, const char *format, int size, int answer, int byte) {
            row(name, QByteArray(format), size, answer, byte);
        };
        add("X", "XC", 8, 2, 2);
        add("0x", "0xC", 8, 1, 1);
        add("skip past the end", "9x", 8, -1, 0);
        add("zero count", "0C", 8, -1, 0);
        add("unknown single code", "q", 8, -1, 0);
        add("unknown repeat code", "2q", 8, -1, 0);
        add("count at the end", "C5", 8, -1, 1);
        add("count overflow", "4294967296C", 8, -1, 0);
        add("negative size", "x", -2, -1, 0);
        add("empty format", "", 8, 0, 0);
    }

    void unpackSkipsAndErrors()
    {
        const auto [format, size, answer, byte] =
            fetch<QByteArray, int, int, int>("format", "size", "answer", "byte");
        const char in[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        quint8 read = 0;
        QCOMPARE(unpackFromBuffer(in, size, format.constData(), &read), answer);
        QCOMPARE(int(read), byte);
        if (answer >= 0) {
            read = 0;
            QCOMPARE(unpackFromBuffer(in, format.constData(), &read), answer);
            QCOMPARE(int(read), byte);
        }
        QCOMPARE(unpackFromBuffer(in, "C", static_cast<quint8 *>(nullptr)), -1);
        QCOMPARE(unpackFromBuffer(nullptr, "C", &read), -1);
        QCOMPARE(unpackFromBuffer(in, nullptr), -1);
        QCOMPARE(packToBuffer(nullptr, 8, "C", 1), -1);
        QCOMPARE(packToByteArray(nullptr), QByteArray());
        char out[1] = {0};
        QCOMPARE(packToBuffer(out, -1, "C", 1), -1);
    }

    void hmiPortFromDevice_data()
    {
        columns<QString, int>("device", "port");
        row("beginning with ETHERNET", QString("ETHERNET2"), 2000);
        row("only the trailing digits", QString("COM3A12"), 1012);
        row("leading zeros", QString("tty007"), 1007);
        row("ends in a letter", QString("COMX"), -1);
        row("port beyond int", QString("COM2147482648"), -1);
    }

    void hmiPortFromDevice()
    {
        const auto [device, port] = fetch<QString, int>("device", "port");
        QCOMPARE(DriverTools::hmiPortFromDevice(device), port);
    }

    void stationLookups_data()
    {
        // key: the HMI port, or the link id for Lookup::Link
        columns<Lookup, int, QString, int, Entries, Entries, bool>("lookup", "key", "ip", "tcpPort",
                                                                   "before", "after", "answer");
        const QString ip10 = QStringLiteral("192.168.0.10");
        const Entries none, old{{9, 9}};
        const Lookup port = Lookup::DefaultOfPort, endpoint = Lookup::Endpoint, link = Lookup::Link;
        row("port with a default station", port, 1001, QString(), 0, none, Entries{{1, 5}}, true);
        // Station 300 of link 3 is cut to 300 mod 256 = 44.
        row("two links on one endpoint", endpoint, 2000, ip10, 502, none,
            Entries{{2, 10}, {2, 11}, {3, 44}}, true);
        row("no row", endpoint, 2000, QString("10.0.0.1"), 502, none, none, false);
        // The ip goes in as a bound value, never as SQL text.
        row("quoted injection", endpoint, 2000, QString("x' OR '1'='1"), 502, none, none, false);
        row("default stations of a link", link, 2, QString(), 0, none,
            Entries{{2, 10}, {2, 11}, {2, 12}}, true);
        row("link without default", link, 4, QString(), 0, none, none, false);
        row("link without default, old entry", link, 4, QString(), 0, old, old, true);
    }

    void stationLookups()
    {
        const auto [lookup, key, ip, tcpPort, before, after, answer] =
            fetch<Lookup, int, QString, int, Entries, Entries, bool>(
                "lookup", "key", "ip", "tcpPort", "before", "after", "answer");
        Entries list = before;
        int linkId = -7;
        quint8 stationId = 99;
        switch (lookup) {
        case Lookup::DefaultOfPort:
            QCOMPARE(defaultStationOfPort(Connection, key, linkId, stationId), answer);
            if (answer)
                list.append({linkId, stationId});
            else // the outputs stay untouched
                QCOMPARE(QList<int>({linkId, stationId}), QList<int>({-7, 99}));
            break;
        case Lookup::Endpoint:
            QCOMPARE(stationsOfEndpoint(Connection, key, ip, quint16(tcpPort), list), answer);
            break;
        case Lookup::Link:
            QCOMPARE(stationsOfLink(Connection, key, list), answer);
            break;
        }
        QCOMPARE(list, after);
    }

    void timeKeeping()
    {
        QElapsedTimer timer;
        timer.start();
        sleepMs(30);
        QVERIFY(timer.elapsed() >= 29);
        // No wait at all, rather than an unsigned wrap-around into a sleep of weeks.
        timer.restart();
        sleepMs(-100);
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(qAbs(currentMs() - QDateTime::currentMSecsSinceEpoch()) < 5000);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(tst_Tools)
#include "tst_tools.moc"
