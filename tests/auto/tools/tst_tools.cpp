// The drivers' shared utilities: checksums, bit strings, byte orders, frames, record packing,
// station look-ups, text numbers and process checks.

#include "BitString.h"
#include "ByteOrder.h"
#include "Checksums.h"
#include "FrameBuffer.h"
#include "ProcessTime.h"
#include "RecordPacking.h"
#include "StationLookup.h"
#include "TagCommands.h"
#include "TextNumbers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <thread>
#include <vector>

#if defined(Q_OS_LINUX)
#include <cerrno>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace DriverTools;

namespace {

const int IntMax = std::numeric_limits<int>::max();
const QString Connection = QStringLiteral("tools_stations");
const char Fill = char(0xEE);

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

// One data row of the current test's table.
template <typename... T> void row(const char *name, T... values)
{
    (QTest::newRow(name) << ... << values);
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

std::vector<quint32> allModels()
{
    return {runModel(ccittUpdate, 0, 0), runModel(crc16ArcUpdate, 0, 0),
            runModel(crc16KermitUpdate, 0, 0), runModel(crc16DnpUpdate, 0, 0),
            runModel(crc32Update, 0xFFFFFFFFu, 0)};
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
    void initTestCase();
    void cleanupTestCase();
    // First, so that the tables are filled while several threads race for them.
    void crcTablesFillOnceUnderConcurrentFirstUse();
    void crcCheckValues_data();
    void crcCheckValues();
    void bufferChecks_data();
    void bufferChecks();
    void bitReads_data();
    void bitReads();
    void bitEdits_data();
    void bitEdits();
    void bitCounts_data();
    void bitCounts();
    void integers_data();
    void integers();
    void transforms_data();
    void transforms();
    void commandSizes_data();
    void commandSizes();
    void textNumbers_data();
    void textNumbers();
    void frameAppends_data();
    void frameAppends();
    void frameData();
    void frameFields_data();
    void frameFields();
    void frameLayout_data();
    void frameLayout();
    void packSingleCodes_data();
    void packSingleCodes();
    void packRepeatForms_data();
    void packRepeatForms();
    void packHugeRecordsRefusedBeforeAnyCopy_data();
    void packHugeRecordsRefusedBeforeAnyCopy();
    void unpackSkipsAndErrors_data();
    void unpackSkipsAndErrors();
    void hmiPortFromDevice_data();
    void hmiPortFromDevice();
    void directoryRules_data();
    void directoryRules();
    void stationLookups_data();
    void stationLookups();
    void stationsWithoutDatabase();
    void processIds_data();
    void processIds();
    void processLifecycle();
    void timeKeeping();

private:
    QTemporaryDir m_dir;
};

void tst_Tools::initTestCase()
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

void tst_Tools::cleanupTestCase()
{
    QSqlDatabase::database(Connection, false).close();
    QSqlDatabase::removeDatabase(Connection);
}

void tst_Tools::crcTablesFillOnceUnderConcurrentFirstUse()
{
    std::vector<std::vector<quint32>> results(4);
    std::vector<std::thread> threads;
    for (std::vector<quint32> &result : results)
        threads.emplace_back([&result] { result = allModels(); });
    for (std::thread &thread : threads)
        thread.join();
    QCOMPARE(results, std::vector<std::vector<quint32>>(4, allModels()));
}

// Published check values for "123456789" with each model's initial value and final xor.
void tst_Tools::crcCheckValues_data()
{
    QTest::addColumn<Update>("update");
    QTest::addColumn<quint32>("init");
    QTest::addColumn<quint32>("xorOut");
    QTest::addColumn<quint32>("check");
    row("CRC-16/ARC", Update(crc16ArcUpdate), 0x0000u, 0x0000u, 0xBB3Du);
    row("CRC-16/MODBUS", Update(crc16ArcUpdate), 0xFFFFu, 0x0000u, 0x4B37u);
    row("CRC-16/KERMIT", Update(crc16KermitUpdate), 0x0000u, 0x0000u, 0x2189u);
    row("CRC-16/DNP", Update(crc16DnpUpdate), 0x0000u, 0xFFFFu, 0xEA82u);
    row("CRC-16/XMODEM", Update(ccittUpdate), 0x0000u, 0x0000u, 0x31C3u);
    row("CRC-16/IBM-3740", Update(ccittUpdate), 0xFFFFu, 0x0000u, 0x29B1u);
    row("CRC-32/ISO-HDLC", Update(crc32Update), 0xFFFFFFFFu, 0xFFFFFFFFu, 0xCBF43926u);
}

void tst_Tools::crcCheckValues()
{
    QFETCH(Update, update);
    QFETCH(quint32, init);
    QFETCH(quint32, xorOut);
    QFETCH(quint32, check);
    QCOMPARE(runModel(update, init, xorOut), check);
    // The reflected 16-bit updates pass the bits above 16 through untouched.
    if (update != ccittUpdate && update != crc32Update)
        QCOMPARE(runModel(update, init | 0xABCD0000u, xorOut), check | 0xABCD0000u);
}

void tst_Tools::bufferChecks_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("n");
    QTest::addColumn<QList<quint32>>("checks"); // sum8, sum32, xor8, crc16Arc, then crc16Step8005
    row("check input", QByteArray("123456789"), 9, QList<quint32>{0xDD, 0x1DD, 0x31, 0xBB3D});
    row("count limits", QByteArray("\x01\x02\x04", 3), 2, QList<quint32>{3, 3, 3, 0x5180});
    row("negative count", QByteArray("abc"), -7, QList<quint32>{0, 0, 0, 0});
}

void tst_Tools::bufferChecks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, n);
    QFETCH(QList<quint32>, checks);
    const char *d = bytes.constData();
    QCOMPARE((QList<quint32>{sum8(d, n), sum32(d, n), xor8(d, n), crc16Arc(d, n)}), checks);
    // A null buffer reads nothing.
    QCOMPARE(sum32(nullptr, n) + xor8(nullptr, n) + sum8(nullptr, n) + crc16Arc(nullptr, n), 0u);
    // The polynomial applies when the top bit is set; the high byte is never sign-extended.
    QCOMPARE(crc16Step8005(0x8001, 0x34, 0x12), quint16(0x9233));
    QCOMPARE(crc16Step8005(0x0001, 0x00, 0x80), quint16(0x8002));
    QCOMPARE(crc16Step8005(0x4000, 0xFF, 0xFF), quint16(0x7FFF));
}

