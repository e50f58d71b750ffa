#include "ControllerSimulator.h"
#include "DemoPrograms.h"

#include <QtTest>

namespace {

QByteArray frame(const QString &text)
{
    return ControllerSimulator::buildRequest(text);
}

QByteArray endCodeOf(const QByteArray &reply)
{
    if (!reply.startsWith("\x02"
                          "0100X") ||
        !reply.endsWith("\x03\r\n") || reply.size() < 11)
        return "<malformed:" + reply.toHex() + ">";
    return reply.mid(6, 2);
}

// A syntactically valid record for a segment: every word 0001, tag of spaces for segment 1.
QString record(int segment, QChar fill = QLatin1Char('1'))
{
    return QString(ControllerSimulator::recordLength(segment), fill);
}

} // namespace

class tst_Simulator : public QObject
{
    Q_OBJECT

private slots:
    void endCodes_data();
    void endCodes();
    void silentOnForeignFrames_data();
    void silentOnForeignFrames();
    void replyWithoutPayload_data();
    void replyWithoutPayload();
    void blockReadOffsets_data();
    void blockReadOffsets();
    void openForWriteReplacesProgram();
    void blockWriteStoresUpperCase();
    void fileStateTransitions();
    void runningProgramAndWriteInhibit();
    void dataRead_data();
    void dataRead();
    void dataWriteThenRead();
    void dataWriteOutOfLimitKeepsOldValue();
    void recordHelpersRejectBadInput_data();
    void recordHelpersRejectBadInput();
    void resetRestoresDefaults();
};

