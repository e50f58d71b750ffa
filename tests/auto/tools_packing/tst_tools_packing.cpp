#include "RecordPacking.h"

#include <QtTest>

using namespace DriverTools;

namespace {

const char Fill = char(0xEE);
const int BufferSize = 32;

QByteArray filled(const QByteArray &front)
{
    return front + QByteArray(BufferSize - front.size(), Fill);
}

// The bytes of the values as they lie in the caller's memory (host byte order).
template <typename T> QByteArray hostBytes(std::initializer_list<T> values)
{
    QByteArray bytes;
    for (T value : values)
        bytes.append(reinterpret_cast<const char *>(&value), int(sizeof value));
    return bytes;
}

} // namespace

class TestToolsPacking : public QObject
{
    Q_OBJECT

private slots:
    void singleCodes_data();
    void singleCodes();
    void repeatForms_data();
    void repeatForms();
    void hugeRecordsAreRefusedBeforeAnyCopy_data();
    void hugeRecordsAreRefusedBeforeAnyCopy();
    void unpackSkipsAndErrors_data();
    void unpackSkipsAndErrors();
};

void TestToolsPacking::singleCodes_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<QByteArray>("expected"); // in a buffer of Fill bytes
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("array"); // packToByteArray
    auto row = [](const char *name, const char *format, const QList<int> &values,
                  const QByteArray &expected, int answer, const QByteArray &array) {
        QTest::newRow(name) << QByteArray(format) << values << expected << answer << array;
    };
    const QByteArray zeroAnd5("\0\x05", 2);
    row("C low byte", "C", {0x1234}, "\x34", 1, "\x34");
    row("c negative", "c", {-1}, "\xFF", 1, "\xFF");
    for (const char *code : {"I", "L", "V", "i", "l"})
        row(code, code, {0x12345678}, "\x78\x56\x34\x12", 4, "\x78\x56\x34\x12");
    row("N", "N", {0x12345678}, "\x12\x34\x56\x78", 4, "\x12\x34\x56\x78");
    for (const char *code : {"S", "s", "v"})
        row(code, code, {0x1234}, "\x34\x12", 2, "\x34\x12");
    row("n", "n", {0xAB1234}, "\x12\x34", 2, "\x12\x34");
    row("x takes no argument", "xC", {5}, zeroAnd5, 2, zeroAnd5);
    row("X skips, or adds a zero", "XC", {5}, "\xEE\x05", 2, zeroAnd5);
    row("2x", "2x", {}, QByteArray(2, '\0'), 2, "");
    row("0x writes nothing", "0xC", {7}, "\x07", 1, "");
    row("3X skips", "C3XC", {8, 9}, "\x08\xEE\xEE\xEE\x09", 5, "");
    row("empty format", "", {}, "", 0, "");
    row("unknown single code", "q", {}, "", 0, "");
    row("unknown code after a value", "Cq", {3}, "\x03", 0, "");
    row("unknown repeat code", "2q", {}, "", -1, "");
    row("count at the end", "C12", {3}, "\x03", -1, "");
    row("zero count with argument", "0C", {}, "", -1, "");
    row("count just beyond int", "2147483648X", {}, "", -1, "");
}

void TestToolsPacking::singleCodes()
{
    QFETCH(QByteArray, format);
    QFETCH(QList<int>, values);
    QFETCH(QByteArray, expected);
    QFETCH(int, answer);
    QFETCH(QByteArray, array);
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

void TestToolsPacking::repeatForms_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QByteArray>("memory");
    QTest::addColumn<QByteArray>("wire");
    auto row = [](const char *format, const QByteArray &memory, const QByteArray &wire) {
        QTest::newRow(format) << QByteArray(format) << memory << wire;
    };
    const QByteArray words = hostBytes<quint16>({0x0102, 0xA0B0});
    const QByteArray doubleWords = hostBytes<quint32>({0x01020304, 0xA0B0C0D0});
    row("3C", "abc", "abc");
    row("2c", "xy", "xy");
    row("10C", "0123456789", "0123456789");
    row("2N", doubleWords, "\x01\x02\x03\x04\xA0\xB0\xC0\xD0");
    row("2V", doubleWords, "\x04\x03\x02\x01\xD0\xC0\xB0\xA0");
    row("2n", words, "\x01\x02\xA0\xB0");
    row("2v", words, "\x02\x01\xB0\xA0");
}

void TestToolsPacking::repeatForms()
{
    QFETCH(QByteArray, format);
    QFETCH(QByteArray, memory);
    QFETCH(QByteArray, wire);
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
    QCOMPARE(unpackFromBuffer(mixedWire.constData(), mixed.constData(), &first, back.data(), &last),
             n + 2);
    QCOMPARE(QList<int>({first, last}), QList<int>({7, 9}));
    QCOMPARE(back, filled(memory));
    QCOMPARE(unpackFromBuffer(wire.constData(), n - 1, f, back.data()), -1);
}

void TestToolsPacking::hugeRecordsAreRefusedBeforeAnyCopy_data()
{
    // The unbounded forms trust the buffers for records that exist, but not for one longer than
    // an int can count; the bounded forms refuse any record past their size.
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("boundedOnly");
    QTest::newRow("words beyond int") << QByteArray("1073741824v") << false;
    QTest::newRow("double words beyond int") << QByteArray("536870912N") << false;
    QTest::newRow("beyond int after a byte") << QByteArray("x2147483647C") << false;
    QTest::newRow("count overflow") << QByteArray("18446744073709551617C") << false;
    QTest::newRow("largest count") << QByteArray("2147483647C") << true;
    QTest::newRow("largest skip") << QByteArray("2147483647x") << true;
}

void TestToolsPacking::hugeRecordsAreRefusedBeforeAnyCopy()
{
    QFETCH(QByteArray, format);
    QFETCH(bool, boundedOnly);
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

void TestToolsPacking::unpackSkipsAndErrors_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("byte"); // read by the format's "C", 0 when none is read
    auto row = [](const char *name, const char *format, int size, int answer, int byte) {
        QTest::newRow(name) << QByteArray(format) << size << answer << byte;
    };
    row("x", "xC", 8, 2, 2);
    row("X", "XC", 8, 2, 2);
    row("3x", "3xC", 8, 4, 4);
    row("3X", "3XC", 8, 4, 4);
    row("0x", "0xC", 8, 1, 1);
    row("skip to the end", "8x", 8, 8, 0);
    row("skip past the end", "9x", 8, -1, 0);
    row("zero count", "0C", 8, -1, 0);
    row("unknown single code", "q", 8, -1, 0);
    row("unknown repeat code", "2q", 8, -1, 0);
    row("count at the end", "C5", 8, -1, 1);
    row("count overflow", "4294967296C", 8, -1, 0);
    row("negative size", "x", -2, -1, 0);
    row("empty format", "", 8, 0, 0);
}

void TestToolsPacking::unpackSkipsAndErrors()
{
    QFETCH(QByteArray, format);
    QFETCH(int, size);
    QFETCH(int, answer);
    QFETCH(int, byte);
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

QTEST_APPLESS_MAIN(TestToolsPacking)

#include "tst_tools_packing.moc"