void tst_Tools::bitReads_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("bits"); // one '0' or '1' per bit read
    // a5 81: bits 0, 2, 5, 7, 8 and 15 are set; bits 16 and up lie past the end.
    row("every bit and two past the end", 0, 18, QByteArray("101001011000000100"));
    row("start beyond", 65535, 2, QByteArray("00"));
    row("negative count", 0, -5, QByteArray());
}

void tst_Tools::bitReads()
{
    QFETCH(int, start);
    QFETCH(int, n);
    QFETCH(QByteArray, bits);
    const QByteArray bytes = hex("a581");
    QByteArray values = bits;
    for (char &c : values)
        c = char(c - '0');
    QCOMPARE(bitsToBytes(bytes, quint16(start), n), values);
    for (int k = 0; k < bits.size(); ++k) {
        QCOMPARE(bitAt(bytes, start + k), int(values[k]));
        if (start + k < 16)
            QCOMPARE(bitAt(bytes.constData(), start + k), int(values[k]));
    }
    QCOMPARE(bitAt(bytes, -1) + bitAt(bytes.constData(), -1), 0);
    QCOMPARE(bitAt(static_cast<const char *>(nullptr), 3), 0);
}

void tst_Tools::bitEdits_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<QByteArray>("expected");
    const auto add = [](const char *name, Edit edit, const char *bytes, int a, int b,
                        const char *expected) { row(name, edit, hex(bytes), a, b, hex(expected)); };
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
    add("set", set, "00", 3, 1, "08");
    add("clear", set, "ff", 7, 0, "7f");
    add("set grows by two", set, "01", 17, 1, "010002");
    add("set negative index", set, "01", -3, 1, "01");
    add("raw set", setRaw, "0000", 9, 1, "0002");
    add("raw clear", setRaw, "ff", 0, 0, "fe");
    add("raw negative index", setRaw, "01", -3, 1, "01");
    // copyBits takes its bits from a5.
    add("copy across a byte", copy, "0000", 6, 4, "4001");
    add("copy clears", copy, "ff", 2, 3, "f7");
    add("short source reads 0", copy, "ffff", 4, 12, "5f0a");
    add("copy negative start", copy, "ff", -2, 4, "ff");
    add("copy end past int", copy, "ff", IntMax, 2, "ff");
    add("resize 9", resize, "112233", 9, 0, "1122");
    add("resize negative", resize, "112233", -8, 0, "");
    add("clear above 11", clear, "ffffff", 11, 0, "ff07ff");
    add("clear above 16", clear, "ffffff", 16, 0, "ffffff");
    add("clear above -3", clear, "ffffff", -3, 0, "ffffff");
    add("shift 3 carries", shift, "ff81", 3, 0, "3f10");
    // Rotated to f0 0f 01, then only f0 0f shift by 3: 0x0ff0 >> 3 = 0x01fe.
    add("shift 11", shift, "01f00f", 11, 0, "fe0101");
    add("shift 9 clears the prefix top", shift, "ffffff", 9, 0, "ff7fff");
    add("shift the whole length", shift, "4142", 16, 0, "4142");
    add("shift negative", shift, "81", -2, 0, "81");
}

