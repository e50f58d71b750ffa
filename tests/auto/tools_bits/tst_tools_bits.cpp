#include "BitString.h"

#include <QtTest>

#include <limits>

using namespace DriverTools;

class TestToolsBits : public QObject
{
    Q_OBJECT

private slots:
    void bitAt_data();
    void bitAt();
    void setBitGrows_data();
    void setBitGrows();
    void setBitInBuffer();
    void copyBits_data();
    void copyBits();
    void bitsToBytes_data();
    void bitsToBytes();
    void resizeForBits_data();
    void resizeForBits();
    void clearBitsAbove_data();
    void clearBitsAbove();
    void shiftBitsDown_data();
    void shiftBitsDown();
    void unitCounts_data();
    void unitCounts();
    void roundedUpFractions_data();
    void roundedUpFractions();
};

void TestToolsBits::bitAt_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("bit");
    // 0xA5 = 1010 0101, 0x01
    QTest::newRow("bit 0") << 0 << 1;
    QTest::newRow("bit 1") << 1 << 0;
    QTest::newRow("bit 7") << 7 << 1;
    QTest::newRow("bit 8") << 8 << 1;
    QTest::newRow("last bit") << 15 << 0;
    QTest::newRow("beyond the end") << 16 << 0;
    QTest::newRow("negative") << -1 << 0;
}

void TestToolsBits::bitAt()
{
    QFETCH(int, index);
    QFETCH(int, bit);
    const QByteArray bytes("\xA5\x01", 2);
    QCOMPARE(DriverTools::bitAt(bytes, index), bit);
    if (index >= 0 && index < 16)
        QCOMPARE(DriverTools::bitAt(bytes.constData(), index), bit);
}

void TestToolsBits::setBitGrows_data()
{
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("set inside") << QByteArray("\x00", 1) << 3 << true << QByteArray("\x08", 1);
    QTest::newRow("clear inside") << QByteArray("\xFF", 1) << 7 << false << QByteArray("\x7F", 1);
    QTest::newRow("grow by two") << QByteArray("\x01", 1) << 17 << true
                                 << QByteArray("\x01\x00\x02", 3);
    QTest::newRow("grow on clear") << QByteArray() << 8 << false << QByteArray("\x00\x00", 2);
    QTest::newRow("negative ignored")
        << QByteArray("\x01", 1) << -3 << true << QByteArray("\x01", 1);
}

void TestToolsBits::setBitGrows()
{
    QFETCH(QByteArray, initial);
    QFETCH(int, index);
    QFETCH(bool, on);
    QFETCH(QByteArray, expected);
    DriverTools::setBit(initial, index, on);
    QCOMPARE(initial, expected);
}

void TestToolsBits::setBitInBuffer()
{
    char buffer[2] = {0, 0};
    DriverTools::setBit(buffer, 9, true);
    DriverTools::setBit(buffer, 0, true);
    QCOMPARE(QByteArray(buffer, 2), QByteArray("\x01\x02", 2));
    DriverTools::setBit(buffer, 0, false);
    DriverTools::setBit(buffer, -1, true);
    QCOMPARE(QByteArray(buffer, 2), QByteArray("\x00\x02", 2));
    DriverTools::setBit(static_cast<char *>(nullptr), 3, true); // must not crash
    QCOMPARE(DriverTools::bitAt(static_cast<const char *>(nullptr), 3), 0);
}

