#include "ControllerSimulator.h"
#include "DemoPrograms.h"

#include <QtTest>

namespace {

using Mode = ControllerSimulator::FileMode;

QByteArray req(const QString &text)
{
    return ControllerSimulator::buildRequest("0100X" + text);
}

QByteArray reply(const QByteArray &endCode, const QByteArray &payload = {})
{
    return ControllerSimulator::buildReply(endCode, payload);
}

// A syntactically valid record for a segment.
QString record(int segment, QChar fill = QLatin1Char('1'))
{
    return QString(ControllerSimulator::recordLength(segment), fill);
}

} // namespace

class tst_Simulator : public QObject
{
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void blockReadOffsets_data();
    void blockReadOffsets();
    void openForWriteReplacesProgram();
    void fileState();
    void dataWrites();
    void programHelpers();
};

void tst_Simulator::replies_data()
{
    QTest::addColumn<QStringList>("setup"); // requests answered "00" first
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply");
    auto row = [](const char *name, const QStringList &setup, const QByteArray &frame,
                  const QByteArray &reply) { QTest::newRow(name) << setup << frame << reply; };
    auto code = [&](const char *name, const QStringList &setup, const QString &text,
                    const char *endCode) { row(name, setup, req(text), reply(endCode)); };
    const QStringList none, openR1{"FO,1,R,0"}, openW4{"FO,4,W,0"};
    const QString rec1 = record(1), rec2 = record(2);

    // Framing: the exact bytes of a reply; frames not for this station get no reply at all.
    const QByteArray stx("\x02");
    row("bad sub-address", none, stx + "0101XFO,1,R,0\x03\r\n", stx + "0100X40\x03\r\n");
    row("control byte in text", none, req("F\tO,1,R,0"), reply("40"));
    row("empty", none, "", "");
    row("no STX", none, "0100XFO,1,R,0\x03\r\n", "");
    row("no ETX", none, stx + "0100XFO,1,R,0\r\n", "");
    row("no LF", none, req("FO,1,R,0").chopped(1), "");
    row("other station", none, stx + "0200XFO,1,R,0\x03\r\n", "");

    code("open write", none, "FO,5,W,0", "00");
    code("open empty program for read", none, "FO,19,R,0", "00");
    code("open another while open", openR1, "FO,2,W,0", "50");
    code("open while open, before the number", openR1, "FO,20,W,0", "50");
    code("open program 0", none, "FO,0,R,0", "52");
    code("open program 20", none, "FO,20,W,0", "52");
    code("open bad mode", none, "FO,1,X,0", "40");
    code("open last arg not 0", none, "FO,1,R,1", "40");
    code("open missing arg", none, "FO,1,R", "40");
    code("open signed program", none, "FO,-1,R,0", "40");
    code("open huge program", none, "FO,99999999999,R,0", "40");

    code("read closed", none, "FR,1,1", "51");
    code("read other program", openR1, "FR,2,1", "51");
    code("read on write file", openW4, "FR,4,1", "54");
    code("read segment 0", openR1, "FR,1,0", "52");
    code("read segment 31", openR1, "FR,1,31", "52");
    code("read past last segment", openR1, "FR,1,9", "52");
    code("read empty program", {"FO,4,R,0"}, "FR,4,1", "52");
    code("read extra arg", openR1, "FR,1,1,1", "40");

    code("write seg 30", openW4, "FW,4,30," + rec2, "00");
    code("write closed", none, "FW,4,2," + rec2, "51");
    code("write other program", openW4, "FW,5,2," + rec2, "51");
    code("write on read file", openR1, "FW,1,2," + rec2, "54");
    code("write seg 31", openW4, "FW,4,31," + rec2, "52");
    code("write seg 1 with 92 digits", openW4, "FW,4,1," + rec2, "57");
    code("write one digit short", openW4, "FW,4,2," + rec2.left(91), "57");
    code("write non-hex digit", openW4, "FW,4,2," + rec2.left(91) + "G", "57");
    code("write without record", openW4, "FW,4,2", "40");

    code("close closed", none, "FC,1", "51");
    code("close other", openR1, "FC,2", "51");
    code("close bad number", openR1, "FC,x", "40");

    code("undefined command", none, "FD,1", "99");
    code("empty command", none, "", "99");
    code("lower-case command", none, "fo,1,R,0", "99");

    // Data reads: the defaults of the range parameters, the count and address limits.
    row("SP limits", none, req("RS,4509W,2"), stx + "0100X00,-200,1300\x03\r\n");
    row("event types", none, req("RS,3501W,9"), reply("00", ",0,0,0,0,50,0,0,0,8"));
    row("16 words", none, req("RS,0W,16"), reply("00", QByteArray(",0").repeated(16)));
    row("last address", none, req("RS,65535W,1"), reply("00", ",0"));
    code("17 words", none, "RS,0W,17", "41");
    code("past the end", none, "RS,65535W,2", "42");
    code("no W suffix", none, "RS,4509,2", "40");
    code("count 0", none, "RS,4509W,0", "40");
    code("letters", none, "RS,abcW,1", "40");
}