void tst_Tools::bitEdits()
{
    QFETCH(Edit, edit);
    QFETCH(QByteArray, bytes);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(QByteArray, expected);
    edit(bytes, a, b);
    QCOMPARE(bytes, expected);
}

// Units of (start + n) bits, and fractions of n taken as unsigned.
void tst_Tools::bitCounts_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("n");
    QTest::addColumn<QList<qint64>>("units"); // words, double words, bytes; half, quarter, eighth
    using U = QList<qint64>;
    row("nothing", 0, 0, U{0, 0, 0, 0, 0, 0});
    row("one bit", 0, 1, U{1, 1, 1, 1, 1, 1});
    row("exact", 8, 24, U{2, 1, 4, 12, 6, 3});
    row("one over", 16, 17, U{3, 2, 5, 9, 5, 3});
    row("negative sum", -10, 2, U{0, 0, 0, 1, 1, 1});
    row("sum beyond int", IntMax, 1, U{134217728, 67108864, 268435456, 1, 1, 1});
    row("largest unsigned", 0, -1, U{0, 0, 0, 0x80000000, 0x40000000, 0x20000000});
}

void tst_Tools::bitCounts()
{
    QFETCH(int, start);
    QFETCH(int, n);
    QFETCH(QList<qint64>, units);
    QCOMPARE((QList<qint64>{wordsForBits(start, n), doubleWordsForBits(start, n),
                            bytesForBits(start, n), halfRoundedUp(quint32(n)),
                            quarterRoundedUp(quint32(n)), eighthRoundedUp(quint32(n))}),
             units);
}

void tst_Tools::integers_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint32>("int32");
    QTest::addColumn<qint32>("int16");
    QTest::addColumn<int>("on");
    row("empty", QByteArray(), 0, 0, 0);
    row("one byte is unsigned", hex("fe"), 0xFE, 0xFE, 0);
    row("three bytes", hex("010283"), 0x830201, 0x0201, 1);
    row("minus one", hex("ffffffff"), -1, -1, 1);
    row("lowest int16", hex("0080"), 0x8000, -32768, 0);
    row("extra bytes ignored", hex("7856341299"), 0x12345678, 0x5678, 0);
}

void tst_Tools::integers()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint32, int32);
    QFETCH(qint32, int16);
    QFETCH(int, on);
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

void tst_Tools::transforms_data()
{
    QTest::addColumn<Transform>("transform");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
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
               doubleWordsFromBuffer(b.data(), -3) + doubleWordsFromBuffer(b.data(), IntMax / 2);
    };
    const Transform dump = [](const QByteArray &b) { return hexDump(b).toLatin1(); };
    add("swapWords odd", swapped<swapWords>, "ABC", "BAC");
    add("swapDoubleWords tail", swapped<swapDoubleWords>, "ABCDEFGH12", "DCBAHGFE12");
    add("swapWordsPadded odd", swapWordsPadded, "ABC", QByteArray("BA\0C", 4));
    add("swapWordsPadded even", swapWordsPadded, "ABCD", "BADC");
    add("swapDoubleWordsPadded", swapDoubleWordsPadded, "ABCDEF", QByteArray("DCBA\0\0FE", 8));
    add("reverseBytes", reverseBytes, "ABCDE", "EDCBA");
    add("padToEven", padToEven, "abc", QByteArray("abc\0", 4));
    add("padToFour", padToFour, "abcde", QByteArray("abcde\0\0\0", 8));
    add("padToEight", padToEight, "abcdefghi", QByteArray("abcdefghi\0\0\0\0\0\0\0", 16));
    add("padToEight of eight", padToEight, "abcdefgh", "abcdefgh");
    add("wordsFromBuffer", words, hex("01020304"), hex("02010403"));
    add("doubleWordsFromBuffer", doubleWords, hex("0102030405060708"), hex("0403020108070605"));
    add("buffers refused", noWords, hex("01020304"), "");
    add("fitToCommand cuts", fitToTwoWords, "abcdef", "abcd");
    add("fitToCommand pads", fitToTwoWords, "ab", QByteArray("ab\0\0", 4));
    add("fitToCommand too large", fitToHugeCount, "ab", "");
    add("hexDump", dump, "\1AB", "(0X1 0X41 0X42 ) : \1AB");
    add("hexDump zero ends text", dump, QByteArray("A\0B", 3), "(0X41 0X0 0X42 ) : A");
    add("hexDump high byte", dump, "\xFF", "(0Xff ) : \xFF");
}

