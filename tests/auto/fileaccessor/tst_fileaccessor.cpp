// The transfer worker against the simulated controller: frames, repeats, progress, signal order,
// the program CSV file and the exact bytes of the error logs.

#include "ControllerSimulator.h"
#include "FaultPlan.h"
#include "FileAccessor.h"
#include "ProgramFormat.h"
#include "ScriptedPort.h"
#include "SimulatedPort.h"
#include "TransferTestSupport.h"
#include "WorkerHarness.h"

#include <QtTest>

using namespace TestSupport;

namespace {

const QList<int> DefaultRanges = {-200, 1300, 0, 50, 8};

QByteArray logOf(const QStringList &lines)
{
    return lines.join(QLatin1Char('\n'))
        .replace(QLatin1Char('\n'), QStringLiteral("\r\n"))
        .toUtf8();
}

QStringList requestsOf(const SimulatedPort &port)
{
    QStringList requests;
    for (const auto &entry : port.trace()) {
        if (entry.direction == SimulatedPort::Direction::Request)
            requests << QString::fromLatin1(entry.bytes.mid(1, entry.bytes.size() - 4));
    }
    return requests;
}

FaultPlan planOf(const QStringList &specs)
{
    FaultPlan plan;
    QString error;
    if (!FaultPlan::parse(specs, plan, &error))
        qFatal("bad fault spec: %s", qPrintable(error));
    return plan;
}

// Puts the rows into the program CSV file of a program, as a user would.
void installCsv(int program, const QList<QStringList> &rows)
{
    QFile f(WorkerHarness::appFile(QStringLiteral("PROG_%1.txt").arg(program)));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(csvBytes(rows));
}

} // namespace

class tst_FileAccessor : public QObject
{
    Q_OBJECT

private slots:
    void init() { WorkerHarness::removeAppFiles(); }
    void cleanupTestCase() { WorkerHarness::removeAppFiles(); }

    void exchangeFramesAndPauses();
    void endCodeMessages_data();
    void endCodeMessages();
    void readWholeProgram_data();
    void readWholeProgram();
    void readProgressOfThirtySegments();
    void readOpenAlreadyOpen();
    void readSegmentWithoutProgram();
    void readRetries_data();
    void readRetries();
    void readRecoversFromGlitches_data();
    void readRecoversFromGlitches();
    void readTwoDigitNumbersAndBlockLengths_data();
    void readTwoDigitNumbersAndBlockLengths();
    void readErrorLogReplacedAndKept();
    void readCsvSaveFailure();
    void writeBackGivesSameMemory();
    void writeHeaderOnly();
    void writeHeaderLineAlone();
    void writeInvalidMiddleSegment();
    void writeUsesOnlyCountedRows();
    void writeMissingCsv();
    void writeRetryStopsAnswering();
    void writeEndCodeCountsAsWritten();
    void namesAndMountPath();
};

void tst_FileAccessor::exchangeFramesAndPauses()
{
    WorkerHarness h;
    SimulatedPort port;
    h.worker->setPort(&port);
    h.read(2, 2);
    QCOMPARE(requestsOf(port),
             (QStringList{"0100XFO,2,R,0", "0100XFR,2,1", "0100XFR,2,2", "0100XFC,2"}));
    QCOMPARE(h.takePauses(), (QList<int>{300, 350, 350, 300}));

    // Every command is preceded by a discard of stale input, and reads use the read limits.
    ScriptedPort scripted;
    scripted.queueReply("\x02"
                        "0100X50\x03\r\n");
    h.worker->setPort(&scripted);
    h.read(7, 1);
    QCOMPARE(scripted.calls.size(), 3);
    QCOMPARE(scripted.calls.at(0).data, QByteArray("12=0"));
    QCOMPARE(scripted.calls.at(1).data, QByteArray("\x02"
                                                   "0100XFO,7,R,0\x03\r\n"));
    QCOMPARE(scripted.calls.at(1).length, 17);
    QCOMPARE(scripted.calls.at(2).what, QByteArray("read"));
    QCOMPARE(scripted.calls.at(2).length, 16);
}

void tst_FileAccessor::endCodeMessages_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("40") << "40"
                        << "Request message is in error.";
    QTest::newRow("47") << "47"
                        << "Mode can not be changed.";
    QTest::newRow("51") << "51"
                        << "File is not open yet.";
    QTest::newRow("57") << "57"
                        << "Block data of File block WRITE is in error.";
    QTest::newRow("59") << "59"
                        << "File OPEN, File block WRITE and File DELETE are inhibited.";
    QTest::newRow("99") << "99"
                        << "The command is undefined.";
    QTest::newRow("unknown 43") << "43"
                                << "";
}

