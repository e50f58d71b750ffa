#include "ByteOrder.h"
#include "TagCommands.h"
#include "TextNumbers.h"

#include <QtTest>

#include <limits>

using namespace DriverTools;

class TestToolsBytes : public QObject
{
    Q_OBJECT

private slots:
    void toInt32LE_data();
    void toInt32LE();
    void toInt16LE_data();
    void toInt16LE();
    void fromIntegers();
    void appendInt16BEAppends();
    void fromBuffer_data();
    void fromBuffer();
    void swapping_data();
    void swapping();
    void padding_data();
    void padding();
    void commandTypes();
    void valueIsOn_data();
    void valueIsOn();
    void commandByteLength_data();
    void commandByteLength();
    void fitToCommand_data();
    void fitToCommand();
    void leadingIdentifier_data();
    void leadingIdentifier();
    void addressNumber_data();
    void addressNumber();
    void parseHex_data();
    void parseHex();
    void hexDump_data();
    void hexDump();
};

void TestToolsBytes::toInt32LE_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint32>("value");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("one byte") << QByteArray("\xFE", 1) << 0xFE;
    QTest::newRow("three bytes") << QByteArray("\x01\x02\x83", 3) << 0x830201;
    QTest::newRow("minus one") << QByteArray("\xFF\xFF\xFF\xFF", 4) << -1;
    QTest::newRow("lowest") << QByteArray("\x00\x00\x00\x80", 4)
                            << std::numeric_limits<qint32>::min();
    QTest::newRow("extra bytes ignored") << QByteArray("\x78\x56\x34\x12\x99", 5) << 0x12345678;
}

void TestToolsBytes::toInt32LE()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint32, value);
    QCOMPARE(DriverTools::toInt32LE(bytes), value);
}

void TestToolsBytes::toInt16LE_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint32>("value");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("one byte unsigned") << QByteArray("\xFF", 1) << 255;
    QTest::newRow("lowest") << QByteArray("\x00\x80", 2) << -32768;
    QTest::newRow("minus two") << QByteArray("\xFE\xFF", 2) << -2;
    QTest::newRow("positive") << QByteArray("\x34\x12\x77", 3) << 0x1234;
}

void TestToolsBytes::toInt16LE()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint32, value);
    QCOMPARE(DriverTools::toInt16LE(bytes), value);
}

void TestToolsBytes::fromIntegers()
{
    QCOMPARE(fromInt16LE(0x1234), QByteArray("\x34\x12", 2));
    QCOMPARE(fromInt16LE(quint16(qint16(-2))), QByteArray("\xFE\xFF", 2));
    QCOMPARE(fromInt32LE(0x12345678u), QByteArray("\x78\x56\x34\x12", 4));
    QCOMPARE(fromInt32LE(quint32(-1)), QByteArray("\xFF\xFF\xFF\xFF", 4));
    QCOMPARE(DriverTools::toInt32LE(fromInt32LE(quint32(-123456))), -123456);
    QCOMPARE(DriverTools::toInt16LE(fromInt16LE(quint16(-300))), -300);
}

void TestToolsBytes::appendInt16BEAppends()
{
    QByteArray bytes("A");
    appendInt16BE(bytes, 0xABCD);
    QCOMPARE(bytes, QByteArray("A\xAB\xCD", 3));
}

void TestToolsBytes::fromBuffer_data()
{
    QTest::addColumn<bool>("doubleWords");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("words") << false << 2 << QByteArray("\x02\x01\x04\x03", 4);
    QTest::newRow("one word of many") << false << 1 << QByteArray("\x02\x01", 2);
    QTest::newRow("double words") << true << 2 << QByteArray("\x04\x03\x02\x01\x08\x07\x06\x05", 8);
    QTest::newRow("zero words") << false << 0 << QByteArray();
    QTest::newRow("negative count") << true << -3 << QByteArray();
    QTest::newRow("count too large for an int")
        << true << std::numeric_limits<int>::max() / 2 << QByteArray();
}