void tst_Tools::transforms()
{
    QFETCH(Transform, transform);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(transform(input), expected);
}

void tst_Tools::commandSizes_data()
{
    QTest::addColumn<int>("dataType");
    QTest::addColumn<quint64>("count");
    QTest::addColumn<qint32>("length");
    row("no bits", 0, quint64(0), 0);
    row("9 bits", 0, quint64(9), 2);
    row("type 6, 16 bits", 6, quint64(16), 2);
    row("bytes", 1, quint64(7), 7);
    row("type 5", 5, quint64(3), 3);
    row("words", 2, quint64(3), 6);
    row("double words", 3, quint64(3), 12);
    row("quad words", 4, quint64(3), 24);
    row("unknown code", 7, quint64(3), 0);
    row("largest int", 1, quint64(IntMax), IntMax);
    row("one beyond int", 1, quint64(IntMax) + 1, -1);
    row("double words beyond int", 3, quint64(1) << 29, -1);
    row("bits of the largest count", 0, std::numeric_limits<quint64>::max(), -1);
}

void tst_Tools::commandSizes()
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

void tst_Tools::textNumbers_data()
{
    QTest::addColumn<bool>("isHex");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("base"); // parseHex: the length limit
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QByteArray>("identifier");
    const auto address = [](const char *name, const QString &text, int base, qint64 number,
                            const char *identifier) {
        row(name, false, text, base, number, QByteArray(identifier));
    };
    const auto parsed = [](const char *name, const QString &text, int limit, quint32 value) {
        row(name, true, text, limit, qint64(value), QByteArray());
    };
    address("hex takes the D", "D100", 16, 0xD100, "D");
    address("hex lower case", "Xff", 16, 255, "Xff");
    address("octal 8 is no digit", "Q18", 8, 0, "Q");
    address("octal skips 9", "Q97", 8, 7, "Q");
    address("base 2", "D100", 2, -1, "D");
    address("no digit", "RAM", 10, 0, "RAM");
    address("underscore", "RAM_x12", 10, 12, "RAM_x");
    address("non-ASCII", QString::fromUtf8("G\xC3\xA9H1"), 10, 1, "G");
    address("largest", "D9223372036854775807", 10, std::numeric_limits<qint64>::max(), "D");
    address("overflow", "D9223372036854775808", 10, 0, "D");
    parsed("prefix and digits", "0x1A", 4, 26);
    parsed("cut by limit", "0x1A", 3, 1);
    parsed("only prefix fits", "0x1A", 2, 0);
    parsed("upper prefix", "0XfF", 10, 255);
    parsed("bad digit", "12G", 10, 0);
    parsed("bad digit beyond limit", "12G", 2, 0x12);
    parsed("limit 0", "12", 0, 0);
    parsed("32 bits", "FFFFFFFF", 20, 0xFFFFFFFF);
    parsed("wider than 32 bits", "100000001", 20, 0);
}

void tst_Tools::textNumbers()
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

void tst_Tools::frameAppends_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QByteArray>("appended");
    QTest::addColumn<Append>("append");
    const QByteArray frame("\1AB");
    row("bytes", frame, QByteArray("\0z", 2),
        Append([](FrameBuffer &f) { return f.appendBytes(QByteArray("\0z", 2)); }));
    row("no bytes, still a field", frame, QByteArray(),
        Append([](FrameBuffer &f) { return f.appendBytes({}); }));
    row("text outside Latin-1", frame, QByteArray("H?"),
        Append([](FrameBuffer &f) { return f.appendText("H\u20AC"); }));
    row("byte", frame, QByteArray("\xFE"),
        Append([](FrameBuffer &f) { return f.appendByte(0xFE); }));
    row("hex byte pads, upper case", frame, QByteArray("0A"),
        Append([](FrameBuffer &f) { return f.appendHexByte(10); }));
    row("int16", frame, QByteArray("\x34\x12"),
        Append([](FrameBuffer &f) { return f.appendInt16(0x1234); }));
    row("int32", frame, QByteArray("\x78\x56\x34\x12"),
        Append([](FrameBuffer &f) { return f.appendInt32(0x12345678); }));
    row("sum8 wraps", QByteArray("\xF0\x20"), QByteArray("\x10"),
        Append([](FrameBuffer &f) { return f.appendSum8(); }));
    row("sum8 of nothing", QByteArray(), QByteArray(1, 0),
        Append([](FrameBuffer &f) { return f.appendSum8(); }));
    row("sum8 hex", frame, QByteArray("84"),
        Append([](FrameBuffer &f) { return f.appendSum8Hex(); }));
    row("xor hex", frame, QByteArray("02"),
        Append([](FrameBuffer &f) { return f.appendXorHex(); }));
}