void tst_FileAccessor::endCodeMessages()
{
    QFETCH(QString, code);
    QFETCH(QString, message);
    WorkerHarness h;
    SimulatedPort port;
    port.setFaultPlan(planOf({QStringLiteral("block-read:nth=2:end-code=%1").arg(code)}));
    h.worker->setPort(&port);
    h.read(1, 3);
    QCOMPARE(WorkerHarness::fileBytes("READ_PROG_1_ERROR.txt"),
             logOf({"Program 1:", "Seg2:" + message}));
    QCOMPARE(h.takeEvents(),
             (QStringList{"progress 33", "progress 66", "progress 100", "RF false", "RE true"}));
}

void tst_FileAccessor::readWholeProgram_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("segments");
    QTest::addColumn<QStringList>("progress");
    QTest::newRow("one segment") << 3 << 1 << QStringList{"progress 100"};
    QTest::newRow("three segments")
        << 1 << 3 << QStringList{"progress 33", "progress 66", "progress 100"};
    QTest::newRow("eight segments")
        << 2 << 8 << QStringList{"progress 12", "progress 25", "progress 37", "progress 50",
                                 "progress 62", "progress 75", "progress 87", "progress 100"};
}

void tst_FileAccessor::readWholeProgram()
{
    QFETCH(int, program);
    QFETCH(int, segments);
    QFETCH(QStringList, progress);
    WorkerHarness h;
    SimulatedPort port;
    h.worker->setPort(&port);
    h.read(program, segments, 1);
    QCOMPARE(h.takeEvents(), progress + QStringList{"RF false"});
    QList<int> wanted;
    for (int s = 1; s <= segments; ++s)
        wanted << s;
    const QByteArray file = WorkerHarness::fileBytes(QStringLiteral("PROG_%1.txt").arg(program));
    QCOMPARE(file, csvBytes(rowsOf(port.simulator(), program, wanted)));
    QVERIFY(!QFile::exists(
        WorkerHarness::appFile(QStringLiteral("READ_PROG_%1_ERROR.txt").arg(program))));
}

void tst_FileAccessor::readProgressOfThirtySegments()
{
    WorkerHarness h;
    SimulatedPort port;
    QStringList records = port.simulator().programRecords(1);
    while (records.size() < 30)
        records << records.at(1 + records.size() % 7);
    QVERIFY(port.simulator().setProgramRecords(4, records));
    h.worker->setPort(&port);
    h.read(4, 30);
    const QStringList events = h.takeEvents();
    QCOMPARE(events.size(), 31);
    QCOMPARE(events.mid(0, 6), (QStringList{"progress 3", "progress 6", "progress 10",
                                            "progress 13", "progress 16", "progress 20"}));
    QCOMPARE(events.at(28), QStringLiteral("progress 96"));
    QCOMPARE(events.at(29), QStringLiteral("progress 100"));
    QCOMPARE(events.at(30), QStringLiteral("RF false"));
}

void tst_FileAccessor::readOpenAlreadyOpen()
{
    WorkerHarness h;
    SimulatedPort port;
    port.simulator().handleFrame(ControllerSimulator::buildRequest("0100XFO,3,R,0"));
    h.worker->setPort(&port);
    h.read(1, 3);
    QCOMPARE(h.takeEvents(), (QStringList{"RF false", "RE true"}));
    QCOMPARE(requestsOf(port), QStringList{"0100XFO,1,R,0"}); // no segment read, no close
    QVERIFY(!QFile::exists(WorkerHarness::appFile("PROG_1.txt")));
    QCOMPARE(WorkerHarness::fileBytes("READ_PROG_1_ERROR.txt"),
             QByteArray("Program 1:\r\nFile is already open."));
}

void tst_FileAccessor::readSegmentWithoutProgram()
{
    WorkerHarness h;
    SimulatedPort port;
    port.simulator().clearSegment(1, 2);
    h.worker->setPort(&port);
    h.read(1, 3);
    QCOMPARE(h.takeEvents(),
             (QStringList{"progress 33", "progress 66", "progress 100", "RF false", "RE true"}));
    QCOMPARE(WorkerHarness::fileBytes("READ_PROG_1_ERROR.txt"),
             QByteArray("Program 1:\r\nSeg2:Program number or segment number is in error. No "
                        "program in the segment."));
    QCOMPARE(WorkerHarness::fileBytes("PROG_1.txt"), csvBytes(rowsOf(port.simulator(), 1, {1, 3})));
}