void tst_Simulator::endCodes_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QByteArray>("endCode");

    const QString rec1 = record(1);
    const QString rec2 = record(2);

    // Opening
    QTest::newRow("open read") << QStringList() << "FO,1,R,0" << QByteArray("00");
    QTest::newRow("open write") << QStringList() << "FO,5,W,0" << QByteArray("00");
    QTest::newRow("open empty program for read")
        << QStringList() << "FO,19,R,0" << QByteArray("00");
    QTest::newRow("open another while open")
        << QStringList{"FO,1,R,0"} << "FO,2,W,0" << QByteArray("50");
    QTest::newRow("open program 0") << QStringList() << "FO,0,R,0" << QByteArray("52");
    QTest::newRow("open program 20") << QStringList() << "FO,20,W,0" << QByteArray("52");
    QTest::newRow("open bad mode") << QStringList() << "FO,1,X,0" << QByteArray("40");
    QTest::newRow("open last arg not 0") << QStringList() << "FO,1,R,1" << QByteArray("40");
    QTest::newRow("open missing arg") << QStringList() << "FO,1,R" << QByteArray("40");
    QTest::newRow("open signed program") << QStringList() << "FO,-1,R,0" << QByteArray("40");
    QTest::newRow("open huge program") << QStringList() << "FO,99999999999,R,0" << QByteArray("40");

    // Block read
    QTest::newRow("read ok") << QStringList{"FO,1,R,0"} << "FR,1,8" << QByteArray("00");
    QTest::newRow("read closed") << QStringList() << "FR,1,1" << QByteArray("51");
    QTest::newRow("read other program") << QStringList{"FO,1,R,0"} << "FR,2,1" << QByteArray("51");
    QTest::newRow("read on write file") << QStringList{"FO,4,W,0"} << "FR,4,1" << QByteArray("54");
    QTest::newRow("read segment 0") << QStringList{"FO,1,R,0"} << "FR,1,0" << QByteArray("52");
    QTest::newRow("read segment 31") << QStringList{"FO,1,R,0"} << "FR,1,31" << QByteArray("52");
    QTest::newRow("read past last segment")
        << QStringList{"FO,1,R,0"} << "FR,1,9" << QByteArray("52");
    QTest::newRow("read empty program") << QStringList{"FO,4,R,0"} << "FR,4,1" << QByteArray("52");
    QTest::newRow("read extra arg") << QStringList{"FO,1,R,0"} << "FR,1,1,1" << QByteArray("40");
    QTest::newRow("read missing segment") << QStringList{"FO,1,R,0"} << "FR,1" << QByteArray("40");

    // Block write
    QTest::newRow("write seg 1") << QStringList{"FO,4,W,0"} << "FW,4,1," + rec1 << QByteArray("00");
    QTest::newRow("write seg 30") << QStringList{"FO,4,W,0"} << "FW,4,30," + rec2
                                  << QByteArray("00");
    QTest::newRow("write closed") << QStringList() << "FW,4,2," + rec2 << QByteArray("51");
    QTest::newRow("write other program")
        << QStringList{"FO,4,W,0"} << "FW,5,2," + rec2 << QByteArray("51");
    QTest::newRow("write on read file")
        << QStringList{"FO,1,R,0"} << "FW,1,2," + rec2 << QByteArray("54");
    QTest::newRow("write seg 31") << QStringList{"FO,4,W,0"} << "FW,4,31," + rec2
                                  << QByteArray("52");
    QTest::newRow("write seg 1 with 92 digits")
        << QStringList{"FO,4,W,0"} << "FW,4,1," + rec2 << QByteArray("57");
    QTest::newRow("write seg 2 with 120 digits")
        << QStringList{"FO,4,W,0"} << "FW,4,2," + rec1 << QByteArray("57");
    QTest::newRow("write one digit short")
        << QStringList{"FO,4,W,0"} << "FW,4,2," + rec2.left(91) << QByteArray("57");
    QTest::newRow("write non-hex digit")
        << QStringList{"FO,4,W,0"} << "FW,4,2," + rec2.left(91) + "G" << QByteArray("57");
    QTest::newRow("write without record")
        << QStringList{"FO,4,W,0"} << "FW,4,2" << QByteArray("40");

    // Close
    QTest::newRow("close ok") << QStringList{"FO,1,R,0"} << "FC,1" << QByteArray("00");
    QTest::newRow("close closed") << QStringList() << "FC,1" << QByteArray("51");
    QTest::newRow("close other") << QStringList{"FO,1,R,0"} << "FC,2" << QByteArray("51");
    QTest::newRow("close bad number") << QStringList{"FO,1,R,0"} << "FC,x" << QByteArray("40");

    // Undefined
    QTest::newRow("undefined command") << QStringList() << "FD,1" << QByteArray("99");
    QTest::newRow("empty command") << QStringList() << "" << QByteArray("99");
    QTest::newRow("lower-case command") << QStringList() << "fo,1,R,0" << QByteArray("99");
}

void tst_Simulator::endCodes()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, request);
    QFETCH(QByteArray, endCode);

    ControllerSimulator sim;
    for (const QString &step : setup)
        QCOMPARE(endCodeOf(sim.handleFrame(frame("0100X" + step))), QByteArray("00"));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100X" + request))), endCode);
}

void tst_Simulator::silentOnForeignFrames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("no STX") << QByteArray("0100XFO,1,R,0\x03\r\n") << QByteArray();
    QTest::newRow("no ETX") << QByteArray("\x02"
                                          "0100XFO,1,R,0\r\n")
                            << QByteArray();
    QTest::newRow("no LF") << QByteArray("\x02"
                                         "0100XFO,1,R,0\x03\r")
                           << QByteArray();
    QTest::newRow("other station") << frame("0200XFO,1,R,0") << QByteArray();
    QTest::newRow("bad sub-address")
        << frame("0101XFO,1,R,0") << ControllerSimulator::buildReply("40");
    QTest::newRow("control byte in text")
        << frame(QString("0100XFO,1\tR,0")) << ControllerSimulator::buildReply("40");
}

void tst_Simulator::silentOnForeignFrames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, reply);

    ControllerSimulator sim;
    QCOMPARE(sim.handleFrame(bytes), reply);
    QCOMPARE(sim.openMode(), ControllerSimulator::FileMode::Closed);
    QCOMPARE(sim.frameCount(), 1);
}

