#include "FrameBuffer.h"

#include <QtTest>

#include <limits>

namespace {

using Append = int (*)(FrameBuffer &);

using Layout = QList<qint32>;

const int IntMax = std::numeric_limits<int>::max();

} // namespace

Q_DECLARE_METATYPE(Append)

class TestToolsFrame : public QObject
{
    Q_OBJECT

private slots:
    void appends_data();
    void appends();
    void setDataKeepsLayoutAndClearEmpties();
    void fields_data();
    void fields();
    void offsetsBeyondTheIntRangeSaturate();
    void setLayout_data();
    void setLayout();
    void xorExceptLast_data();
    void xorExceptLast();
};

void TestToolsFrame::appends_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QByteArray>("appended");
    QTest::addColumn<Append>("append");
    auto row = [](const char *name, const QByteArray &prefix, const QByteArray &appended,
                  Append append) { QTest::newRow(name) << prefix << appended << append; };
    const QByteArray frame("\1AB");
    row("bytes", frame, QByteArray("\0z", 2),
        [](FrameBuffer &f) { return f.appendBytes(QByteArray("\0z", 2)); });
    row("no bytes, still a field", frame, "", [](FrameBuffer &f) { return f.appendBytes({}); });
    row("text", frame, "Hi", [](FrameBuffer &f) { return f.appendText("Hi"); });
    row("text outside Latin-1", frame, "?", [](FrameBuffer &f) { return f.appendText("\u20AC"); });
    row("byte", frame, "\xFE", [](FrameBuffer &f) { return f.appendByte(0xFE); });
    row("hex byte pads, upper case", frame, "0A",
        [](FrameBuffer &f) { return f.appendHexByte(10); });
    row("int16", frame, "\x34\x12", [](FrameBuffer &f) { return f.appendInt16(0x1234); });
    row("int32", frame, "\x78\x56\x34\x12",
        [](FrameBuffer &f) { return f.appendInt32(0x12345678); });
    row("sum8 wraps", "\xF0\x20", "\x10", [](FrameBuffer &f) { return f.appendSum8(); });
    row("sum8 of nothing", "", QByteArray(1, 0), [](FrameBuffer &f) { return f.appendSum8(); });
    row("sum8 hex", frame, "84", [](FrameBuffer &f) { return f.appendSum8Hex(); });
    row("xor hex", frame, "02", [](FrameBuffer &f) { return f.appendXorHex(); });
}

void TestToolsFrame::appends()
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

void TestToolsFrame::setDataKeepsLayoutAndClearEmpties()
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
    QCOMPARE(frame.fieldBytes(0), QByteArray());
    frame.setData(raw, 3);
    QCOMPARE(frame.setData(nullptr, 3), 1);
    QCOMPARE(frame.size(), 0);
    frame.clear();
    QCOMPARE(frame.fieldCount(), 0);
    QCOMPARE(frame.totalLength(), 0);
    QCOMPARE(FrameBuffer::toInt32LE(QByteArray("\xFF\xFF\xFF\xFF")), -1);
}

void TestToolsFrame::fields_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char *name, const Layout &layout, const QByteArray &data, int index,
                  int offset, int length, const QByteArray &bytes) {
        QTest::newRow(name) << layout << data << index << offset << length << bytes;
    };
    const Layout plain{1, 2, 4};
    row("second", plain, "ABCDEFG", 1, 1, 2, "BC");
    row("third", plain, "ABCDEFG", 2, 3, 4, "DEFG");
    row("not a field", plain, "ABCDEFG", 3, -1, 0, "");
    row("negative index", plain, "ABCDEFG", -1, -1, 0, "");
    row("cut at the frame end", {2, 10}, "ABCD", 1, 2, 10, "CD");
    row("beyond the frame end", {6, 1}, "ABCD", 1, 6, 1, "");
    const QByteArray counted = QByteArray("AB\3\0\0\0xyz!", 10);
    row("length from a field", {2, 4, -1, 1}, counted, 2, 6, 3, "xyz");
    row("after a counted field", {2, 4, -1, 1}, counted, 3, 9, 1, "!");
    row("one-byte length field", {1, 1, -1}, "S\2hi!", 2, 2, 2, "hi");
    row("forward reference", {-1, 4}, QByteArray("\2\0\0\0", 4), 0, 0, 0, "");
    row("self reference", {2, -1}, QByteArray("\1\0", 2), 1, 2, 0, "");
    row("negative count", {2, 4, -1}, "AB\xFF\xFF\xFF\xFFxyz", 2, 6, 0, "");
    row("count field missing", {2, 4, -1}, "AB", 2, 6, 0, "");
    row("lowest entry", {2, std::numeric_limits<qint32>::min()}, "ABCD", 1, 2, 0, "");
}

void TestToolsFrame::fields()
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

void TestToolsFrame::offsetsBeyondTheIntRangeSaturate()
{
    FrameBuffer frame;
    QVERIFY(frame.setLayout({1, 4, -1, -1, 1}));
    frame.setData(QByteArray("L\xFF\xFF\xFF\x7Ftail"));
    QCOMPARE(frame.fieldLength(2), IntMax);
    QCOMPARE(frame.fieldBytes(2), QByteArray("tail"));
    // 5 + INT_MAX does not fit an int: held at INT_MAX, where no frame byte lies.
    QCOMPARE(frame.fieldOffset(3), IntMax);
    QCOMPARE(frame.fieldLength(3), IntMax);
    QCOMPARE(frame.fieldBytes(3), QByteArray());
    QCOMPARE(frame.fieldOffset(4), IntMax);
}

void TestToolsFrame::setLayout_data()
{
    const int max = FrameBuffer::MaxLayoutSize;
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("grows with zeros") << Layout{2, 4} << true << QByteArray("abc\0\0\0", 6);
    QTest::newRow("shrinks") << Layout{1, 1} << true << QByteArray("ab");
    QTest::newRow("references count 0") << Layout{1, -1, 2} << true << QByteArray("abc");
    QTest::newRow("largest") << Layout{max - 3, 3} << true
                             << QByteArray("abc") + QByteArray(max - 3, 0);
    QTest::newRow("too large") << Layout{max, 1} << false << QByteArray("abc");
    QTest::newRow("sum beyond int") << Layout{IntMax, 8} << false << QByteArray("abc");
}

void TestToolsFrame::setLayout()
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

void TestToolsFrame::xorExceptLast_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("value");
    QTest::newRow("all") << 0 << 0x0F;
    QTest::newRow("negative means all") << -1 << 0x0F;
    QTest::newRow("all but one") << 1 << 0x07;
    QTest::newRow("none left") << 4 << 0;
    QTest::newRow("more than the frame") << 10 << 0;
}

void TestToolsFrame::xorExceptLast()
{
    QFETCH(int, n);
    QFETCH(int, value);
    FrameBuffer frame;
    frame.appendBytes(QByteArray("\x01\x02\x04\x08", 4));
    QCOMPARE(int(frame.xorExceptLast(n)), value);
}

QTEST_APPLESS_MAIN(TestToolsFrame)

#include "tst_tools_frame.moc"