void tst_FileAccessor::readRetries_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("retries");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<bool>("saved");
    const QString open = "Opening the Program 1 file fail. Error Code 1.";
    const QString seg = "Reading the Program 1 file fail. Error Code 1.";
    QTest::newRow("silent controller, 2 retries")
        << QStringList{"any:no-reply"} << 2
        << QStringList{"Program 1:", open, "First retry.",
                       open,         open, "Read File retry time is over 2 times."}
        << false;
    QTest::newRow("silent controller, 4 retries")
        << QStringList{"any:no-reply"} << 4 << QStringList{"Program 1:",
                                                           open,
                                                           "First retry.",
                                                           open,
                                                           "Second retry.",
                                                           open,
                                                           "3 st retry.",
                                                           open,
                                                           open,
                                                           "Read File retry time is over 4 times."}
        << false;
    QTest::newRow("silent controller, no retries")
        << QStringList{"any:no-reply"} << 0 << QStringList{"Program 1:", open} << false;
    QTest::newRow("stops answering after the open, 1 retry")
        << QStringList{"any:nth=2:count=0:no-reply"} << 1
        << QStringList{"Program 1:",
                       seg,
                       seg,
                       "The retry time of reading the Program 1 file is over 1 times.",
                       open,
                       "Read File retry time is over 1 times."}
        << false;
    // A repeat that the controller refuses with an end code ends the repeats; the refusal is
    // dropped with the repeat, the first attempt's lines stay.
    QTest::newRow("repeat refused")
        << QStringList{"open-read:nth=2:count=0:end-code=50", "block-read:no-reply"} << 1
        << QStringList{"Program 1:", seg, seg,
                       "The retry time of reading the Program 1 file is over 1 times."}
        << false;
    // Without repeats a lost segment is passed over and the rest is still read and saved.
    QTest::newRow("lost segment, no retries")
        << QStringList{"block-read:nth=2:no-reply"} << 0 << QStringList{"Program 1:", seg} << true;
}

void tst_FileAccessor::readRetries()
{
    QFETCH(QStringList, faults);
    QFETCH(int, retries);
    QFETCH(QStringList, log);
    QFETCH(bool, saved);
    WorkerHarness h;
    SimulatedPort port;
    port.setRetryCount(retries);
    port.setFaultPlan(planOf(faults));
    h.worker->setPort(&port);
    h.read(1, 3);
    QCOMPARE(WorkerHarness::fileBytes("READ_PROG_1_ERROR.txt"), logOf(log));
    const QStringList events = h.takeEvents();
    QCOMPARE(events.mid(events.size() - 2), (QStringList{"RF false", "RE true"}));
    QCOMPARE(QFile::exists(WorkerHarness::appFile("PROG_1.txt")), saved);
    if (saved) {
        QCOMPARE(WorkerHarness::fileBytes("PROG_1.txt"),
                 csvBytes(rowsOf(port.simulator(), 1, {1, 3})));
    }
}

void tst_FileAccessor::readRecoversFromGlitches_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("line");
    QTest::newRow("lost reply") << "block-read:nth=2:no-reply"
                                << "Reading the Program 1 file fail. Error Code 1.";
    QTest::newRow("garbled header") << "block-read:nth=2:garbled"
                                    << "Reading the Program 1 file fail. Error Code 1.";
    QTest::newRow("record one short") << "block-read:nth=2:short"
                                      << "Reading the Program 1 file fail. Error Code 2.";
    QTest::newRow("record one long") << "block-read:nth=2:long"
                                     << "Reading the Program 1 file fail. Error Code 2.";
    QTest::newRow("record digit garbled") << "block-read:nth=2:garbled=40"
                                          << "Reading the Program 1 file fail. Error Code 2.";
    QTest::newRow("truncated") << "block-read:nth=2:truncated=30"
                               << "Reading the Program 1 file fail. Error Code 2.";
    QTest::newRow("stray bytes") << "block-read:nth=2:stray"
                                 << "Reading the Program 1 file fail. Error Code 1.";
    QTest::newRow("late reply") << "block-read:nth=2:late"
                                << "Reading the Program 1 file fail. Error Code 1.";
}

