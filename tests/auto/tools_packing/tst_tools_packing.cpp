#include "RecordPacking.h"

#include <QtTest>

#include <cstring>

using namespace DriverTools;

namespace {

const char Fill = char(0xEE);
const int BufferSize = 32;

// Packs into a prefilled buffer with up to four integer arguments (unused ones are ignored).
int packInts(QByteArray &buffer, const QByteArray &format, const QList<int> &values)
{
    const QList<int> v = values + QList<int>{0, 0, 0, 0};
    buffer = QByteArray(BufferSize, Fill);
    return packToBuffer(buffer.data(), format.constData(), v[0], v[1], v[2], v[3]);
}

// The way a driver wraps the packer in its own variadic helper.
int packWithPrefix(char *out, int outSize, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = packToBufferV(out, outSize, format, args);
    va_end(args);
    return written;
}

QByteArray wordBytes(const QList<quint16> &words)
{
    QByteArray bytes(words.size() * 2, '\0');
    for (int i = 0; i < words.size(); ++i)
        std::memcpy(bytes.data() + 2 * i, &words[i], 2);
    return bytes;
}

QByteArray doubleWordBytes(const QList<quint32> &words)
{
    QByteArray bytes(words.size() * 4, '\0');
    for (int i = 0; i < words.size(); ++i)
        std::memcpy(bytes.data() + 4 * i, &words[i], 4);
    return bytes;
}

} // namespace

class TestToolsPacking : public QObject
{
    Q_OBJECT

private slots:
    void packSingleCodes_data();
    void packSingleCodes();
    void packRepeatForms_data();
    void packRepeatForms();
    void boundedPackNeverOverruns_data();
    void boundedPackNeverOverruns();
    void hugeCountsAreRejectedBeforeAnyCopy_data();
    void hugeCountsAreRejectedBeforeAnyCopy();
    void packIntoByteArray_data();
    void packIntoByteArray();
    void collectedArgumentsForward();
    void unpackSingleCodes_data();
    void unpackSingleCodes();
    void unpackSkips_data();
    void unpackSkips();
    void unpackRepeatForms_data();
    void unpackRepeatForms();
    void unpackErrors_data();
    void unpackErrors();
    void roundTrip_data();
    void roundTrip();
};

void TestToolsPacking::packSingleCodes_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("answer");
    const QList<int> none;
    QTest::newRow("C low byte") << QByteArray("C") << QList<int>{0x1234} << QByteArray("\x34") << 1;
    QTest::newRow("c negative") << QByteArray("c") << QList<int>{-1} << QByteArray("\xFF") << 1;
    for (const char *code : {"I", "L", "V", "i", "l"})
        QTest::newRow(qPrintable(QStringLiteral("%1 LE").arg(QLatin1String(code))))
            << QByteArray(code) << QList<int>{0x12345678} << QByteArray("\x78\x56\x34\x12") << 4;
    QTest::newRow("N BE") << QByteArray("N") << QList<int>{0x12345678}
                          << QByteArray("\x12\x34\x56\x78") << 4;
    for (const char *code : {"S", "s", "v"})
        QTest::newRow(qPrintable(QStringLiteral("%1 LE").arg(QLatin1String(code))))
            << QByteArray(code) << QList<int>{0x1234} << QByteArray("\x34\x12") << 2;
    QTest::newRow("n BE") << QByteArray("n") << QList<int>{0xAB1234} << QByteArray("\x12\x34") << 2;
    QTest::newRow("nN") << QByteArray("nN") << QList<int>{0x1234, 1}
                        << QByteArray("\x12\x34\x00\x00\x00\x01", 6) << 6;
    QTest::newRow("x takes no argument")
        << QByteArray("xC") << QList<int>{5} << QByteArray("\x00\x05", 2) << 2;
    QTest::newRow("X skips unwritten")
        << QByteArray("CXC") << QList<int>{1, 2} << QByteArray("\x01\xEE\x02") << 3;
    QTest::newRow("2x") << QByteArray("2x") << none << QByteArray("\x00\x00", 2) << 2;
    QTest::newRow("0x writes nothing")
        << QByteArray("0xC") << QList<int>{7} << QByteArray("\x07") << 1;
    QTest::newRow("3X skips") << QByteArray("3XC") << QList<int>{9}
                              << QByteArray("\xEE\xEE\xEE\x09") << 4;
    QTest::newRow("empty format") << QByteArray("") << none << QByteArray() << 0;
    QTest::newRow("unknown single code") << QByteArray("q") << none << QByteArray() << 0;
    QTest::newRow("unknown code after a value")
        << QByteArray("Cq") << QList<int>{3} << QByteArray("\x03") << 0;
    QTest::newRow("unknown repeat code") << QByteArray("2q") << none << QByteArray() << -1;
    QTest::newRow("count at the end")
        << QByteArray("C12") << QList<int>{3} << QByteArray("\x03") << -1;
    QTest::newRow("zero count with argument") << QByteArray("0C") << none << QByteArray() << -1;
    QTest::newRow("count beyond int") << QByteArray("99999999999x") << none << QByteArray() << -1;
    QTest::newRow("count just beyond int")
        << QByteArray("2147483648X") << none << QByteArray() << -1;
}