void tst_Simulator::replies()
{
    QFETCH(QStringList, setup);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    ControllerSimulator sim;
    for (const QString &step : setup)
        QCOMPARE(sim.handleFrame(req(step)), ::reply("00"));
    const Mode before = sim.openMode();
    QCOMPARE(sim.handleFrame(frame), reply);
    QCOMPARE(sim.frameCount(), setup.size() + 1);
    if (!reply.contains("X00")) // a refused request leaves the file state as it was
        QCOMPARE(sim.openMode(), before);
}

void tst_Simulator::blockReadOffsets_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("segment");
    QTest::newRow("P9 S9") << 9 << 9;
    QTest::newRow("P10 S1") << 10 << 1;
    QTest::newRow("P19 S30") << 19 << 30;
}

void tst_Simulator::blockReadOffsets()
{
    QFETCH(int, program);
    QFETCH(int, segment);
    ControllerSimulator sim;
    // Distinct digits along the record, so that an offset one off cannot go unnoticed.
    QString rec;
    for (int i = 0; i < ControllerSimulator::recordLength(segment); ++i)
        rec += QString::number(i % 16, 16).toUpper();
    QVERIFY(sim.setSegmentRecord(program, segment, rec));
    sim.handleFrame(req(QString("FO,%1,R,0").arg(program)));
    const QByteArray read = sim.handleFrame(req(QString("FR,%1,%2").arg(program).arg(segment)));
    QCOMPARE(read,
             reply("00", QString("XFR,%1,%2,%3").arg(program).arg(segment).arg(rec).toLatin1()));
    // Where the transfer worker starts the block data.
    const int offset = 16 + (program > 9 ? 1 : 0) + (segment > 9 ? 1 : 0);
    QCOMPARE(read.mid(offset), rec.toLatin1() + "\x03\r\n");
}

void tst_Simulator::openForWriteReplacesProgram()
{
    ControllerSimulator sim;
    QCOMPARE(sim.programRecords(2).size(), 10);
    QCOMPARE(sim.handleFrame(req("FO,2,W,0")), reply("00"));
    QVERIFY(sim.programRecords(2).isEmpty());
    const QString rec1 = record(1, QLatin1Char('a')), rec3 = record(3, QLatin1Char('B'));
    QCOMPARE(sim.handleFrame(req("FW,2,1," + rec1)), reply("00"));
    QCOMPARE(sim.handleFrame(req("FW,2,3," + rec3)), reply("00"));
    QCOMPARE(sim.handleFrame(req("FC,2")), reply("00"));
    // Digits are kept in upper case; the segment not written stays empty.
    QCOMPARE(sim.programRecords(2), (QStringList{rec1.toUpper(), QString(), rec3}));
    sim.handleFrame(req("FO,2,R,0"));
    QCOMPARE(sim.handleFrame(req("FR,2,2")), reply("52"));
    QCOMPARE(sim.handleFrame(req("FR,2,4")), reply("52"));
    QCOMPARE(sim.programRecords(1), DemoPrograms::records(1)); // other programs are untouched
}

