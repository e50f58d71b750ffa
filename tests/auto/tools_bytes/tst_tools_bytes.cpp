#include "ByteOrder.h"
#include "TagCommands.h"
#include "TextNumbers.h"

#include <QtTest>

#include <limits>

using namespace DriverTools;

namespace {

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

using Transform = QByteArray (*)(const QByteArray &);

// The in-place swaps work on a copy.
template <void (*swap)(QByteArray &)> QByteArray swapped(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    swap(copy);
    return copy;
}

// The buffer forms read every whole word of the bytes.
template <QByteArray (*read)(const char *, int), int width>
QByteArray fromBuffer(const QByteArray &b)
{
    return read(b.constData(), b.size() / width);
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

class TestToolsBytes : public QObject
{
    Q_OBJECT

private slots:
    void integers_data();
    void integers();
    void transforms_data();
    void transforms();
    void bufferLimits();
    void commandSizes_data();
    void commandSizes();
    void textNumbers_data();
    void textNumbers();
};

void TestToolsBytes::integers_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint32>("int32");
    QTest::addColumn<qint32>("int16");
    QTest::addColumn<int>("on");
    QTest::newRow("empty") << QByteArray() << 0 << 0 << 0;
    QTest::newRow("one byte is unsigned") << hex("fe") << 0xFE << 0xFE << 0;
    QTest::newRow("three bytes") << hex("010283") << 0x830201 << 0x0201 << 1;
    QTest::newRow("minus one") << hex("ffffffff") << -1 << -1 << 1;
    QTest::newRow("lowest int32") << hex("00000080") << qint32(0x80000000) << 0 << 0;
    QTest::newRow("lowest int16") << hex("0080") << 0x8000 << -32768 << 0;
    QTest::newRow("minus two") << hex("feff") << 0xFFFE << -2 << 0;
    QTest::newRow("extra bytes ignored") << hex("7856341299") << 0x12345678 << 0x5678 << 0;
}

void TestToolsBytes::integers()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint32, int32);
    QFETCH(qint32, int16);
    QFETCH(int, on);
    QCOMPARE(toInt32LE(bytes), int32);
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

void TestToolsBytes::transforms_data()
{
    QTest::addColumn<Transform>("transform");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char *name, Transform t, const QByteArray &in, const QByteArray &out) {
        QTest::newRow(name) << t << in << out;
    };
    const Transform fitToTwoWords = [](const QByteArray &b) {
        return fitToCommand(command(2, 2), b);
    };
    const Transform fitToHugeCount = [](const QByteArray &b) {
        return fitToCommand(command(4, std::numeric_limits<quint64>::max()), b);
    };
    const Transform dump = [](const QByteArray &b) { return hexDump(b).toLatin1(); };
    row("swapWords", swapped<swapWords>, "ABCD", "BADC");
    row("swapWords odd", swapped<swapWords>, "ABC", "BAC");
    row("swapDoubleWords", swapped<swapDoubleWords>, "ABCDEFGH", "DCBAHGFE");
    row("swapDoubleWords tail", swapped<swapDoubleWords>, "ABCDEF", "DCBAEF");
    row("swapWordsPadded odd", swapWordsPadded, "ABC", QByteArray("BA\0C", 4));
    row("swapWordsPadded even", swapWordsPadded, "ABCD", "BADC");
    row("swapDoubleWordsPadded", swapDoubleWordsPadded, "ABCDEF", QByteArray("DCBA\0\0FE", 8));
    row("reverseBytes", reverseBytes, "ABCDE", "EDCBA");
    row("padToEven", padToEven, "abc", QByteArray("abc\0", 4));
    row("padToFour", padToFour, "abcde", QByteArray("abcde\0\0\0", 8));
    row("padToEight", padToEight, "abcdefghi", QByteArray("abcdefghi\0\0\0\0\0\0\0", 16));
    row("padToEight of eight", padToEight, "abcdefgh", "abcdefgh");
    row("wordsFromBuffer", fromBuffer<wordsFromBuffer, 2>, hex("01020304"), hex("02010403"));
    row("doubleWordsFromBuffer", fromBuffer<doubleWordsFromBuffer, 4>, hex("0102030405060708"),
        hex("0403020108070605"));
    row("fitToCommand cuts", fitToTwoWords, "abcdef", "abcd");
    row("fitToCommand pads", fitToTwoWords, "ab", QByteArray("ab\0\0", 4));
    row("fitToCommand exact", fitToTwoWords, "abcd", "abcd");
    row("fitToCommand too large", fitToHugeCount, "ab", "");
    row("hexDump", dump, "\1AB", "(0X1 0X41 0X42 ) : \1AB");
    row("hexDump zero ends text", dump, QByteArray("A\0B", 3), "(0X41 0X0 0X42 ) : A");
    row("hexDump high byte", dump, "\xFF", "(0Xff ) : \xFF");
}

void TestToolsBytes::transforms()
{
    QFETCH(Transform, transform);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(transform(input), expected);
}