void TestToolsBytes::fromBuffer()
{
    QFETCH(bool, doubleWords);
    QFETCH(int, n);
    QFETCH(QByteArray, expected);
    const char data[] = "\x01\x02\x03\x04\x05\x06\x07\x08";
    QCOMPARE(doubleWords ? doubleWordsFromBuffer(data, n) : wordsFromBuffer(data, n), expected);
    QVERIFY(wordsFromBuffer(nullptr, 1).isEmpty());
}

void TestToolsBytes::swapping_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("swapWords") << "swapWords" << QByteArray("ABCD") << QByteArray("BADC");
    QTest::newRow("swapWords odd keeps last")
        << "swapWords" << QByteArray("ABC") << QByteArray("BAC");
    QTest::newRow("swapWords empty") << "swapWords" << QByteArray() << QByteArray();
    QTest::newRow("swapDoubleWords")
        << "swapDoubleWords" << QByteArray("ABCDEFGH") << QByteArray("DCBAHGFE");
    QTest::newRow("swapDoubleWords tail kept")
        << "swapDoubleWords" << QByteArray("ABCDEF") << QByteArray("DCBAEF");
    QTest::newRow("swapWordsPadded odd")
        << "swapWordsPadded" << QByteArray("ABC") << QByteArray("BA\0C", 4);
    QTest::newRow("swapWordsPadded even")
        << "swapWordsPadded" << QByteArray("ABCD") << QByteArray("BADC");
    QTest::newRow("swapDoubleWordsPadded")
        << "swapDoubleWordsPadded" << QByteArray("ABCDEF") << QByteArray("DCBA\0\0FE", 8);
    QTest::newRow("reverseBytes") << "reverseBytes" << QByteArray("ABCDE") << QByteArray("EDCBA");
}

void TestToolsBytes::swapping()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QByteArray result;
    if (operation == QLatin1String("swapWords")) {
        result = input;
        swapWords(result);
    } else if (operation == QLatin1String("swapDoubleWords")) {
        result = input;
        swapDoubleWords(result);
    } else if (operation == QLatin1String("swapWordsPadded")) {
        result = swapWordsPadded(input);
    } else if (operation == QLatin1String("swapDoubleWordsPadded")) {
        result = swapDoubleWordsPadded(input);
    } else {
        result = reverseBytes(input);
    }
    QCOMPARE(result, expected);
}

void TestToolsBytes::padding_data()
{
    QTest::addColumn<int>("multiple");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("even of odd") << 2 << QByteArray("abc") << QByteArray("abc\0", 4);
    QTest::newRow("even of even") << 2 << QByteArray("ab") << QByteArray("ab");
    QTest::newRow("four of five") << 4 << QByteArray("abcde") << QByteArray("abcde\0\0\0", 8);
    QTest::newRow("eight of five") << 8 << QByteArray("abcde") << QByteArray("abcde\0\0\0", 8);
    QTest::newRow("eight of eight") << 8 << QByteArray("abcdefgh") << QByteArray("abcdefgh");
    QTest::newRow("eight of empty") << 8 << QByteArray() << QByteArray();
}

void TestToolsBytes::padding()
{
    QFETCH(int, multiple);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    const QByteArray result = multiple == 2   ? padToEven(input)
                              : multiple == 4 ? padToFour(input)
                                              : padToEight(input);
    QCOMPARE(result, expected);
}

void TestToolsBytes::commandTypes()
{
    CommunicatorCommand command;
    const QList<int> codes = {0, 1, 2, 3, 4, 5, 6, -1};
    for (int code : codes) {
        command.dataType = code;
        QCOMPARE(isType0(command), code == 0);
        QCOMPARE(isType1(command), code == 1);
        QCOMPARE(isType2(command), code == 2);
        QCOMPARE(isType3(command), code == 3);
        QCOMPARE(isType5(command), code == 5);
    }
}