// A damaged block is read again: the file comes out right, and the log tells what happened.
void tst_FileAccessor::readRecoversFromGlitches()
{
    QFETCH(QString, fault);
    QFETCH(QString, line);
    WorkerHarness h;
    SimulatedPort port;
    // Turn the damaged character into something that is surely not a hex digit.
    port.simulator().setSegmentRecord(1, 2, QString(92, QLatin1Char('A')).replace(0, 4, "0064"));
    port.setFaultPlan(planOf({fault}));
    h.worker->setPort(&port);
    h.read(1, 3);
    QCOMPARE(WorkerHarness::fileBytes("PROG_1.txt"),
             csvBytes(rowsOf(port.simulator(), 1, {1, 2, 3})));
    QCOMPARE(WorkerHarness::fileBytes("READ_PROG_1_ERROR.txt"), logOf({"Program 1:", line}));
}

void tst_FileAccessor::readTwoDigitNumbersAndBlockLengths_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("segments");
    QTest::newRow("program 10, segment 1") << 10 << 1;
    QTest::newRow("program 12, segments to 11") << 12 << 11;
    QTest::newRow("program 9, segments to 10") << 9 << 10;
}

void tst_FileAccessor::readTwoDigitNumbersAndBlockLengths()
{
    QFETCH(int, program);
    QFETCH(int, segments);
    WorkerHarness h;
    SimulatedPort port;
    QStringList records = port.simulator().programRecords(1);
    while (records.size() < segments)
        records << records.at(1);
    QVERIFY(port.simulator().setProgramRecords(program, records.mid(0, segments)));
    h.worker->setPort(&port);
    h.read(program, segments);
    QList<int> all;
    for (int s = 1; s <= segments; ++s)
        all << s;
    QCOMPARE(WorkerHarness::fileBytes(QStringLiteral("PROG_%1.txt").arg(program)),
             csvBytes(rowsOf(port.simulator(), program, all)));
    QVERIFY(!QFile::exists(
        WorkerHarness::appFile(QStringLiteral("READ_PROG_%1_ERROR.txt").arg(program))));
}

void tst_FileAccessor::readErrorLogReplacedAndKept()
{
    WorkerHarness h;
    SimulatedPort port;
    h.worker->setPort(&port);
    port.setRetryCount(0);
    port.setFaultPlan(planOf({"open-read:nth=1:end-code=52"}));
    h.read(5, 1);
    QCOMPARE(WorkerHarness::fileBytes("READ_PROG_5_ERROR.txt"),
             QByteArray("Program 1:\r\nProgram number or segment number is in error. No program "
                        "in the segment."));
    port.setFaultPlan(planOf({"open-read:nth=1:end-code=59"}));
    h.read(5, 1);
    QCOMPARE(WorkerHarness::fileBytes("READ_PROG_5_ERROR.txt"),
             QByteArray("Program 1:\r\nFile OPEN, File block WRITE and File DELETE are "
                        "inhibited."));
    h.takeEvents();
    // A good transfer leaves the last log as it was and raises nothing.
    port.setFaultPlan(FaultPlan());
    QVERIFY(port.simulator().setProgramRecords(5, port.simulator().programRecords(1)));
    h.read(5, 1);
    QCOMPARE(h.takeEvents(), (QStringList{"progress 100", "RF false"}));
    QVERIFY(WorkerHarness::fileBytes("READ_PROG_5_ERROR.txt").endsWith("inhibited."));
}

void tst_FileAccessor::readCsvSaveFailure()
{
    WorkerHarness h;
    SimulatedPort port;
    h.worker->setPort(&port);
    // A directory in the way of the program file: the saver cannot write it.
    QDir(QCoreApplication::applicationDirPath()).mkdir("PROG_2.txt");
    h.read(2, 1);
    QDir(QCoreApplication::applicationDirPath()).rmdir("PROG_2.txt");
    QCOMPARE(h.takeEvents(),
             (QStringList{"progress 100", "message DCP30|File cannot be opened.|true", "RF false",
                          "RF false"}));
    QVERIFY(!QFile::exists(WorkerHarness::appFile("READ_PROG_2_ERROR.txt")));
}