void TestToolsBits::copyBits_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("start");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("aligned") << QByteArray("\x00\x00", 2) << 8 << QByteArray("\xAB", 1) << 8
                             << QByteArray("\x00\xAB", 2);
    QTest::newRow("across a byte") << QByteArray("\x00\x00", 2) << 6 << QByteArray("\x0F", 1) << 4
                                   << QByteArray("\xC0\x03", 2);
    QTest::newRow("clears bits") << QByteArray("\xFF", 1) << 2 << QByteArray("\x00", 1) << 3
                                 << QByteArray("\xE3", 1);
    QTest::newRow("target grows") << QByteArray() << 4 << QByteArray("\x03", 1) << 2
                                  << QByteArray("\x30", 1);
    QTest::newRow("short source reads zeros")
        << QByteArray("\xFF\xFF", 2) << 4 << QByteArray("\x01", 1) << 12
        << QByteArray("\x1F\x00", 2);
    QTest::newRow("negative count")
        << QByteArray("\xFF", 1) << 0 << QByteArray("\x00", 1) << -1 << QByteArray("\xFF", 1);
    QTest::newRow("negative start")
        << QByteArray("\xFF", 1) << -2 << QByteArray("\x00", 1) << 4 << QByteArray("\xFF", 1);
    QTest::newRow("end past the int range")
        << QByteArray("\xFF", 1) << std::numeric_limits<int>::max() << QByteArray("\x00", 1) << 2
        << QByteArray("\xFF", 1);
}

void TestToolsBits::copyBits()
{
    QFETCH(QByteArray, target);
    QFETCH(int, start);
    QFETCH(QByteArray, source);
    QFETCH(int, n);
    QFETCH(QByteArray, expected);
    DriverTools::copyBits(target, start, source, n);
    QCOMPARE(target, expected);
}

void TestToolsBits::bitsToBytes_data()
{
    QTest::addColumn<quint16>("start");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("expected");
    // bytes 0x05 0x80: bits 0 and 2, and bit 15
    QTest::newRow("first four") << quint16(0) << 4 << QByteArray("\x01\x00\x01\x00", 4);
    QTest::newRow("from 14") << quint16(14) << 2 << QByteArray("\x00\x01", 2);
    QTest::newRow("past the end") << quint16(15) << 3 << QByteArray("\x01\x00\x00", 3);
    QTest::newRow("start beyond") << quint16(65535) << 2 << QByteArray("\x00\x00", 2);
    QTest::newRow("none") << quint16(0) << 0 << QByteArray();
    QTest::newRow("negative") << quint16(0) << -5 << QByteArray();
}

void TestToolsBits::bitsToBytes()
{
    QFETCH(quint16, start);
    QFETCH(int, n);
    QFETCH(QByteArray, expected);
    QCOMPARE(DriverTools::bitsToBytes(QByteArray("\x05\x80", 2), start, n), expected);
}

void TestToolsBits::resizeForBits_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("size");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("8") << 8 << 1;
    QTest::newRow("9") << 9 << 2;
    QTest::newRow("negative") << -8 << 0;
}

void TestToolsBits::resizeForBits()
{
    QFETCH(int, n);
    QFETCH(int, size);
    QByteArray bytes("\x11\x22\x33", 3);
    DriverTools::resizeForBits(bytes, n);
    QCOMPARE(bytes.size(), size);
    QCOMPARE(bytes, QByteArray("\x11\x22\x33", 3).left(size));
}

void TestToolsBits::clearBitsAbove_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("within second byte") << 11 << QByteArray("\xFF\x07\xFF", 3);
    QTest::newRow("within first byte") << 1 << QByteArray("\x01\xFF\xFF", 3);
    QTest::newRow("multiple of 8") << 16 << QByteArray("\xFF\xFF\xFF", 3);
    QTest::newRow("byte beyond the end") << 27 << QByteArray("\xFF\xFF\xFF", 3);
    QTest::newRow("negative") << -3 << QByteArray("\xFF\xFF\xFF", 3);
}

void TestToolsBits::clearBitsAbove()
{
    QFETCH(int, n);
    QFETCH(QByteArray, expected);
    QByteArray bytes("\xFF\xFF\xFF", 3);
    DriverTools::clearBitsAbove(bytes, n);
    QCOMPARE(bytes, expected);
}

