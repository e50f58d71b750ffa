#include "FrameBuffer.h"

#include <QtTest>

#include <limits>

class TestToolsFrame : public QObject
{
    Q_OBJECT

private slots:
    void newFrameIsEmpty();
    void appendOperations_data();
    void appendOperations();
    void layoutAndTotalFollowAppends();
    void setDataKeepsLayoutAndClearEmpties();
    void writablePointer();
    void fields_data();
    void fields();
    void offsetsBeyondTheIntRangeSaturate();
    void setLayout_data();
    void setLayout();
    void xorExceptLast_data();
    void xorExceptLast();
    void dumpAndInteger();
};

void TestToolsFrame::newFrameIsEmpty()
{
    FrameBuffer frame;
    QCOMPARE(frame.fieldCount(), 0);
    QCOMPARE(frame.size(), 0);
    QCOMPARE(frame.totalLength(), 0);
    QVERIFY(!frame.isFieldIndex(0));
    QCOMPARE(frame.fieldOffset(0), -1);
}

void TestToolsFrame::appendOperations_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("appended");
    const QByteArray frame("\x01"
                           "AB");
    QTest::newRow("bytes") << frame << "bytes" << 0 << QByteArray("\x00z", 2);
    QTest::newRow("text") << frame << "text" << 0 << QByteArray("Hi");
    QTest::newRow("byte") << frame << "byte" << 0xFE << QByteArray("\xFE");
    QTest::newRow("hex byte pads") << frame << "hexByte" << 0x0A << QByteArray("0A");
    QTest::newRow("hex byte upper case") << frame << "hexByte" << 0xFF << QByteArray("FF");
    QTest::newRow("int16 LE") << frame << "int16" << 0x1234 << QByteArray("\x34\x12");
    QTest::newRow("int32 LE") << frame << "int32" << 0x12345678 << QByteArray("\x78\x56\x34\x12");
    QTest::newRow("sum8") << frame << "sum8" << 0 << QByteArray("\x84");
    QTest::newRow("sum8 wraps") << QByteArray("\xF0\x20") << "sum8" << 0 << QByteArray("\x10");
    QTest::newRow("sum8 of nothing") << QByteArray() << "sum8" << 0 << QByteArray("\x00", 1);
    QTest::newRow("sum8 hex") << frame << "sum8Hex" << 0 << QByteArray("84");
    QTest::newRow("xor hex") << frame << "xorHex" << 0 << QByteArray("02");
    QTest::newRow("xor hex of nothing") << QByteArray() << "xorHex" << 0 << QByteArray("00");
}

void TestToolsFrame::appendOperations()
{
    QFETCH(QByteArray, prefix);
    QFETCH(QString, operation);
    QFETCH(int, value);
    QFETCH(QByteArray, appended);
    FrameBuffer frame;
    if (!prefix.isEmpty())
        QCOMPARE(frame.appendBytes(prefix), 1);
    int answer = 0;
    if (operation == QLatin1String("bytes"))
        answer = frame.appendBytes(QByteArray("\x00z", 2));
    else if (operation == QLatin1String("text"))
        answer = frame.appendText(QStringLiteral("Hi"));
    else if (operation == QLatin1String("byte"))
        answer = frame.appendByte(quint8(value));
    else if (operation == QLatin1String("hexByte"))
        answer = frame.appendHexByte(quint8(value));
    else if (operation == QLatin1String("int16"))
        answer = frame.appendInt16(quint16(value));
    else if (operation == QLatin1String("int32"))
        answer = frame.appendInt32(quint32(value));
    else if (operation == QLatin1String("sum8"))
        answer = frame.appendSum8();
    else if (operation == QLatin1String("sum8Hex"))
        answer = frame.appendSum8Hex();
    else
        answer = frame.appendXorHex();
    QCOMPARE(answer, 1);
    QCOMPARE(frame.bytes(), prefix + appended);
    QCOMPARE(frame.layout().last(), appended.size());
    QCOMPARE(frame.totalLength(), prefix.size() + appended.size());
    QCOMPARE(frame.fieldBytes(frame.fieldCount() - 1), appended);
}