void TestToolsBytes::bufferLimits()
{
    const char data[] = "\x01\x02\x03\x04";
    QVERIFY(wordsFromBuffer(data, 0).isEmpty());
    QVERIFY(doubleWordsFromBuffer(data, -3).isEmpty());
    QVERIFY(wordsFromBuffer(nullptr, 1).isEmpty());
    // 4n bytes would not fit an int: refused before a byte is read.
    QVERIFY(doubleWordsFromBuffer(data, std::numeric_limits<int>::max() / 2).isEmpty());
}

void TestToolsBytes::commandSizes_data()
{
    const qint32 intMax = std::numeric_limits<qint32>::max();
    QTest::addColumn<int>("dataType");
    QTest::addColumn<quint64>("count");
    QTest::addColumn<qint32>("length");
    QTest::newRow("no bits") << 0 << quint64(0) << 0;
    QTest::newRow("9 bits") << 0 << quint64(9) << 2;
    QTest::newRow("type 6, 16 bits") << 6 << quint64(16) << 2;
    QTest::newRow("bytes") << 1 << quint64(7) << 7;
    QTest::newRow("type 5") << 5 << quint64(3) << 3;
    QTest::newRow("words") << 2 << quint64(3) << 6;
    QTest::newRow("double words") << 3 << quint64(3) << 12;
    QTest::newRow("quad words") << 4 << quint64(3) << 24;
    QTest::newRow("unknown code") << 7 << quint64(3) << 0;
    QTest::newRow("largest int") << 1 << quint64(intMax) << intMax;
    QTest::newRow("one beyond int") << 1 << quint64(intMax) + 1 << -1;
    QTest::newRow("double words beyond int") << 3 << (quint64(1) << 29) << -1;
    QTest::newRow("bits of the largest count") << 0 << std::numeric_limits<quint64>::max() << -1;
}

void TestToolsBytes::commandSizes()
{
    QFETCH(int, dataType);
    QFETCH(quint64, count);
    QFETCH(qint32, length);
    const CommunicatorCommand c = command(dataType, count);
    QCOMPARE(commandByteLength(c), length);
    QCOMPARE(
        (QList<bool>{isType0(c), isType1(c), isType2(c), isType3(c), isType5(c)}),
        (QList<bool>{dataType == 0, dataType == 1, dataType == 2, dataType == 3, dataType == 5}));
}

void TestToolsBytes::textNumbers_data()
{
    QTest::addColumn<bool>("isHex");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("base"); // the length limit of parseHex rows
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QByteArray>("identifier");
    auto address = [](const char *name, const QString &text, int base, qint64 number,
                      const char *identifier) {
        QTest::newRow(name) << false << text << base << number << QByteArray(identifier);
    };
    auto hex = [](const char *name, const QString &text, int limit, quint32 value) {
        QTest::newRow(name) << true << text << limit << qint64(value) << QByteArray();
    };
    address("hex takes the D", "D100", 16, 0xD100, "D");
    address("hex lower case", "Xff", 16, 255, "Xff");
    address("octal", "Q17", 8, 15, "Q");
    address("octal 8 is no digit", "Q18", 8, 0, "Q");
    address("octal skips 9", "Q97", 8, 7, "Q");
    address("base 2", "D100", 2, -1, "D");
    address("no digit", "RAM", 10, 0, "RAM");
    address("underscore", "RAM_x12", 10, 12, "RAM_x");
    address("non-ASCII", QString::fromUtf8("G\xC3\xA9H1"), 10, 1, "G");
    address("largest", "D9223372036854775807", 10, std::numeric_limits<qint64>::max(), "D");
    address("overflow", "D9223372036854775808", 10, 0, "D");
    hex("prefix and digits", "0x1A", 4, 26);
    hex("cut by limit", "0x1A", 3, 1);
    hex("only prefix fits", "0x1A", 2, 0);
    hex("upper prefix", "0XfF", 10, 255);
    hex("bad digit", "12G", 10, 0);
    hex("bad digit beyond limit", "12G", 2, 0x12);
    hex("limit 0", "12", 0, 0);
    hex("32 bits", "FFFFFFFF", 20, 0xFFFFFFFF);
    hex("leading zeros", "000000001", 20, 1);
    hex("wider than 32 bits", "100000001", 20, 0);
}

void TestToolsBytes::textNumbers()
{
    QFETCH(bool, isHex);
    QFETCH(QString, text);
    QFETCH(int, base);
    QFETCH(qint64, number);
    QFETCH(QByteArray, identifier);
    if (isHex) {
        QCOMPARE(qint64(parseHex(text, base)), number);
        return;
    }
    QCOMPARE(addressNumber(text, base), number);
    QCOMPARE(addressNumber(text.toLatin1(), base), number);
    QCOMPARE(leadingIdentifier(text), identifier);
    QCOMPARE(leadingIdentifier(text.toLatin1()), identifier);
}

QTEST_APPLESS_MAIN(TestToolsBytes)

#include "tst_tools_bytes.moc"