void tst_FileAccessor::writeBackGivesSameMemory()
{
    WorkerHarness h;
    SimulatedPort port;
    h.worker->setPort(&port);
    h.read(2, 8);
    QVERIFY(
        QFile::rename(WorkerHarness::appFile("PROG_2.txt"), WorkerHarness::appFile("PROG_6.txt")));
    h.takeEvents();
    h.takePauses();
    h.write(DefaultRanges, 6, 8);
    QCOMPARE(h.takeEvents(),
             (QStringList{"progress 12", "progress 25", "progress 37", "progress 50", "progress 62",
                          "progress 75", "progress 87", "progress 100", "WF false"}));
    QCOMPARE(port.simulator().programRecords(6), port.simulator().programRecords(2).mid(0, 8));
    QVERIFY(!QFile::exists(WorkerHarness::appFile("WRITE_PROG_6_ERROR.txt")));
    QCOMPARE(h.takePauses(), (QList<int>{300, 300, 300, 300, 300, 300, 300, 300, 300, 300}));
}

void tst_FileAccessor::writeHeaderOnly()
{
    WorkerHarness h;
    SimulatedPort port;
    h.worker->setPort(&port);
    // The header row and an empty line: the loader needs two lines, and skips the empty one.
    installCsv(4, {ProgramFormat::headerRow(), {QString()}});
    h.write(DefaultRanges, 4, 2);
    QCOMPARE(h.takeEvents(), (QStringList{"WF false", "WE true"}));
    QCOMPARE(requestsOf(port), (QStringList{"0100XFO,4,W,0", "0100XFC,4"}));
    QCOMPARE(WorkerHarness::fileBytes("WRITE_PROG_4_ERROR.txt"),
             logOf({"Program 1:", "Segment 1 has no data in the csv file. Please check it.",
                    "Segment 2 has no data in the csv file. Please check it.",
                    "\nThere is no data to write out. Maybe the format of all segments are "
                    "incorrect."}));
}

void tst_FileAccessor::writeHeaderLineAlone()
{
    WorkerHarness h;
    SimulatedPort port;
    h.worker->setPort(&port);
    installCsv(4, {ProgramFormat::headerRow()});
    h.write(DefaultRanges, 4, 2);
    QCOMPARE(
        h.takeEvents(),
        (QStringList{"message DCP30|No content found in the imported file.|true", "WF false"}));
    QVERIFY(requestsOf(port).isEmpty());
}

void tst_FileAccessor::writeInvalidMiddleSegment()
{
    WorkerHarness h;
    SimulatedPort port;
    h.worker->setPort(&port);
    QList<QStringList> rows = rowsOf(port.simulator(), 1, {1, 2, 3});
    rows[2][1] = QStringLiteral("1.5"); // SP1 is not a whole number
    rows[2][19] = QStringLiteral("9");  // PID1 above 8
    installCsv(7, rows);
    h.write(DefaultRanges, 7, 3);
    QCOMPARE(h.takeEvents(), (QStringList{"progress 50", "progress 100", "WF false", "WE true"}));
    QCOMPARE(WorkerHarness::fileBytes("WRITE_PROG_7_ERROR.txt"),
             logOf({"Program 1:", "\n\tSegment 2 has following format error : ",
                    "\t\tThe format of SP1 is incorrect.Maybe the negative symbol is not ASCII "
                    "code or the value is not number.",
                    "\t\tPID1 [9] is out of range (0 ~ 8)."}));
    QCOMPARE(requestsOf(port).mid(1, 2).join(' ').count("0100XFW,7,"), 2);
    QCOMPARE(port.simulator().segmentRecord(7, 3), port.simulator().segmentRecord(1, 3));
    QVERIFY(port.simulator().segmentRecord(7, 2).isEmpty());
}

void tst_FileAccessor::writeUsesOnlyCountedRows()
{
    WorkerHarness h;
    SimulatedPort port;
    h.worker->setPort(&port);
    QList<QStringList> rows = rowsOf(port.simulator(), 1, {1, 2, 3, 4, 5});
    rows[4][2] = QStringLiteral("garbage"); // row 4 is beyond the count and never looked at
    installCsv(8, rows);
    h.write(DefaultRanges, 8, 2);
    QCOMPARE(h.takeEvents(), (QStringList{"progress 50", "progress 100", "WF false"}));
    const QStringList requests = requestsOf(port);
    QCOMPARE(requests.size(), 4);
    QVERIFY(requests.at(1).startsWith("0100XFW,8,1,"));
    QVERIFY(requests.at(2).startsWith("0100XFW,8,2,"));
    QCOMPARE(port.simulator().programRecords(8), port.simulator().programRecords(1).mid(0, 2));
}