void TestToolsFrame::layoutAndTotalFollowAppends()
{
    FrameBuffer frame;
    QCOMPARE(frame.appendByte(1), 1);
    QCOMPARE(frame.appendText(QStringLiteral("AB")), 1);
    QCOMPARE(frame.layout(), QList<qint32>({1, 2}));
    QCOMPARE(frame.totalLength(), 3);
    QCOMPARE(frame.appendXorHex(), 1);
    QCOMPARE(frame.bytes(), QByteArray("\x01"
                                       "AB02"));
    QCOMPARE(frame.layout(), QList<qint32>({1, 2, 2}));
    QCOMPARE(frame.totalLength(), 5);
    QCOMPARE(frame.appendText(QString::fromUtf8("\xE2\x82\xAC")), 1); // outside Latin-1
    QCOMPARE(frame.fieldBytes(3), QByteArray("?"));
    QCOMPARE(frame.appendBytes(QByteArray()), 1);
    QCOMPARE(frame.fieldCount(), 5);
    QCOMPARE(frame.fieldLength(4), 0);
    QCOMPARE(frame.totalLength(), 6);
}

void TestToolsFrame::setDataKeepsLayoutAndClearEmpties()
{
    FrameBuffer frame;
    frame.appendInt16(7);
    frame.appendByte(9);
    QCOMPARE(frame.setData(QByteArray("wxyz")), 1);
    QCOMPARE(frame.layout(), QList<qint32>({2, 1}));
    QCOMPARE(frame.totalLength(), 3);
    QCOMPARE(frame.fieldBytes(1), QByteArray("y"));
    const char raw[] = "pqrs";
    QCOMPARE(frame.setData(raw, 3), 1);
    QCOMPARE(frame.bytes(), QByteArray("pqr"));
    QCOMPARE(frame.setData(nullptr, 3), 1);
    QCOMPARE(frame.size(), 0);
    QCOMPARE(frame.setData(raw, -1), 1);
    QCOMPARE(frame.size(), 0);
    QCOMPARE(frame.fieldBytes(0), QByteArray());
    frame.clear();
    QCOMPARE(frame.fieldCount(), 0);
    QCOMPARE(frame.totalLength(), 0);
    QCOMPARE(frame.size(), 0);
}

void TestToolsFrame::writablePointer()
{
    FrameBuffer frame;
    frame.appendText(QStringLiteral("abc"));
    const QByteArray before = frame.bytes();
    frame.data()[1] = 'X';
    QCOMPARE(frame.bytes(), QByteArray("aXc"));
    QCOMPARE(before, QByteArray("abc")); // copies are not affected
}

void TestToolsFrame::fields_data()
{
    QTest::addColumn<QList<qint32>>("layout");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("bytes");
    const QList<qint32> plain{1, 2, 4};
    QTest::newRow("first") << plain << QByteArray("ABCDEFG") << 0 << 0 << 1 << QByteArray("A");
    QTest::newRow("second") << plain << QByteArray("ABCDEFG") << 1 << 1 << 2 << QByteArray("BC");
    QTest::newRow("third") << plain << QByteArray("ABCDEFG") << 2 << 3 << 4 << QByteArray("DEFG");
    QTest::newRow("not a field") << plain << QByteArray("ABCDEFG") << 3 << -1 << 0 << QByteArray();
    QTest::newRow("negative index")
        << plain << QByteArray("ABCDEFG") << -1 << -1 << 0 << QByteArray();
    QTest::newRow("cut at the frame end")
        << QList<qint32>{2, 10} << QByteArray("ABCD") << 1 << 2 << 10 << QByteArray("CD");
    QTest::newRow("beyond the frame end")
        << QList<qint32>{6, 1} << QByteArray("ABCD") << 1 << 6 << 1 << QByteArray();
    const QByteArray counted = QByteArray("AB") + QByteArray("\x03\x00\x00\x00", 4) + "xyz!";
    QTest::newRow("length from a field")
        << QList<qint32>{2, 4, -1, 1} << counted << 2 << 6 << 3 << QByteArray("xyz");
    QTest::newRow("after a counted field")
        << QList<qint32>{2, 4, -1, 1} << counted << 3 << 9 << 1 << QByteArray("!");
    QTest::newRow("one-byte length field")
        << QList<qint32>{1, 1, -1} << QByteArray("S\x02hi!") << 2 << 2 << 2 << QByteArray("hi");
    QTest::newRow("forward reference")
        << QList<qint32>{-1, 4} << QByteArray("\x02\x00\x00\x00") << 0 << 0 << 0 << QByteArray();
    QTest::newRow("after a forward reference")
        << QList<qint32>{-1, 4} << QByteArray("\x02\x00\x00\x00") << 1 << 0 << 4
        << QByteArray("\x02\x00\x00\x00");
    QTest::newRow("self reference")
        << QList<qint32>{2, -1} << QByteArray("\x01\x00") << 1 << 2 << 0 << QByteArray();
    QTest::newRow("negative count")
        << QList<qint32>{2, 4, -1} << QByteArray("AB\xFF\xFF\xFF\xFFxyz") << 2 << 6 << 0
        << QByteArray();
    QTest::newRow("count field missing")
        << QList<qint32>{2, 4, -1} << QByteArray("AB") << 2 << 6 << 0 << QByteArray();
    QTest::newRow("lowest entry") << QList<qint32>{2, std::numeric_limits<qint32>::min()}
                                  << QByteArray("ABCD") << 1 << 2 << 0 << QByteArray();
}