void TestToolsPacking::packSingleCodes()
{
    QFETCH(QByteArray, format);
    QFETCH(QList<int>, values);
    QFETCH(QByteArray, expected);
    QFETCH(int, answer);
    QByteArray buffer;
    QCOMPARE(packInts(buffer, format, values), answer);
    QCOMPARE(buffer.left(expected.size()), expected);
    QCOMPARE(buffer.mid(expected.size()), QByteArray(BufferSize - expected.size(), Fill));
}

void TestToolsPacking::packRepeatForms_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("3C") << QByteArray("3C") << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("2c") << QByteArray("2c") << QByteArray("xyz") << QByteArray("xy");
    QTest::newRow("2N reverses") << QByteArray("2N") << doubleWordBytes({0x01020304, 0xA0B0C0D0})
                                 << QByteArray("\x01\x02\x03\x04\xA0\xB0\xC0\xD0");
    QTest::newRow("2V keeps LE") << QByteArray("2V") << doubleWordBytes({0x01020304, 0xA0B0C0D0})
                                 << QByteArray("\x04\x03\x02\x01\xD0\xC0\xB0\xA0");
    QTest::newRow("2n exchanges") << QByteArray("2n") << wordBytes({0x0102, 0xA0B0})
                                  << QByteArray("\x01\x02\xA0\xB0");
    QTest::newRow("2v keeps LE") << QByteArray("2v") << wordBytes({0x0102, 0xA0B0})
                                 << QByteArray("\x02\x01\xB0\xA0");
    QTest::newRow("count of 10") << QByteArray("10C") << QByteArray("0123456789ABC")
                                 << QByteArray("0123456789");
}

void TestToolsPacking::packRepeatForms()
{
    QFETCH(QByteArray, format);
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, expected);
    QByteArray buffer(BufferSize, Fill);
    QCOMPARE(packToBuffer(buffer.data(), format.constData(), source.constData()), expected.size());
    QCOMPARE(buffer.left(expected.size()), expected);
    QCOMPARE(buffer.mid(expected.size()), QByteArray(BufferSize - expected.size(), Fill));

    // Mixed with single codes, the pointer takes exactly one argument slot.
    buffer.fill(Fill);
    const QByteArray mixed = "C" + format + "C";
    QCOMPARE(packToBuffer(buffer.data(), mixed.constData(), 7, source.constData(), 9),
             expected.size() + 2);
    QCOMPARE(buffer.left(expected.size() + 2), "\x07" + expected + "\x09");

    QCOMPARE(packToBuffer(buffer.data(), format.constData(), static_cast<const char *>(nullptr)),
             -1);
    QVERIFY(packToByteArray(format.constData(), static_cast<const char *>(nullptr)).isEmpty());
}

