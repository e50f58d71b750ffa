#include "BitString.h"

#include <QtTest>

#include <limits>

using namespace DriverTools;

namespace {

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

const int IntMax = std::numeric_limits<int>::max();

// One edit of a bit string, with up to two numbers: index and on, start and n, or n alone.
using Edit = void (*)(QByteArray &bytes, int a, int b);

} // namespace

Q_DECLARE_METATYPE(Edit)

class TestToolsBits : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void edits_data();
    void edits();
    void counts_data();
    void counts();
};

void TestToolsBits::reads_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("bits"); // one '0' or '1' per bit read
    // a5 81: bits 0, 2, 5, 7, 8 and 15 are set; bits 16 and up lie past the end.
    QTest::newRow("every bit and two past the end") << 0 << 18 << QByteArray("101001011000000100");
    QTest::newRow("from the last bit") << 15 << 3 << QByteArray("100");
    QTest::newRow("start beyond") << 65535 << 2 << QByteArray("00");
    QTest::newRow("negative count") << 0 << -5 << QByteArray();
}

void TestToolsBits::reads()
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

void TestToolsBits::edits_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char *name, Edit edit, const char *bytes, int a, int b,
                  const char *expected) {
        QTest::newRow(name) << edit << hex(bytes) << a << b << hex(expected);
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
    row("set", set, "00", 3, 1, "08");
    row("clear", set, "ff", 7, 0, "7f");
    row("set grows by two", set, "01", 17, 1, "010002");
    row("clear grows too", set, "", 8, 0, "0000");
    row("set negative index", set, "01", -3, 1, "01");
    row("raw set", setRaw, "0000", 9, 1, "0002");
    row("raw clear", setRaw, "ff", 0, 0, "fe");
    row("raw negative index", setRaw, "01", -3, 1, "01");
    // copyBits takes its bits from a5.
    row("copy across a byte", copy, "0000", 6, 4, "4001");
    row("copy clears", copy, "ff", 2, 3, "f7");
    row("short source reads 0", copy, "ffff", 4, 12, "5f0a");
    row("copy negative n", copy, "ff", 0, -1, "ff");
    row("copy negative start", copy, "ff", -2, 4, "ff");
    row("copy end past int", copy, "ff", IntMax, 2, "ff");
    row("resize 8", resize, "112233", 8, 0, "11");
    row("resize 9", resize, "112233", 9, 0, "1122");
    row("resize negative", resize, "112233", -8, 0, "");
    row("clear above 11", clear, "ffffff", 11, 0, "ff07ff");
    row("clear above 16", clear, "ffffff", 16, 0, "ffffff");
    row("clear above 27", clear, "ffffff", 27, 0, "ffffff");
    row("clear above -3", clear, "ffffff", -3, 0, "ffffff");
    row("shift 3 carries", shift, "ff81", 3, 0, "3f10");
    row("shift 7", shift, "8001", 7, 0, "0300");
    row("shift 8 rotates", shift, "414243", 8, 0, "424341");
    // Rotated to f0 0f 01, then only f0 0f shift by 3: 0x0ff0 >> 3 = 0x01fe.
    row("shift 11", shift, "01f00f", 11, 0, "fe0101");
    row("shift 9 clears the prefix top", shift, "ffffff", 9, 0, "ff7fff");
    row("shift the whole length", shift, "4142", 16, 0, "4142");
    row("shift negative", shift, "81", -2, 0, "81");
}

void TestToolsBits::edits()
{
    QFETCH(Edit, edit);
    QFETCH(QByteArray, bytes);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(QByteArray, expected);
    edit(bytes, a, b);
    QCOMPARE(bytes, expected);
}

void TestToolsBits::counts_data()
{
    // Units of (start + n) bits, and fractions of n taken as unsigned.
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("n");
    QTest::addColumn<QList<int>>("units");         // words, double words, bytes
    QTest::addColumn<QList<quint32>>("fractions"); // half, quarter, eighth
    QTest::newRow("nothing") << 0 << 0 << QList<int>{0, 0, 0} << QList<quint32>{0, 0, 0};
    QTest::newRow("one bit") << 0 << 1 << QList<int>{1, 1, 1} << QList<quint32>{1, 1, 1};
    QTest::newRow("exact") << 8 << 24 << QList<int>{2, 1, 4} << QList<quint32>{12, 6, 3};
    QTest::newRow("one over") << 16 << 17 << QList<int>{3, 2, 5} << QList<quint32>{9, 5, 3};
    QTest::newRow("negative sum") << -10 << 2 << QList<int>{0, 0, 0} << QList<quint32>{1, 1, 1};
    QTest::newRow("sum beyond int")
        << IntMax << 1 << QList<int>{134217728, 67108864, 268435456} << QList<quint32>{1, 1, 1};
    QTest::newRow("largest unsigned")
        << 0 << -1 << QList<int>{0, 0, 0} << QList<quint32>{0x80000000, 0x40000000, 0x20000000};
}

void TestToolsBits::counts()
{
    QFETCH(int, start);
    QFETCH(int, n);
    QFETCH(QList<int>, units);
    QFETCH(QList<quint32>, fractions);
    QCOMPARE(
        (QList<int>{wordsForBits(start, n), doubleWordsForBits(start, n), bytesForBits(start, n)}),
        units);
    QCOMPARE((QList<quint32>{halfRoundedUp(quint32(n)), quarterRoundedUp(quint32(n)),
                             eighthRoundedUp(quint32(n))}),
             fractions);
}

QTEST_APPLESS_MAIN(TestToolsBits)

#include "tst_tools_bits.moc"