void tst_Tools::frameAppends()
{
    QFETCH(QByteArray, prefix);
    QFETCH(QByteArray, appended);
    QFETCH(Append, append);
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

// New data keeps the layout; a negative size or a null pointer empties the frame.
void tst_Tools::frameData()
{
    FrameBuffer frame;
    frame.appendInt16(7);
    frame.appendByte(9);
    QCOMPARE(frame.setData(QByteArray("wxyz")), 1);
    QCOMPARE(frame.layout(), Layout({2, 1}));
    QCOMPARE(frame.totalLength(), 3);
    QCOMPARE(frame.fieldBytes(1), QByteArray("y"));
    const char raw[] = "pqrs";
    QCOMPARE(frame.setData(raw, 3), 1);
    frame.data()[1] = 'X';
    QCOMPARE(frame.hexDump(), QStringLiteral("(0X70 0X58 0X72 ) : pXr"));
    QCOMPARE(frame.setData(raw, -1), 1);
    QCOMPARE(frame.size(), 0);
    frame.setData(raw, 3);
    QCOMPARE(frame.setData(nullptr, 3), 1);
    QCOMPARE(frame.size(), 0);
    frame.clear();
    QCOMPARE(frame.fieldCount() + frame.totalLength(), 0);
    // The xor of all bytes but the last n; none left is 0.
    frame.appendBytes(QByteArray("\x01\x02\x04\x08", 4));
    QCOMPARE((QList<int>{frame.xorExceptLast(0), frame.xorExceptLast(-1), frame.xorExceptLast(1),
                         frame.xorExceptLast(4), frame.xorExceptLast(10)}),
             (QList<int>{0x0F, 0x0F, 0x07, 0, 0}));
}

void tst_Tools::frameFields_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("bytes");
    const Layout plain{1, 2, 4};
    const QByteArray text("ABCDEFG");
    const QByteArray counted = QByteArray("AB\3\0\0\0xyz!", 10);
    row("third", plain, text, 2, 3, 4, QByteArray("DEFG"));
    row("not a field", plain, text, 3, -1, 0, QByteArray());
    row("negative index", plain, text, -1, -1, 0, QByteArray());
    row("cut at the frame end", Layout{2, 10}, QByteArray("ABCD"), 1, 2, 10, QByteArray("CD"));
    row("beyond the frame end", Layout{6, 1}, QByteArray("ABCD"), 1, 6, 1, QByteArray());
    row("length from a field", Layout{2, 4, -1, 1}, counted, 2, 6, 3, QByteArray("xyz"));
    row("after a counted field", Layout{2, 4, -1, 1}, counted, 3, 9, 1, QByteArray("!"));
    row("one-byte length field", Layout{1, 1, -1}, QByteArray("S\2hi!"), 2, 2, 2, QByteArray("hi"));
    row("forward reference", Layout{-1, 4}, QByteArray("\2\0\0\0", 4), 0, 0, 0, QByteArray());
    row("self reference", Layout{2, -1}, QByteArray("\1\0", 2), 1, 2, 0, QByteArray());
    row("negative count", Layout{2, 4, -1}, QByteArray("AB\xFF\xFF\xFF\xFFxyz"), 2, 6, 0,
        QByteArray());
    row("count field missing", Layout{2, 4, -1}, QByteArray("AB"), 2, 6, 0, QByteArray());
    // 5 + INT_MAX does not fit an int: held at INT_MAX, where no frame byte lies.
    const QByteArray huge("L\xFF\xFF\xFF\x7Ftail");
    row("count of INT_MAX", Layout{1, 4, -1, -1, 1}, huge, 2, 5, IntMax, QByteArray("tail"));
    row("offset beyond int", Layout{1, 4, -1, -1, 1}, huge, 3, IntMax, IntMax, QByteArray());
    row("after a saturated offset", Layout{1, 4, -1, -1, 1}, huge, 4, IntMax, 1, QByteArray());
}