void TestToolsPacking::boundedPackNeverOverruns_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("answer");
    QTest::newRow("I fits") << QByteArray("I") << 4 << 4;
    QTest::newRow("I one short") << QByteArray("I") << 3 << -1;
    QTest::newRow("CC one short") << QByteArray("CC") << 1 << -1;
    QTest::newRow("n in nothing") << QByteArray("n") << 0 << -1;
    QTest::newRow("4C fits") << QByteArray("4C") << 4 << 4;
    QTest::newRow("5C short") << QByteArray("5C") << 4 << -1;
    QTest::newRow("2N short") << QByteArray("2N") << 7 << -1;
    QTest::newRow("4x short") << QByteArray("4x") << 3 << -1;
    QTest::newRow("X past the end") << QByteArray("X") << 0 << -1;
    QTest::newRow("3X past the end") << QByteArray("C3X") << 3 << -1;
    QTest::newRow("largest count") << QByteArray("2147483647C") << 8 << -1;
    QTest::newRow("largest skip") << QByteArray("2147483647x") << 8 << -1;
    QTest::newRow("negative size") << QByteArray("C") << -1 << -1;
    QTest::newRow("empty format in nothing") << QByteArray("") << 0 << 0;
}

void TestToolsPacking::boundedPackNeverOverruns()
{
    QFETCH(QByteArray, format);
    QFETCH(int, size);
    QFETCH(int, answer);
    const char source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    QByteArray buffer(BufferSize, Fill);
    const bool repeat = !format.isEmpty() && format.at(0) >= '0' && format.at(0) <= '9' &&
                        !format.endsWith('x') && !format.endsWith('X');
    const int written =
        repeat ? packToBuffer(buffer.data(), size, format.constData(), source)
               : packToBuffer(buffer.data(), size, format.constData(), 0x11223344, 0x55667788);
    QCOMPARE(written, answer);
    const int used = qMax(size, 0);
    QCOMPARE(buffer.mid(used), QByteArray(BufferSize - used, Fill));
}

void TestToolsPacking::hugeCountsAreRejectedBeforeAnyCopy_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("words beyond int") << QByteArray("1073741824v");
    QTest::newRow("double words beyond int") << QByteArray("536870912N");
    QTest::newRow("after other bytes") << QByteArray("x2147483647C");
    QTest::newRow("count overflow") << QByteArray("18446744073709551617C");
}

void TestToolsPacking::hugeCountsAreRejectedBeforeAnyCopy()
{
    // The unbounded forms trust the buffers for records that exist, but a record longer than an
    // int can count is refused before a byte of the (small) source is read.
    QFETCH(QByteArray, format);
    char source[4] = {1, 2, 3, 4};
    char out[4] = {0, 0, 0, 0};
    QCOMPARE(packToBuffer(out, format.constData(), source), -1);
    QVERIFY(packToByteArray(format.constData(), source).isEmpty());
    QCOMPARE(unpackFromBuffer(source, format.constData(), out), -1);
}

void TestToolsPacking::packIntoByteArray_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("nN") << QByteArray("nN") << QByteArray("\x12\x34\x00\x00\x00\x01", 6);
    QTest::newRow("x") << QByteArray("xC") << QByteArray("\x00\x34", 2);
    QTest::newRow("X grows by a zero byte") << QByteArray("XC") << QByteArray("\x00\x34", 2);
    QTest::newRow("2x is an error") << QByteArray("2x") << QByteArray();
    QTest::newRow("2X is an error") << QByteArray("C2X") << QByteArray();
    QTest::newRow("unknown code") << QByteArray("Cq") << QByteArray();
    QTest::newRow("zero count") << QByteArray("0C") << QByteArray();
    QTest::newRow("empty") << QByteArray("") << QByteArray();
}

void TestToolsPacking::packIntoByteArray()
{
    QFETCH(QByteArray, format);
    QFETCH(QByteArray, expected);
    QCOMPARE(DriverTools::packToByteArray(format.constData(), 0x1234, 1), expected);
    QCOMPARE(DriverTools::packToByteArray(nullptr), QByteArray());
}

void TestToolsPacking::collectedArgumentsForward()
{
    char out[8];
    std::memset(out, 0, sizeof out);
    QCOMPARE(packWithPrefix(out, 8, "CnC", 0x41, 0x4243, 0x44), 4);
    QCOMPARE(QByteArray(out, 4), QByteArray("ABCD"));
    QCOMPARE(packWithPrefix(out, 3, "CnC", 0x41, 0x4243, 0x44), -1);
    QCOMPARE(packWithPrefix(nullptr, 8, "C", 1), -1);
}