void TestToolsFrame::fields()
{
    QFETCH(QList<qint32>, layout);
    QFETCH(QByteArray, data);
    QFETCH(int, index);
    QFETCH(int, offset);
    QFETCH(int, length);
    QFETCH(QByteArray, bytes);
    FrameBuffer frame;
    QVERIFY(frame.setLayout(layout));
    frame.setData(data);
    QCOMPARE(frame.isFieldIndex(index), index >= 0 && index < layout.size());
    QCOMPARE(frame.fieldOffset(index), offset);
    QCOMPARE(frame.fieldLength(index), length);
    QCOMPARE(frame.fieldBytes(index), bytes);
}

void TestToolsFrame::offsetsBeyondTheIntRangeSaturate()
{
    FrameBuffer frame;
    QVERIFY(frame.setLayout({1, 4, -1, -1, 1}));
    frame.setData(QByteArray("L\xFF\xFF\xFF\x7F", 5) + "tail");
    const int intMax = std::numeric_limits<int>::max();
    QCOMPARE(frame.fieldLength(2), intMax);
    QCOMPARE(frame.fieldBytes(2), QByteArray("tail"));
    // 5 + INT_MAX does not fit an int: held at INT_MAX, where no frame byte lies.
    QCOMPARE(frame.fieldOffset(3), intMax);
    QCOMPARE(frame.fieldLength(3), intMax);
    QCOMPARE(frame.fieldBytes(3), QByteArray());
    QCOMPARE(frame.fieldOffset(4), intMax);
    QCOMPARE(frame.fieldBytes(4), QByteArray());
}

void TestToolsFrame::setLayout_data()
{
    QTest::addColumn<QList<qint32>>("layout");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("grows with zeros") << QList<qint32>{2, 4} << true << QByteArray("abc\0\0\0", 6);
    QTest::newRow("shrinks") << QList<qint32>{1, 1} << true << QByteArray("ab");
    QTest::newRow("references count 0") << QList<qint32>{1, -1, 2} << true << QByteArray("abc");
    QTest::newRow("empty") << QList<qint32>() << true << QByteArray();
    QTest::newRow("largest") << QList<qint32>{FrameBuffer::MaxLayoutSize - 3, 3} << true
                             << QByteArray("abc") + QByteArray(FrameBuffer::MaxLayoutSize - 3, 0);
    QTest::newRow("too large") << QList<qint32>{FrameBuffer::MaxLayoutSize, 1} << false
                               << QByteArray("abc");
    QTest::newRow("sum beyond int")
        << QList<qint32>{std::numeric_limits<qint32>::max(), 8} << false << QByteArray("abc");
}

void TestToolsFrame::setLayout()
{
    QFETCH(QList<qint32>, layout);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, bytes);
    FrameBuffer frame;
    frame.appendText(QStringLiteral("abc"));
    QCOMPARE(frame.setLayout(layout), accepted);
    QCOMPARE(frame.layout(), accepted ? layout : QList<qint32>{3});
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
    QTest::newRow("all but three") << 3 << 0x01;
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

void TestToolsFrame::dumpAndInteger()
{
    FrameBuffer frame;
    frame.appendByte(1);
    frame.appendText(QStringLiteral("AB"));
    QCOMPARE(frame.hexDump(), QString::fromLatin1("(0X1 0X41 0X42 ) : \x01"
                                                  "AB"));
    QCOMPARE(FrameBuffer::toInt32LE(QByteArray("\x34\x12")), 4660);
    QCOMPARE(FrameBuffer::toInt32LE(QByteArray("\xFF\xFF\xFF\xFF")), -1);
}

QTEST_APPLESS_MAIN(TestToolsFrame)

#include "tst_tools_frame.moc"