void tst_Tools::frameFields()
{
    QFETCH(Layout, layout);
    QFETCH(QByteArray, data);
    QFETCH(int, index);
    QFETCH(int, offset);
    QFETCH(int, length);
    QFETCH(QByteArray, bytes);
    FrameBuffer frame;
    QVERIFY(frame.setLayout(layout));
    frame.setData(data);
    QCOMPARE(frame.isFieldIndex(index), offset >= 0);
    QCOMPARE(frame.fieldOffset(index), offset);
    QCOMPARE(frame.fieldLength(index), length);
    QCOMPARE(frame.fieldBytes(index), bytes);
}

void tst_Tools::frameLayout_data()
{
    const int max = FrameBuffer::MaxLayoutSize;
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("bytes");
    row("grows with zeros", Layout{2, 4}, true, QByteArray("abc\0\0\0", 6));
    row("shrinks", Layout{1, 1}, true, QByteArray("ab"));
    row("references count 0", Layout{1, -1, 2}, true, QByteArray("abc"));
    row("largest", Layout{max - 3, 3}, true, QByteArray("abc") + QByteArray(max - 3, 0));
    row("too large", Layout{max, 1}, false, QByteArray("abc"));
    row("sum beyond int", Layout{IntMax, 8}, false, QByteArray("abc"));
}

void tst_Tools::frameLayout()
{
    QFETCH(Layout, layout);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, bytes);
    FrameBuffer frame;
    frame.appendText(QStringLiteral("abc"));
    QCOMPARE(frame.setLayout(layout), accepted);
    QCOMPARE(frame.layout(), accepted ? layout : Layout{3});
    QCOMPARE(frame.bytes(), bytes);
    QCOMPARE(frame.totalLength(), 3);
}

void tst_Tools::packSingleCodes_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<QByteArray>("expected"); // in a buffer of Fill bytes
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("array"); // packToByteArray
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
    add("0x writes nothing", "0xC", {7}, "\x07", 1, "");
    add("3X skips", "C3XC", {8, 9}, "\x08\xEE\xEE\xEE\x09", 5, "");
    add("empty format", "", {}, "", 0, "");
    add("unknown code after a value", "Cq", {3}, "\x03", 0, "");
    add("unknown repeat code", "2q", {}, "", -1, "");
    add("count at the end", "C12", {3}, "\x03", -1, "");
    add("zero count with argument", "0C", {}, "", -1, "");
    add("count just beyond int", "2147483648X", {}, "", -1, "");
}

void tst_Tools::packSingleCodes()
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

void tst_Tools::packRepeatForms_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QByteArray>("memory");
    QTest::addColumn<QByteArray>("wire");
    const QByteArray words = hostBytes<quint16>({0x0102, 0xA0B0});
    const QByteArray doubleWords = hostBytes<quint32>({0x01020304, 0xA0B0C0D0});
    row("10C", QByteArray("10C"), QByteArray("0123456789"), QByteArray("0123456789"));
    row("2c", QByteArray("2c"), QByteArray("xy"), QByteArray("xy"));
    row("2N", QByteArray("2N"), doubleWords, QByteArray("\x01\x02\x03\x04\xA0\xB0\xC0\xD0"));
    row("2V", QByteArray("2V"), doubleWords, QByteArray("\x04\x03\x02\x01\xD0\xC0\xB0\xA0"));
    row("2n", QByteArray("2n"), words, QByteArray("\x01\x02\xA0\xB0"));
    row("2v", QByteArray("2v"), words, QByteArray("\x02\x01\xB0\xA0"));
}

void tst_Tools::packRepeatForms()
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

// The unbounded forms trust the buffers for records that exist, but not for one longer than an
// int can count; the bounded forms refuse any record past their size.
void tst_Tools::packHugeRecordsRefusedBeforeAnyCopy_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("boundedOnly");
    row("words beyond int", QByteArray("1073741824v"), false);
    row("double words beyond int", QByteArray("536870912N"), false);
    row("beyond int after a byte", QByteArray("x2147483647C"), false);
    row("count overflow", QByteArray("18446744073709551617C"), false);
    row("largest count", QByteArray("2147483647C"), true);
    row("largest skip", QByteArray("2147483647x"), true);
}

void tst_Tools::packHugeRecordsRefusedBeforeAnyCopy()
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