void TestToolsBits::shiftBitsDown_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("by 3 carries between bytes")
        << QByteArray("\xFF\x81", 2) << 3 << QByteArray("\x3F\x10", 2);
    QTest::newRow("by 7") << QByteArray("\x80\x01", 2) << 7 << QByteArray("\x03\x00", 2);
    QTest::newRow("by 4 three bytes")
        << QByteArray("\x21\x43\x65", 3) << 4 << QByteArray("\x32\x54\x06", 3);
    QTest::newRow("by 8 rotates") << QByteArray("ABC") << 8 << QByteArray("BCA");
    // rotated to F0 0F 01, then only F0 0F shift by 3: 0x0FF0 >> 3 = 0x01FE
    QTest::newRow("by 11 leaves moved byte")
        << QByteArray("\x01\xF0\x0F", 3) << 11 << QByteArray("\xFE\x01\x01", 3);
    QTest::newRow("by 9 top bit of the prefix clears")
        << QByteArray("\xFF\xFF\xFF", 3) << 9 << QByteArray("\xFF\x7F\xFF", 3);
    QTest::newRow("places reach the length") << QByteArray("AB") << 16 << QByteArray("AB");
    QTest::newRow("zero") << QByteArray("\x81", 1) << 0 << QByteArray("\x81", 1);
    QTest::newRow("negative") << QByteArray("\x81", 1) << -2 << QByteArray("\x81", 1);
    QTest::newRow("empty") << QByteArray() << 5 << QByteArray();
}

void TestToolsBits::shiftBitsDown()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, n);
    QFETCH(QByteArray, expected);
    DriverTools::shiftBitsDown(bytes, n);
    QCOMPARE(bytes, expected);
}

void TestToolsBits::unitCounts_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("words");
    QTest::addColumn<int>("doubleWords");
    QTest::addColumn<int>("bytes");
    QTest::newRow("nothing") << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("one bit") << 0 << 1 << 1 << 1 << 1;
    QTest::newRow("exact") << 8 << 24 << 2 << 1 << 4;
    QTest::newRow("one over") << 16 << 17 << 3 << 2 << 5;
    QTest::newRow("negative sum") << -10 << 2 << 0 << 0 << 0;
    QTest::newRow("sum beyond int")
        << std::numeric_limits<int>::max() << 1 << 134217728 << 67108864 << 268435456;
}

void TestToolsBits::unitCounts()
{
    QFETCH(int, start);
    QFETCH(int, n);
    QFETCH(int, words);
    QFETCH(int, doubleWords);
    QFETCH(int, bytes);
    QCOMPARE(wordsForBits(start, n), words);
    QCOMPARE(doubleWordsForBits(start, n), doubleWords);
    QCOMPARE(bytesForBits(start, n), bytes);
}

void TestToolsBits::roundedUpFractions_data()
{
    QTest::addColumn<quint32>("n");
    QTest::addColumn<quint32>("half");
    QTest::addColumn<quint32>("quarter");
    QTest::addColumn<quint32>("eighth");
    QTest::newRow("0") << 0u << 0u << 0u << 0u;
    QTest::newRow("1") << 1u << 1u << 1u << 1u;
    QTest::newRow("8") << 8u << 4u << 2u << 1u;
    QTest::newRow("9") << 9u << 5u << 3u << 2u;
    QTest::newRow("largest") << 0xFFFFFFFFu << 0x80000000u << 0x40000000u << 0x20000000u;
}

void TestToolsBits::roundedUpFractions()
{
    QFETCH(quint32, n);
    QFETCH(quint32, half);
    QFETCH(quint32, quarter);
    QFETCH(quint32, eighth);
    QCOMPARE(halfRoundedUp(n), half);
    QCOMPARE(quarterRoundedUp(n), quarter);
    QCOMPARE(eighthRoundedUp(n), eighth);
}

QTEST_APPLESS_MAIN(TestToolsBits)

#include "tst_tools_bits.moc"