void tst_FileAccessor::writeMissingCsv()
{
    WorkerHarness h;
    SimulatedPort port;
    h.worker->setPort(&port);
    h.write(DefaultRanges, 9, 2);
    QCOMPARE(h.takeEvents(),
             (QStringList{"message DCP30|File cannot be opened.\nPlease select the right "
                          "file.|true",
                          "WF false"}));
    QVERIFY(requestsOf(port).isEmpty());
    QVERIFY(!QFile::exists(WorkerHarness::appFile("WRITE_PROG_9_ERROR.txt")));
}

void tst_FileAccessor::writeRetryStopsAnswering()
{
    WorkerHarness h;
    SimulatedPort port;
    port.setRetryCount(1);
    port.setFaultPlan(planOf({"any:nth=2:count=0:no-reply"}));
    h.worker->setPort(&port);
    installCsv(3, rowsOf(port.simulator(), 1, {1, 2}));
    h.write(DefaultRanges, 3, 2);
    QCOMPARE(h.takeEvents(), (QStringList{"WF false", "WE true"}));
    const QString fail = "Write File Fail. Error Code 21.";
    QCOMPARE(WorkerHarness::fileBytes("WRITE_PROG_3_ERROR.txt"),
             logOf({"Program 1:", fail, fail,
                    "\nThe retry time of writing the Program 3 file is over 1 times.",
                    "Opening the Program 3 file fail. Error Code 11.",
                    "Write File retry time is over 1 times."}));
    QCOMPARE(requestsOf(port).count("0100XFO,3,W,0"), 2);
}

void tst_FileAccessor::writeEndCodeCountsAsWritten()
{
    WorkerHarness h;
    SimulatedPort port;
    port.setFaultPlan(planOf({"block-write:nth=1:end-code=45"}));
    h.worker->setPort(&port);
    installCsv(11, rowsOf(port.simulator(), 1, {1, 2}));
    h.write(DefaultRanges, 11, 2);
    QCOMPARE(h.takeEvents(), (QStringList{"progress 50", "progress 100", "WF false", "WE true"}));
    QCOMPARE(requestsOf(port).size(), 4); // not repeated
    const QByteArray log = WorkerHarness::fileBytes("WRITE_PROG_11_ERROR.txt");
    QVERIFY(log.startsWith("Program 1:\r\nSeg1:The data cannot be written according to the "
                           "status of DCP31/32."));
}

class FakeDevice : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE QString getMount(int storage)
    {
        return QStringLiteral("/media/storage%1").arg(storage);
    }
};

void tst_FileAccessor::namesAndMountPath()
{
    FileAccessor worker;
    bool ok = false;
    QString name;
    QVERIFY(QMetaObject::invokeMethod(&worker, "getFileName", Q_RETURN_ARG(QString, name),
                                      Q_ARG(int, 5), Q_ARG(bool &, ok)));
    QVERIFY(ok);
    QCOMPARE(name, QCoreApplication::applicationDirPath() + "/PROG_5.txt");
    ok = false;
    QVERIFY(QMetaObject::invokeMethod(&worker, "getErrorLogFileName", Q_RETURN_ARG(QString, name),
                                      Q_ARG(int, 1), Q_ARG(int, 12), Q_ARG(bool &, ok)));
    QCOMPARE(name, QCoreApplication::applicationDirPath() + "/WRITE_PROG_12_ERROR.txt");
    QVERIFY(ok);
    QVERIFY(QMetaObject::invokeMethod(&worker, "getErrorLogFileName", Q_RETURN_ARG(QString, name),
                                      Q_ARG(int, 2), Q_ARG(int, 3), Q_ARG(bool &, ok)));
    QCOMPARE(name, QCoreApplication::applicationDirPath() + "/READ_PROG_3_ERROR.txt");

    QString mount = "unchanged";
    QVERIFY(QMetaObject::invokeMethod(&worker, "getStorageMountPath", Q_RETURN_ARG(QString, mount),
                                      Q_ARG(int, 0)));
    QCOMPARE(mount, QString()); // no device service
    FakeDevice device;
    QCoreApplication::instance()->setProperty("KDevice", quint64(quintptr(&device)));
    QVERIFY(QMetaObject::invokeMethod(&worker, "getStorageMountPath", Q_RETURN_ARG(QString, mount),
                                      Q_ARG(int, 0)));
    QCoreApplication::instance()->setProperty("KDevice", QVariant());
    QCOMPARE(mount, QStringLiteral("/media/storage1"));
}

QTEST_GUILESS_MAIN(tst_FileAccessor)
#include "tst_fileaccessor.moc"