void tst_Simulator::fileState()
{
    ControllerSimulator sim;
    sim.handleFrame(req("FO,12,R,0"));
    QCOMPARE(sim.openMode(), Mode::Read);
    QCOMPARE(sim.openProgram(), 12);
    sim.handleFrame(req("FC,12"));
    QCOMPARE(sim.openMode(), Mode::Closed);
    QCOMPARE(sim.openProgram(), 0);
    sim.handleFrame(req("FO,3,W,0"));
    QCOMPARE(sim.openMode(), Mode::Write);
    sim.closeAnyFile();
    QCOMPARE(sim.handleFrame(req("FC,3")), reply("51"));

    // The running program cannot be opened for write, nor any while writes are inhibited.
    sim.setRunningProgram(2);
    QCOMPARE(sim.handleFrame(req("FO,2,W,0")), reply("58"));
    QCOMPARE(sim.handleFrame(req("FO,2,R,0")), reply("00"));
    sim.handleFrame(req("FC,2"));
    sim.setFileWriteInhibited(true);
    QCOMPARE(sim.handleFrame(req("FO,1,W,0")), reply("59"));
    QCOMPARE(sim.programRecords(1), DemoPrograms::records(1));
    QCOMPARE(sim.programRecords(2), DemoPrograms::records(2));
    sim.setFileWriteInhibited(false);
    QCOMPARE(sim.handleFrame(req("FO,1,W,0")), reply("00"));
}

void tst_Simulator::dataWrites()
{
    ControllerSimulator sim;
    QCOMPARE(sim.handleFrame(req("WS,4509W,-1999,9999")), reply("00"));
    QCOMPARE(sim.rangeParameters(), (QList<qint32>{-1999, 9999, 0, 50, 8}));
    QCOMPARE(sim.handleFrame(req("WS,200W,-32768,32767,7")), reply("00"));
    QCOMPARE(sim.handleFrame(req("RS,200W,3")), reply("00", ",-32768,32767,7"));
    // Refused requests write nothing.
    QCOMPARE(sim.handleFrame(req("WS,300W," + QString("1,").repeated(16) + "1")), reply("41"));
    QCOMPARE(sim.handleFrame(req("WS,300W,1,x")), reply("40"));
    QCOMPARE(sim.handleFrame(req("WS,65535W,1,2")), reply("42"));
    QCOMPARE(sim.handleFrame(req("WS,300W")), reply("40"));
    QCOMPARE((QList<qint16>{sim.word(300), sim.word(301), sim.word(65535)}),
             (QList<qint16>{0, 0, 0}));
    // A value out of limit keeps the old one; the others are written.
    sim.setWord(11, 99);
    QCOMPARE(sim.handleFrame(req("WS,10W,1,40000,3")), reply("44"));
    QCOMPARE((QList<qint16>{sim.word(10), sim.word(11), sim.word(12)}), (QList<qint16>{1, 99, 3}));
}

void tst_Simulator::programHelpers()
{
    ControllerSimulator sim;
    QString error;
    // Bad numbers and records are refused with a reason, and change nothing.
    QVERIFY(!sim.setSegmentRecord(0, 1, record(1), &error) && !error.isEmpty());
    QVERIFY(!sim.setSegmentRecord(1, 31, record(2), &error));
    QVERIFY(!sim.setSegmentRecord(1, 1, record(2), &error));
    QVERIFY(!sim.setSegmentRecord(1, 2, record(2, QLatin1Char('Z')), &error));
    QCOMPARE(sim.programRecords(1), DemoPrograms::records(1));

    QVERIFY(sim.setProgramRecords(5, {record(1), QString(), record(3)}));
    QCOMPARE(sim.segmentRecord(5, 3), record(3));
    sim.clearSegment(5, 3); // trailing gaps are dropped as well
    QCOMPARE(sim.programRecords(5), QStringList{record(1)});
    sim.clearProgram(5);
    QVERIFY(sim.programRecords(5).isEmpty());

    sim.clearAllPrograms();
    QVERIFY(sim.programRecords(2).isEmpty());
    sim.setWord(4509, 0);
    sim.handleFrame(req("FO,1,R,0"));
    sim.resetToDefaults();
    QCOMPARE(sim.frameCount(), 0);
    QCOMPARE(sim.openMode(), Mode::Closed);
    QCOMPARE(sim.rangeParameters(), (QList<qint32>{-200, 1300, 0, 50, 8}));
    for (int p = 1; p <= ControllerSimulator::ProgramCount; ++p)
        QCOMPARE(sim.programRecords(p), DemoPrograms::records(p));
    QVERIFY(sim.programRecords(4).isEmpty());
}

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"