void TestToolsBytes::valueIsOn_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("on");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("one") << QByteArray("\x01", 1) << 1;
    QTest::newRow("two") << QByteArray("\x02", 1) << 0;
    QTest::newRow("0xFF") << QByteArray("\xFF", 1) << 1;
    QTest::newRow("later bytes ignored") << QByteArray("\x00\x01", 2) << 0;
}

void TestToolsBytes::valueIsOn()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, on);
    QCOMPARE(DriverTools::valueIsOn(bytes), on);
}

void TestToolsBytes::commandByteLength_data()
{
    QTest::addColumn<int>("dataType");
    QTest::addColumn<quint64>("count");
    QTest::addColumn<qint32>("length");
    QTest::newRow("bits 0") << 0 << quint64(0) << 0;
    QTest::newRow("bits 8") << 0 << quint64(8) << 1;
    QTest::newRow("bits 9") << 0 << quint64(9) << 2;
    QTest::newRow("type 6 bits 17") << 6 << quint64(17) << 3;
    QTest::newRow("bytes") << 1 << quint64(7) << 7;
    QTest::newRow("type 5") << 5 << quint64(3) << 3;
    QTest::newRow("words") << 2 << quint64(3) << 6;
    QTest::newRow("double words") << 3 << quint64(3) << 12;
    QTest::newRow("quad words") << 4 << quint64(3) << 24;
    QTest::newRow("unknown code") << 7 << quint64(3) << 0;
    QTest::newRow("negative code") << -1 << quint64(3) << 0;
    QTest::newRow("largest int") << 1 << quint64(std::numeric_limits<qint32>::max())
                                 << std::numeric_limits<qint32>::max();
    QTest::newRow("too large") << 3 << (quint64(1) << 31) << -1;
    QTest::newRow("bits too large") << 0 << std::numeric_limits<quint64>::max() << -1;
    QTest::newRow("bytes too large") << 1 << std::numeric_limits<quint64>::max() << -1;
}

void TestToolsBytes::commandByteLength()
{
    QFETCH(int, dataType);
    QFETCH(quint64, count);
    QFETCH(qint32, length);
    CommunicatorCommand command;
    command.dataType = dataType;
    command.count = count;
    QCOMPARE(DriverTools::commandByteLength(command), length);
}

void TestToolsBytes::fitToCommand_data()
{
    QTest::addColumn<int>("dataType");
    QTest::addColumn<quint64>("count");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("cut") << 2 << quint64(1) << QByteArray("abcd") << QByteArray("ab");
    QTest::newRow("padded") << 3 << quint64(1) << QByteArray("a") << QByteArray("a\0\0\0", 4);
    QTest::newRow("exact") << 1 << quint64(2) << QByteArray("ab") << QByteArray("ab");
    QTest::newRow("unknown code") << 9 << quint64(2) << QByteArray("ab") << QByteArray();
    QTest::newRow("too large") << 4 << std::numeric_limits<quint64>::max() << QByteArray("ab")
                               << QByteArray();
}

void TestToolsBytes::fitToCommand()
{
    QFETCH(int, dataType);
    QFETCH(quint64, count);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    CommunicatorCommand command;
    command.dataType = dataType;
    command.count = count;
    QCOMPARE(DriverTools::fitToCommand(command, bytes), expected);
}

void TestToolsBytes::leadingIdentifier_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("identifier");
    QTest::newRow("address") << "D100" << QByteArray("D");
    QTest::newRow("underscores") << "RAM_x12" << QByteArray("RAM_x");
    QTest::newRow("digit first") << "1D" << QByteArray();
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("stops at non-ASCII") << QString::fromUtf8("AB\xC3\xA9"
                                                             "C")
                                        << QByteArray("AB");
    QTest::newRow("all letters") << "Abc" << QByteArray("Abc");
}