void tst_Simulator::replyWithoutPayload_data()
{
    QTest::addColumn<QStringList>("requests");

    QTest::newRow("open") << QStringList{"FO,3,R,0"};
    QTest::newRow("close") << QStringList{"FO,3,R,0", "FC,3"};
    QTest::newRow("block write") << QStringList{"FO,7,W,0", "FW,7,2," + record(2)};
    QTest::newRow("data write") << QStringList{"WS,100W,5"};
    QTest::newRow("error code") << QStringList{"FC,3"};
}

void tst_Simulator::replyWithoutPayload()
{
    QFETCH(QStringList, requests);

    ControllerSimulator sim;
    QByteArray reply;
    for (const QString &request : requests)
        reply = sim.handleFrame(frame("0100X" + request));
    // STX "0100X" code ETX CR LF, nothing else.
    QCOMPARE(reply.size(), 11);
    QCOMPARE(reply.left(6), QByteArray("\x02"
                                       "0100X"));
    QCOMPARE(reply.right(3), QByteArray("\x03\r\n"));
}

void tst_Simulator::blockReadOffsets_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("segment");

    QTest::newRow("P1 S1") << 1 << 1;
    QTest::newRow("P1 S2") << 1 << 2;
    QTest::newRow("P9 S9") << 9 << 9;
    QTest::newRow("P1 S10") << 1 << 10;
    QTest::newRow("P10 S1") << 10 << 1;
    QTest::newRow("P10 S10") << 10 << 10;
    QTest::newRow("P19 S30") << 19 << 30;
}

void tst_Simulator::blockReadOffsets()
{
    QFETCH(int, program);
    QFETCH(int, segment);

    ControllerSimulator sim;
    // Distinct digits per segment so an off-by-one offset cannot go unnoticed.
    QString rec;
    for (int i = 0; i < ControllerSimulator::recordLength(segment); ++i)
        rec += QString::number(i % 16, 16).toUpper();
    QVERIFY(sim.setSegmentRecord(program, segment, rec));
    sim.handleFrame(frame(QString("0100XFO,%1,R,0").arg(program)));

    const QByteArray reply =
        sim.handleFrame(frame(QString("0100XFR,%1,%2").arg(program).arg(segment)));
    QCOMPARE(endCodeOf(reply), QByteArray("00"));
    QCOMPARE(reply.mid(8, 4), QByteArray("XFR,"));

    // Where the transfer worker starts the block data.
    const int offset = 16 + (program > 9 ? 1 : 0) + (segment > 9 ? 1 : 0);
    const QByteArray data = reply.mid(offset);
    QCOMPARE(data.size(), segment == 1 ? 123 : 95);
    QCOMPARE(QString::fromLatin1(data.left(data.size() - 3)), rec);
    QCOMPARE(data.right(3), QByteArray("\x03\r\n"));
}

void tst_Simulator::openForWriteReplacesProgram()
{
    ControllerSimulator sim;
    QCOMPARE(sim.programRecords(2).size(), 10);

    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFO,2,W,0"))), QByteArray("00"));
    QVERIFY(sim.programRecords(2).isEmpty());
    const QString rec1 = record(1, QLatin1Char('A'));
    const QString rec3 = record(3, QLatin1Char('B'));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFW,2,1," + rec1))), QByteArray("00"));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFW,2,3," + rec3))), QByteArray("00"));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFC,2"))), QByteArray("00"));

    QCOMPARE(sim.programRecords(2), (QStringList{rec1, QString(), rec3}));
    sim.handleFrame(frame("0100XFO,2,R,0"));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFR,2,2"))), QByteArray("52"));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFR,2,3"))), QByteArray("00"));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFR,2,4"))), QByteArray("52"));
    // Other programs are untouched.
    QCOMPARE(sim.programRecords(1), DemoPrograms::records(1));
}

void tst_Simulator::blockWriteStoresUpperCase()
{
    ControllerSimulator sim;
    const QString lower = record(2, QLatin1Char('c'));
    sim.handleFrame(frame("0100XFO,6,W,0"));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFW,6,2," + lower))), QByteArray("00"));
    QCOMPARE(sim.segmentRecord(6, 2), lower.toUpper());
}