void tst_Tools::unpackSkipsAndErrors_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("byte"); // read by the format's "C", 0 when none is read
    const auto add = [](const char *name, const char *format, int size, int answer, int byte) {
        row(name, QByteArray(format), size, answer, byte);
    };
    add("X", "XC", 8, 2, 2);
    add("3x", "3xC", 8, 4, 4);
    add("3X", "3XC", 8, 4, 4);
    add("0x", "0xC", 8, 1, 1);
    add("skip to the end", "8x", 8, 8, 0);
    add("skip past the end", "9x", 8, -1, 0);
    add("zero count", "0C", 8, -1, 0);
    add("unknown single code", "q", 8, -1, 0);
    add("unknown repeat code", "2q", 8, -1, 0);
    add("count at the end", "C5", 8, -1, 1);
    add("count overflow", "4294967296C", 8, -1, 0);
    add("negative size", "x", -2, -1, 0);
    add("empty format", "", 8, 0, 0);
}

void tst_Tools::unpackSkipsAndErrors()
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

void tst_Tools::hmiPortFromDevice_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("port");
    row("beginning with ETHERNET", QString("ETHERNET2"), 2000);
    row("lower case", QString("ethernet"), 2000);
    row("ethernet later in the text", QString("MY_ETHERNET"), -1);
    row("only the trailing digits", QString("COM3A12"), 1012);
    row("leading zeros", QString("tty007"), 1007);
    row("empty", QString(""), -1);
    row("ends in a letter", QString("COMX"), -1);
    row("digits only", QString("12"), -1);
    row("largest port", QString("COM2147482647"), 2147483647);
    row("port beyond int", QString("COM2147482648"), -1);
}

void tst_Tools::hmiPortFromDevice()
{
    QFETCH(QString, device);
    QFETCH(int, port);
    QCOMPARE(DriverTools::hmiPortFromDevice(device), port);
}

void tst_Tools::directoryRules_data()
{
    QTest::addColumn<QStringList>("directories");
    QTest::addColumn<QString>("compile");
    QTest::addColumn<QString>("database");
    row("neither", QStringList(), QString(""), QString("database"));
    row("both", QStringList{"compile", "compile/database"}, QString("compile"),
        QString("compile/database/database"));
    row("database without compile", QStringList{"database"}, QString(""),
        QString("database/database"));
    row("database beside compile", QStringList{"compile", "database"}, QString("compile"),
        QString("compile/database"));
}

void tst_Tools::directoryRules()
{
    QFETCH(QStringList, directories);
    QFETCH(QString, compile);
    QFETCH(QString, database);
    QTemporaryDir base;
    QVERIFY(base.isValid());
    for (const QString &dir : directories)
        QVERIFY(QDir(base.path()).mkpath(dir));
    const QString root = QDir(base.path()).absolutePath();
    QCOMPARE(compileDir(base.path()).absolutePath(),
             compile.isEmpty() ? root : root + "/" + compile);
    QCOMPARE(databaseFilePath(base.path()), root + "/" + database);
    // The forms without a base start from the application directory.
    const QString appDir = QCoreApplication::applicationDirPath();
    QCOMPARE(compileDir().absolutePath(), compileDir(appDir).absolutePath());
    QCOMPARE(databaseFilePath(), databaseFilePath(appDir));
}

void tst_Tools::stationLookups_data()
{
    QTest::addColumn<Lookup>("lookup");
    QTest::addColumn<int>("key"); // the HMI port, or the link id for Lookup::Link
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("tcpPort");
    QTest::addColumn<Entries>("before");
    QTest::addColumn<Entries>("after");
    QTest::addColumn<bool>("answer");
    const QString ip10 = QStringLiteral("192.168.0.10");
    const Entries none, old{{9, 9}};
    const Lookup port = Lookup::DefaultOfPort, endpoint = Lookup::Endpoint, link = Lookup::Link;
    row("port with a default station", port, 1001, QString(), 0, none, Entries{{1, 5}}, true);
    row("port without default station", port, 1002, QString(), 0, none, none, false);
    // Station 300 of link 3 is cut to 300 mod 256 = 44.
    row("two links on one endpoint", endpoint, 2000, ip10, 502, none,
        Entries{{2, 10}, {2, 11}, {3, 44}}, true);
    row("other tcp port", endpoint, 2000, ip10, 503, none, Entries{{3, 13}}, true);
    row("appends to old entries", endpoint, 2000, QString("192.168.0.11"), 502, old,
        Entries{{9, 9}, {2, 12}}, true);
    row("no row", endpoint, 2000, QString("10.0.0.1"), 502, none, none, false);
    row("no row, old entry kept", endpoint, 2000, QString("10.0.0.1"), 502, old, old, true);
    // The ip goes in as a bound value, never as SQL text.
    row("quoted injection", endpoint, 2000, QString("x' OR '1'='1"), 502, none, none, false);
    row("default stations of a link", link, 2, QString(), 0, none,
        Entries{{2, 10}, {2, 11}, {2, 12}}, true);
    row("link without default", link, 4, QString(), 0, none, none, false);
    row("link without default, old entry", link, 4, QString(), 0, old, old, true);
}