void TestToolsBytes::leadingIdentifier()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, identifier);
    QCOMPARE(DriverTools::leadingIdentifier(text), identifier);
    QCOMPARE(DriverTools::leadingIdentifier(text.toUtf8()), identifier);
}

void TestToolsBytes::addressNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("base");
    QTest::addColumn<qint64>("number");
    QTest::newRow("decimal") << "D100" << 10 << qint64(100);
    QTest::newRow("hex takes the D") << "D100" << 16 << qint64(0xD100);
    QTest::newRow("hex lower case") << "Xff" << 16 << qint64(255);
    QTest::newRow("octal") << "Q17" << 8 << qint64(15);
    QTest::newRow("octal 8 is no digit") << "Q18" << 8 << qint64(0);
    QTest::newRow("octal skips 9") << "Q97" << 8 << qint64(7);
    QTest::newRow("base 2") << "D100" << 2 << qint64(-1);
    QTest::newRow("base 0") << "D100" << 0 << qint64(-1);
    QTest::newRow("no digit") << "RAM" << 10 << qint64(0);
    QTest::newRow("trailing letter") << "D100X" << 10 << qint64(0);
    QTest::newRow("empty") << "" << 10 << qint64(0);
    QTest::newRow("largest") << "D9223372036854775807" << 10 << std::numeric_limits<qint64>::max();
    QTest::newRow("overflow") << "D9223372036854775808" << 10 << qint64(0);
    QTest::newRow("sign is no digit") << "D-5" << 10 << qint64(5);
}

void TestToolsBytes::addressNumber()
{
    QFETCH(QString, text);
    QFETCH(int, base);
    QFETCH(qint64, number);
    QCOMPARE(DriverTools::addressNumber(text, base), number);
    QCOMPARE(DriverTools::addressNumber(text.toLatin1(), base), number);
}

void TestToolsBytes::parseHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("limit");
    QTest::addColumn<quint32>("value");
    QTest::newRow("prefix and digits") << "0x1A" << 4 << 26u;
    QTest::newRow("cut by limit") << "0x1A" << 3 << 1u;
    QTest::newRow("only prefix fits") << "0x1A" << 2 << 0u;
    QTest::newRow("upper prefix") << "0XfF" << 10 << 255u;
    QTest::newRow("no prefix") << "1a" << 10 << 26u;
    QTest::newRow("bad digit") << "12G" << 10 << 0u;
    QTest::newRow("bad digit beyond limit") << "12G" << 2 << 0x12u;
    QTest::newRow("empty") << "" << 5 << 0u;
    QTest::newRow("limit 0") << "12" << 0 << 0u;
    QTest::newRow("prefix only") << "0x" << 5 << 0u;
    QTest::newRow("32 bits") << "FFFFFFFF" << 20 << 0xFFFFFFFFu;
    QTest::newRow("leading zeros") << "000000001" << 20 << 1u;
    QTest::newRow("wider than 32 bits") << "100000000" << 20 << 0u;
}

void TestToolsBytes::parseHex()
{
    QFETCH(QString, text);
    QFETCH(int, limit);
    QFETCH(quint32, value);
    QCOMPARE(DriverTools::parseHex(text, limit), value);
}

void TestToolsBytes::hexDump_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("dump");
    QTest::newRow("empty") << QByteArray() << "() : ";
    QTest::newRow("text") << QByteArray("\x01"
                                        "AB")
                          << "(0X1 0X41 0X42 ) : \x01"
                             "AB";
    QTest::newRow("zero ends the text") << QByteArray("A\0B", 3) << "(0X41 0X0 0X42 ) : A";
    QTest::newRow("high byte") << QByteArray("\xFF", 1) << QString::fromLatin1("(0Xff ) : \xFF");
}

void TestToolsBytes::hexDump()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, dump);
    QCOMPARE(DriverTools::hexDump(bytes), dump);
}

QTEST_APPLESS_MAIN(TestToolsBytes)

#include "tst_tools_bytes.moc"