void TestToolsPacking::unpackSingleCodes_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<quint32>("value");
    const QByteArray in("\x12\x34\x56\x78");
    for (const char *code : {"C", "c"})
        QTest::newRow(code) << QByteArray(code) << 1 << 0x12u;
    for (const char *code : {"I", "L", "V", "i", "l"})
        QTest::newRow(code) << QByteArray(code) << 4 << 0x78563412u;
    QTest::newRow("N") << QByteArray("N") << 4 << 0x12345678u;
    for (const char *code : {"S", "s", "v"})
        QTest::newRow(code) << QByteArray(code) << 2 << 0x3412u;
    QTest::newRow("n") << QByteArray("n") << 2 << 0x1234u;
}

void TestToolsPacking::unpackSingleCodes()
{
    QFETCH(QByteArray, format);
    QFETCH(int, width);
    QFETCH(quint32, value);
    const QByteArray in("\x12\x34\x56\x78");
    quint8 byte = 0;
    quint16 word = 0;
    quint32 doubleWord = 0;
    void *target = width == 1   ? static_cast<void *>(&byte)
                   : width == 2 ? static_cast<void *>(&word)
                                : &doubleWord;
    QCOMPARE(unpackFromBuffer(in.constData(), format.constData(), target), width);
    QCOMPARE(width == 1 ? byte : width == 2 ? word : doubleWord, value);
    QCOMPARE(unpackFromBuffer(in.constData(), width - 1, format.constData(), target), -1);
    QCOMPARE(unpackFromBuffer(in.constData(), width, format.constData(), target), width);
}

void TestToolsPacking::unpackSkips_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("answer");
    QTest::addColumn<quint8>("value");
    QTest::newRow("x") << QByteArray("xC") << 2 << quint8(0xB);
    QTest::newRow("X") << QByteArray("XC") << 2 << quint8(0xB);
    QTest::newRow("3x") << QByteArray("3xC") << 4 << quint8(0xD);
    QTest::newRow("3X") << QByteArray("3XC") << 4 << quint8(0xD);
    QTest::newRow("0x") << QByteArray("0xC") << 1 << quint8(0xA);
}

void TestToolsPacking::unpackSkips()
{
    QFETCH(QByteArray, format);
    QFETCH(int, answer);
    QFETCH(quint8, value);
    const char in[] = {0xA, 0xB, 0xC, 0xD, 0xE};
    quint8 byte = 0;
    QCOMPARE(unpackFromBuffer(in, format.constData(), &byte), answer);
    QCOMPARE(byte, value);
}

void TestToolsPacking::unpackRepeatForms_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("memory");
    QTest::newRow("3C") << QByteArray("3C") << QByteArray("abcd") << QByteArray("abc");
    QTest::newRow("2N") << QByteArray("2N") << QByteArray("\x01\x02\x03\x04\xA0\xB0\xC0\xD0")
                        << doubleWordBytes({0x01020304, 0xA0B0C0D0});
    QTest::newRow("2V") << QByteArray("2V") << QByteArray("\x04\x03\x02\x01\xD0\xC0\xB0\xA0")
                        << doubleWordBytes({0x01020304, 0xA0B0C0D0});
    QTest::newRow("2n") << QByteArray("2n") << QByteArray("\x01\x02\xA0\xB0")
                        << wordBytes({0x0102, 0xA0B0});
    QTest::newRow("2v") << QByteArray("2v") << QByteArray("\x02\x01\xB0\xA0")
                        << wordBytes({0x0102, 0xA0B0});
}

void TestToolsPacking::unpackRepeatForms()
{
    QFETCH(QByteArray, format);
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, memory);
    QByteArray out(BufferSize, Fill);
    QCOMPARE(unpackFromBuffer(in.constData(), format.constData(), out.data()), memory.size());
    QCOMPARE(out.left(memory.size()), memory);
    QCOMPARE(out.mid(memory.size()), QByteArray(BufferSize - memory.size(), Fill));
    out.fill(Fill);
    QCOMPARE(unpackFromBuffer(in.constData(), memory.size() - 1, format.constData(), out.data()),
             -1);
}