void tst_Simulator::fileStateTransitions()
{
    ControllerSimulator sim;
    QCOMPARE(sim.openMode(), ControllerSimulator::FileMode::Closed);
    QCOMPARE(sim.openProgram(), 0);

    sim.handleFrame(frame("0100XFO,12,R,0"));
    QCOMPARE(sim.openMode(), ControllerSimulator::FileMode::Read);
    QCOMPARE(sim.openProgram(), 12);

    // A refused open leaves the open file as it was.
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFO,3,W,0"))), QByteArray("50"));
    QCOMPARE(sim.openMode(), ControllerSimulator::FileMode::Read);
    QCOMPARE(sim.openProgram(), 12);

    sim.handleFrame(frame("0100XFC,12"));
    QCOMPARE(sim.openMode(), ControllerSimulator::FileMode::Closed);

    sim.handleFrame(frame("0100XFO,3,W,0"));
    QCOMPARE(sim.openMode(), ControllerSimulator::FileMode::Write);
    sim.closeAnyFile();
    QCOMPARE(sim.openMode(), ControllerSimulator::FileMode::Closed);
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFC,3"))), QByteArray("51"));
}

void tst_Simulator::runningProgramAndWriteInhibit()
{
    ControllerSimulator sim;
    sim.setRunningProgram(2);
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFO,2,W,0"))), QByteArray("58"));
    QCOMPARE(sim.programRecords(2), DemoPrograms::records(2));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFO,2,R,0"))), QByteArray("00"));
    sim.handleFrame(frame("0100XFC,2"));

    sim.setFileWriteInhibited(true);
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFO,1,W,0"))), QByteArray("59"));
    QCOMPARE(sim.openMode(), ControllerSimulator::FileMode::Closed);
    QCOMPARE(sim.programRecords(1), DemoPrograms::records(1));
    sim.setFileWriteInhibited(false);
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XFO,1,W,0"))), QByteArray("00"));
}

void tst_Simulator::dataRead_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QByteArray>("reply");

    auto ok = [](const QByteArray &values) {
        return ControllerSimulator::buildReply("00", values);
    };
    QTest::newRow("SP limits") << "RS,4509W,2" << ok(",-200,1300");
    QTest::newRow("event 1 type") << "RS,3501W,1" << ok(",0");
    QTest::newRow("event 2 type") << "RS,3505W,1" << ok(",50");
    QTest::newRow("event 3 type") << "RS,3509W,1" << ok(",8");
    QTest::newRow("16 words") << "RS,0W,16" << ok(",0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
    QTest::newRow("last address") << "RS,65535W,1" << ok(",0");
    QTest::newRow("17 words") << "RS,0W,17" << ControllerSimulator::buildReply("41");
    QTest::newRow("past the end") << "RS,65535W,2" << ControllerSimulator::buildReply("42");
    QTest::newRow("address too big") << "RS,70000W,1" << ControllerSimulator::buildReply("42");
    QTest::newRow("no W suffix") << "RS,4509,2" << ControllerSimulator::buildReply("40");
    QTest::newRow("count 0") << "RS,4509W,0" << ControllerSimulator::buildReply("40");
    QTest::newRow("count missing") << "RS,4509W" << ControllerSimulator::buildReply("40");
    QTest::newRow("letters") << "RS,abcW,1" << ControllerSimulator::buildReply("40");
}

void tst_Simulator::dataRead()
{
    QFETCH(QString, request);
    QFETCH(QByteArray, reply);

    ControllerSimulator sim;
    QCOMPARE(sim.handleFrame(frame("0100X" + request)), reply);
}