void tst_Tools::stationLookups()
{
    QFETCH(Lookup, lookup);
    QFETCH(int, key);
    QFETCH(QString, ip);
    QFETCH(int, tcpPort);
    QFETCH(Entries, before);
    QFETCH(Entries, after);
    QFETCH(bool, answer);
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

void tst_Tools::stationsWithoutDatabase()
{
    const QString empty = QStringLiteral("tools_stations_empty");
    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), empty)
        .setDatabaseName(m_dir.filePath(QStringLiteral("empty.sqlite")));
    for (const QString &connection : {QStringLiteral("no such connection"), empty}) {
        int link = 3;
        quint8 station = 4;
        Entries list;
        QVERIFY(!defaultStationOfPort(connection, 1001, link, station));
        QVERIFY(!stationsOfLink(connection, 1, list));
        QVERIFY(!stationsOfEndpoint(connection, 2000, QStringLiteral("192.168.0.10"), 502, list));
        QCOMPARE(QList<int>({link, station}), QList<int>({3, 4}));
    }
    QSqlDatabase::database(empty, false).close();
    QSqlDatabase::removeDatabase(empty);
}

void tst_Tools::processIds_data()
{
    QTest::addColumn<qint64>("id");
    QTest::addColumn<bool>("running");
    row("zero", qint64(0), true);
    row("negative", qint64(-1), false);
    row("this process", QCoreApplication::applicationPid(), true);
#if defined(Q_OS_LINUX)
    row("largest pid, unused", qint64(std::numeric_limits<pid_t>::max()), false);
    row("beyond the pid range", qint64(std::numeric_limits<pid_t>::max()) + 1, false);
#endif
}

void tst_Tools::processIds()
{
    QFETCH(qint64, id);
    QFETCH(bool, running);
    QCOMPARE(isProcessRunning(id), running);
}

// A child runs until it ends, a zombie has ended; a process this user may not signal still runs.
void tst_Tools::processLifecycle()
{
#if defined(Q_OS_LINUX)
    int pipeFds[2];
    QCOMPARE(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        char byte;
        ::close(pipeFds[1]);
        while (::read(pipeFds[0], &byte, 1) > 0) {
        }
        ::_exit(0);
    }
    ::close(pipeFds[0]);
    QVERIFY(isProcessRunning(child));
    ::close(pipeFds[1]);
    siginfo_t info{};
    QCOMPARE(::waitid(P_PID, id_t(child), &info, WEXITED | WNOWAIT), 0);
    QVERIFY(!isProcessRunning(child));
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(!isProcessRunning(child));

    // Without root rights kill(1, 0) fails with EPERM; the answer must still be true.
    const pid_t other = ::fork();
    QVERIFY(other >= 0);
    if (other == 0) {
        if (::geteuid() == 0 && ::setuid(65534) != 0)
            ::_exit(2);
        if (::kill(1, 0) == 0 || errno != EPERM)
            ::_exit(3);
        ::_exit(isProcessRunning(1) ? 0 : 1);
    }
    QCOMPARE(::waitpid(other, &status, 0), other);
    QVERIFY(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2 || WEXITSTATUS(status) == 3)
        QSKIP("No user here lacks the right to signal process 1");
    QCOMPARE(WEXITSTATUS(status), 0);
#else
    QSKIP("Uses fork() and setuid()");
#endif
}

void tst_Tools::timeKeeping()
{
    QElapsedTimer timer;
    timer.start();
    sleepMs(30);
    QVERIFY(timer.elapsed() >= 29);
    // No wait at all, rather than an unsigned wrap-around into a sleep of weeks.
    timer.restart();
    sleepMs(0);
    sleepMs(-100);
    QVERIFY(timer.elapsed() < 5000);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const qint64 now = currentMs();
    QVERIFY(before <= now && now <= QDateTime::currentMSecsSinceEpoch());
}

QTEST_GUILESS_MAIN(tst_Tools)
#include "tst_tools.moc"