void TestToolsPacking::unpackErrors_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("answer");
    QTest::newRow("zero count") << QByteArray("0C") << 8 << -1;
    QTest::newRow("unknown single code") << QByteArray("q") << 8 << -1;
    QTest::newRow("unknown repeat code") << QByteArray("2q") << 8 << -1;
    QTest::newRow("count at the end") << QByteArray("C5") << 8 << -1;
    QTest::newRow("count overflow") << QByteArray("4294967296C") << 8 << -1;
    QTest::newRow("skip past the end") << QByteArray("9x") << 8 << -1;
    QTest::newRow("skip to the end") << QByteArray("8x") << 8 << 8;
    QTest::newRow("negative size") << QByteArray("x") << -2 << -1;
    QTest::newRow("empty format") << QByteArray("") << 8 << 0;
}

void TestToolsPacking::unpackErrors()
{
    QFETCH(QByteArray, format);
    QFETCH(int, size);
    QFETCH(int, answer);
    const char in[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    char out[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    QCOMPARE(unpackFromBuffer(in, size, format.constData(), out), answer);
    if (answer < 0 && !format.startsWith('C'))
        QCOMPARE(QByteArray(out, 8), QByteArray(8, '\0'));
    QCOMPARE(unpackFromBuffer(in, "C", static_cast<quint8 *>(nullptr)), -1);
    QCOMPARE(unpackFromBuffer(nullptr, "C", out), -1);
    QCOMPARE(unpackFromBuffer(in, nullptr), -1);
}

void TestToolsPacking::roundTrip_data()
{
    QTest::addColumn<quint8>("byte");
    QTest::addColumn<quint16>("word");
    QTest::addColumn<quint32>("doubleWord");
    QTest::addColumn<QByteArray>("block");
    QTest::newRow("small") << quint8(1) << quint16(2) << 3u << QByteArray("abc");
    QTest::newRow("high bits") << quint8(0xFF) << quint16(0x8001) << 0x80000001u
                               << QByteArray("\xFF\x00\x80", 3);
    QTest::newRow("zeros") << quint8(0) << quint16(0) << 0u << QByteArray(3, '\0');
}

void TestToolsPacking::roundTrip()
{
    QFETCH(quint8, byte);
    QFETCH(quint16, word);
    QFETCH(quint32, doubleWord);
    QFETCH(QByteArray, block);
    const quint32 words[2] = {doubleWord, ~doubleWord};
    const char *format = "CxSnINV3C2Nv";
    char buffer[64];
    const int written =
        packToBuffer(buffer, int(sizeof buffer), format, byte, word, word, doubleWord, doubleWord,
                     doubleWord, block.constData(), words, word);
    QCOMPARE(written, 1 + 1 + 2 + 2 + 4 + 4 + 4 + 3 + 8 + 2);
    QCOMPARE(DriverTools::packToByteArray(format, byte, word, word, doubleWord, doubleWord,
                                          doubleWord, block.constData(), words, word),
             QByteArray(buffer, written));

    quint8 b = 0;
    quint16 s = 0, n = 0, v = 0;
    quint32 i = 0, bigEndian = 0, le = 0, backWords[2] = {0, 0};
    char backBlock[3] = {0, 0, 0};
    QCOMPARE(unpackFromBuffer(buffer, written, format, &b, &s, &n, &i, &bigEndian, &le, backBlock,
                              backWords, &v),
             written);
    QCOMPARE(b, byte);
    QCOMPARE(s, word);
    QCOMPARE(n, word);
    QCOMPARE(v, word);
    QCOMPARE(i, doubleWord);
    QCOMPARE(bigEndian, doubleWord);
    QCOMPARE(le, doubleWord);
    QCOMPARE(QByteArray(backBlock, 3), block);
    QCOMPARE(backWords[0], words[0]);
    QCOMPARE(backWords[1], words[1]);
}

QTEST_APPLESS_MAIN(TestToolsPacking)

#include "tst_tools_packing.moc"