void tst_Simulator::dataWriteThenRead()
{
    ControllerSimulator sim;
    QCOMPARE(sim.handleFrame(frame("0100XWS,4509W,-1999,9999")),
             ControllerSimulator::buildReply("00"));
    QCOMPARE(sim.rangeParameters(), (QList<qint32>{-1999, 9999, 0, 50, 8}));
    QCOMPARE(sim.handleFrame(frame("0100XWS,200W,-32768,32767,7")),
             ControllerSimulator::buildReply("00"));
    QCOMPARE(sim.handleFrame(frame("0100XRS,200W,3")),
             ControllerSimulator::buildReply("00", ",-32768,32767,7"));

    QStringList seventeen;
    for (int i = 0; i < 17; ++i)
        seventeen << "1";
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XWS,300W," + seventeen.join(',')))),
             QByteArray("41"));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XWS,300W,1,x"))), QByteArray("40"));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XWS,65535W,1,2"))), QByteArray("42"));
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XWS,300W"))), QByteArray("40"));
    // Refused requests write nothing.
    QCOMPARE(sim.word(300), qint16(0));
    QCOMPARE(sim.word(301), qint16(0));
    QCOMPARE(sim.word(65535), qint16(0));
}

void tst_Simulator::dataWriteOutOfLimitKeepsOldValue()
{
    ControllerSimulator sim;
    sim.setWord(11, 99);
    QCOMPARE(endCodeOf(sim.handleFrame(frame("0100XWS,10W,1,40000,3"))), QByteArray("44"));
    QCOMPARE(sim.word(10), qint16(1));
    QCOMPARE(sim.word(11), qint16(99));
    QCOMPARE(sim.word(12), qint16(3));
}

void tst_Simulator::recordHelpersRejectBadInput_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("segment");
    QTest::addColumn<QString>("rec");

    QTest::newRow("program 0") << 0 << 1 << record(1);
    QTest::newRow("program 20") << 20 << 2 << record(2);
    QTest::newRow("segment 0") << 1 << 0 << record(2);
    QTest::newRow("segment 31") << 1 << 31 << record(2);
    QTest::newRow("short") << 1 << 2 << record(2).left(91);
    QTest::newRow("seg 1 with 92") << 1 << 1 << record(2);
    QTest::newRow("not hex") << 1 << 2 << record(2, QLatin1Char('Z'));
}

void tst_Simulator::recordHelpersRejectBadInput()
{
    QFETCH(int, program);
    QFETCH(int, segment);
    QFETCH(QString, rec);

    ControllerSimulator sim;
    QList<QStringList> before;
    for (int p = 1; p <= ControllerSimulator::ProgramCount; ++p)
        before << sim.programRecords(p);
    QString error;
    QVERIFY(!sim.setSegmentRecord(program, segment, rec, &error));
    QVERIFY(!error.isEmpty());
    for (int p = 1; p <= ControllerSimulator::ProgramCount; ++p)
        QCOMPARE(sim.programRecords(p), before.at(p - 1));
}

void tst_Simulator::resetRestoresDefaults()
{
    ControllerSimulator sim;
    sim.clearAllPrograms();
    sim.setWord(4509, 0);
    sim.handleFrame(frame("0100XFO,1,R,0"));
    sim.clearSegment(1, 1);
    QVERIFY(sim.programRecords(2).isEmpty());

    sim.resetToDefaults();
    QCOMPARE(sim.frameCount(), 0);
    QCOMPARE(sim.openMode(), ControllerSimulator::FileMode::Closed);
    QCOMPARE(sim.rangeParameters(), (QList<qint32>{-200, 1300, 0, 50, 8}));
    for (int p = 1; p <= ControllerSimulator::ProgramCount; ++p)
        QCOMPARE(sim.programRecords(p), DemoPrograms::records(p));
    QVERIFY(sim.programRecords(3).size() >= 8);
    QVERIFY(sim.programRecords(4).isEmpty());

    QVERIFY(sim.setProgramRecords(5, {record(1), QString(), record(3)}));
    QCOMPARE(sim.segmentRecord(5, 3), record(3));
    sim.clearSegment(5, 3);
    QCOMPARE(sim.programRecords(5), QStringList{record(1)});
    sim.clearProgram(5);
    QVERIFY(sim.programRecords(5).isEmpty());
}

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"
