// The transfer worker against the simulated controller: frames, repeats, progress, signal order,
// the program CSV file and the exact bytes of the error logs.

#include "ControllerSimulator.h"
#include "FaultPlan.h"
#include "FileAccessor.h"
#include "ProgramFormat.h"
#include "SimulatedPort.h"
#include "TransferTestSupport.h"
#include "WorkerHarness.h"

#include <QtTest>

using namespace TestSupport;
using TestFiles::programCsv;

namespace {

const QList<int> DefaultRanges = {-200, 1300, 0, 50, 8};
const QString ReadLog = QStringLiteral("READ_PROG_%1_ERROR.txt");
const QString WriteLog = QStringLiteral("WRITE_PROG_%1_ERROR.txt");
const QString Program = QStringLiteral("PROG_%1.txt");

// Lines as the log holds them: every line break, also one inside a line, is CR LF.
QByteArray logOf(const QStringList &lines)
{
    QString text = lines.join(QLatin1Char('\n'));
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toUtf8();
}

// The bytes of a file in the application directory; none when there is no such file.
QByteArray file(const QString &pattern, int program)
{
    return TestFiles::read(TestFiles::appFile(pattern.arg(program)));
}

QList<int> upTo(int n)
{
    QList<int> all;
    for (int i = 1; i <= n; ++i)
        all << i;
    return all;
}

QStringList progressOf(const QList<int> &values)
{
    QStringList events;
    for (int v : values)
        events << QStringLiteral("progress %1").arg(v);
    return events;
}

// An earlier transfer's log, longer than any written here: a failed transfer must replace it
// whole, a good one must leave it alone.
const QByteArray EarlierLog = "Program 1:\r\n" + QByteArray(1000, 'x');

// Puts a file into the application directory, as a user or an earlier transfer would.
void put(const QString &pattern, int program, const QByteArray &bytes)
{
    QVERIFY(TestFiles::write(TestFiles::appFile(pattern.arg(program)), bytes));
}

// The worker on its thread, talking to a simulated controller over a line with these faults.
struct Rig
{
    explicit Rig(const QStringList &faults = {}, int retries = 3)
    {
        FaultPlan plan;
        QString error;
        if (!FaultPlan::parse(faults, plan, &error))
            qFatal("bad fault rule: %s", qPrintable(error));
        port.setFaultPlan(plan);
        port.setRetryCount(retries);
        h.worker->setPort(&port);
    }
    ControllerSimulator &sim() { return port.simulator(); }
    QStringList requests() const
    {
        QStringList texts;
        for (const auto &entry : port.trace()) {
            if (entry.direction == SimulatedPort::Direction::Request)
                texts << QString::fromLatin1(entry.bytes.mid(1, entry.bytes.size() - 4));
        }
        return texts;
    }

    SimulatedPort port; // declared first: the worker's thread ends before the port goes
    WorkerHarness h;
};

} // namespace

class tst_Transfer : public QObject
{
    Q_OBJECT

private slots:
    void init() { WorkerHarness::removeAppFiles(); }
    void cleanupTestCase() { WorkerHarness::removeAppFiles(); }

    void exchangeFramesAndPauses()
    {
        Rig r;
        r.h.read(2, 2);
        put(Program, 5, programCsv(rowsOf(r.sim(), 1, {1})));
        r.h.write(DefaultRanges, 5, 1);
        QCOMPARE(r.requests(),
                 (QStringList{"0100XFO,2,R,0", "0100XFR,2,1", "0100XFR,2,2", "0100XFC,2",
                              "0100XFO,5,W,0", "0100XFW,5,1," + r.sim().segmentRecord(1, 1),
                              "0100XFC,5"}));
        QCOMPARE(r.h.takePauses(), (QList<int>{300, 350, 350, 300, 300, 300, 300}));
    }

    void read_data()
    {
        QTest::addColumn<int>("program");
        QTest::addColumn<int>("segments");
        QTest::addColumn<int>("retries");
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("exchanges");
        QTest::addColumn<QList<int>>("progress");
        QTest::addColumn<QList<int>>("saved"); // none: no program file
        QTest::addColumn<QStringList>("log");  // none: the earlier log stays
        const QString open = "Opening the Program 1 file fail. Error Code 1.";
        const QString seg = "Reading the Program 1 file fail. Error Code 1.";
        const QString segOver = "The retry time of reading the Program 1 file is over 1 times.";
        const QList<int> tens = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, thirds = {33, 66, 100};
        const QStringList none;
        const QList<int> nothing;

        auto row = [](const char *name, int program, int segments, int retries,
                      const QStringList &faults, int exchanges, const QList<int> &progress,
                      const QList<int> &saved, const QStringList &log) {
            QTest::newRow(name) << program << segments << retries << faults << exchanges << progress
                                << saved << log;
        };

        // The echo in a block reply grows by one character for a two-digit program or segment.
        row("program 9, segments to 10", 9, 10, 3, none, 12, tens, upTo(10), none);
        // A refused open ends the transfer there: nothing read, nothing closed, nothing saved.
        row("open refused", 1, 3, 3, {"open-read:end-code=50"}, 1, nothing, nothing,
            {"Program 1:", "File is already open."});
        // Refused blocks are logged with their end code's message (43 has none) and passed over,
        // not repeated.
        row("refused blocks", 2, 10, 3,
            {"block-read:nth=1:end-code=40", "block-read:nth=2:end-code=47",
             "block-read:nth=3:end-code=52", "block-read:nth=5:end-code=51",
             "block-read:nth=6:end-code=57", "block-read:nth=7:end-code=59",
             "block-read:nth=8:end-code=99", "block-read:nth=9:end-code=43"},
            12, tens, {4, 10},
            {"Program 1:", "Seg1:Request message is in error.", "Seg2:Mode can not be changed.",
             "Seg3:Program number or segment number is in error. No program in the segment.",
             "Seg5:File is not open yet.", "Seg6:Block data of File block WRITE is in error.",
             "Seg7:File OPEN, File block WRITE and File DELETE are inhibited.",
             "Seg8:The command is undefined.", "Seg9:"});
        // Every repeat of the transfer but the last is labelled; the last is followed by the over
        // line.
        row("silent controller, 4 retries", 1, 3, 4, {"any:no-reply"}, 5, nothing, nothing,
            {"Program 1:", open, "First retry.", open, "Second retry.", open, "3 st retry.", open,
             open, "Read File retry time is over 4 times."});
        row("silent controller, no retries", 1, 3, 0, {"any:no-reply"}, 1, nothing, nothing,
            {"Program 1:", open});
        row("stops answering after the open", 1, 3, 1, {"any:nth=2:count=0:no-reply"}, 4, nothing,
            nothing,
            {"Program 1:", seg, seg, segOver, open, "Read File retry time is over 1 times."});
        // A refused repeat ends the repeats; its refusal is dropped, the first attempt's lines
        // stay.
        row("repeat refused", 1, 3, 1,
            {"open-read:nth=2:count=0:end-code=50", "block-read:no-reply"}, 4, nothing, nothing,
            {"Program 1:", seg, seg, segOver});
        // Without repeats a lost block is passed over and the rest is still read and saved.
        row("lost block, no retries", 1, 3, 0, {"block-read:nth=2:no-reply"}, 5, thirds, {1, 3},
            {"Program 1:", seg});
        // A damaged block is read again: the file comes out right, the log tells what happened.
        // Position 12 is the program number in the echo, 40 a digit of the record.
        const QList<QPair<QString, int>> glitches = {{"garbled", 1},    {"late", 1},
                                                     {"short", 2},      {"long", 2},
                                                     {"garbled=12", 2}, {"garbled=40", 2}};
        for (const auto &glitch : glitches) {
            row(qPrintable("block " + glitch.first), 1, 3, 3, {"block-read:nth=2:" + glitch.first},
                6, thirds, {1, 2, 3},
                {"Program 1:", QStringLiteral("Reading the Program 1 file fail. Error Code %1.")
                                   .arg(glitch.second)});
        }
    }

    void read()
    {
        QFETCH(int, program);
        QFETCH(int, segments);
        QFETCH(int, retries);
        QFETCH(QStringList, faults);
        QFETCH(int, exchanges);
        QFETCH(QList<int>, progress);
        QFETCH(QList<int>, saved);
        QFETCH(QStringList, log);
        Rig r(faults, retries);
        // A flipped bit turns an 'A' of this record into '@', surely not a hex digit.
        r.sim().setSegmentRecord(1, 2, QString(92, QLatin1Char('A')).replace(0, 4, "0064"));
        QStringList records = r.sim().programRecords(1);
        while (records.size() < segments)
            records << records.at(1 + records.size() % 7);
        if (program > 3) // the empty ones
            QVERIFY(r.sim().setProgramRecords(program, records));
        put(ReadLog, program, EarlierLog);

        r.h.read(program, segments, 1);
        QCOMPARE(r.h.takeEvents(), progressOf(progress) + QStringList{"RF false"} +
                                       (log.isEmpty() ? QStringList() : QStringList{"RE true"}));
        QCOMPARE(r.port.exchangeCount(), exchanges);
        QCOMPARE(file(ReadLog, program), log.isEmpty() ? EarlierLog : logOf(log));
        QCOMPARE(file(Program, program),
                 saved.isEmpty() ? QByteArray() : programCsv(rowsOf(r.sim(), program, saved)));
    }

    void readCsvSaveFailure()
    {
        Rig r;
        // A directory in the way of the program file: the saver cannot write it.
        QDir(QCoreApplication::applicationDirPath()).mkdir("PROG_2.txt");
        r.h.read(2, 1);
        QDir(QCoreApplication::applicationDirPath()).rmdir("PROG_2.txt");
        QCOMPARE(r.h.takeEvents(),
                 (QStringList{"progress 100", "message DCP30|File cannot be opened.|true",
                              "RF false", "RF false"}));
        QCOMPARE(file(ReadLog, 2), QByteArray()); // not a transfer failure
    }

    void write_data()
    {
        QTest::addColumn<QList<QStringList>>("csv"); // none: no program file
        QTest::addColumn<int>("segments");
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QStringList>("events"); // before the flags
        QTest::addColumn<QStringList>("log");    // none: the earlier log stays
        QTest::addColumn<QList<int>>("written"); // program 7 afterwards: these as in 1, no others
        QTest::addColumn<int>("exchanges");
        ControllerSimulator sim;
        const QList<QStringList> two = rowsOf(sim, 1, {1, 2});
        QList<QStringList> bad = rowsOf(sim, 1, {1, 2, 3, 4, 5});
        bad[2][1] = QStringLiteral("1.5");     // SP1 of segment 2 is not a whole number
        bad[2][19] = QStringLiteral("9");      // PID1 of segment 2 above 8
        bad[4][2] = QStringLiteral("garbage"); // segment 4 is beyond the count
        const QString fail = "Write File Fail. Error Code 21.";
        const QStringList none, halves = progressOf({50, 100});
        const QList<int> nothing;

        auto row = [](const char *name, const QList<QStringList> &csv, int segments,
                      const QStringList &faults, const QStringList &events, const QStringList &log,
                      const QList<int> &written, int exchanges) {
            QTest::newRow(name) << csv << segments << faults << events << log << written
                                << exchanges;
        };

        row("whole program", rowsOf(sim, 1, upTo(8)), 8, none,
            progressOf({12, 25, 37, 50, 62, 75, 87, 100}), none, upTo(8), 10);
        row("no program file", {}, 2, none,
            {"message DCP30|File cannot be opened.\nPlease select the right file.|true"}, none,
            nothing, 0);
        row("header line alone", {ProgramFormat::headerRow()}, 2, none,
            {"message DCP30|No content found in the imported file.|true"}, none, nothing, 0);
        // The loader needs two lines and skips the empty one: the file is opened and closed.
        row("header and an empty line", {ProgramFormat::headerRow(), {QString()}}, 2, none, none,
            {"Program 1:", "Segment 1 has no data in the csv file. Please check it.",
             "Segment 2 has no data in the csv file. Please check it.",
             "\nThere is no data to write out. Maybe the format of all segments are incorrect."},
            nothing, 2);
        // Invalid rows are reported and left out; rows beyond the count are never looked at.
        row("invalid and uncounted rows", bad, 3, none, halves,
            {"Program 1:", "\n\tSegment 2 has following format error : ",
             "\t\tThe format of SP1 is incorrect.Maybe the negative symbol is not ASCII code or "
             "the value is not number.",
             "\t\tPID1 [9] is out of range (0 ~ 8)."},
            {1, 3}, 4);
        // The block is tried twice, then the repeated transfer's open is lost, too.
        row("stops answering after the open", two, 2, {"any:nth=2:count=0:no-reply"}, none,
            {"Program 1:", fail, fail,
             "\nThe retry time of writing the Program 7 file is over 1 times.",
             "Opening the Program 7 file fail. Error Code 11.",
             "Write File retry time is over 1 times."},
            nothing, 4);
        // A refused block counts as written: reported, not repeated.
        row("block refused", two, 2, {"block-write:nth=1:end-code=45"}, halves,
            {"Program 1:",
             "Seg1:The data cannot be written according to the status of DCP31/32. (Settings can "
             "be changed only READY mode regarding all of setup items and some of event "
             "configuration data) Write is attempted to the write inhibit data address."},
            {2}, 4);
        // "01" is success as "00" is (the simulated controller answers it without storing).
        row("block answered 01", two, 2, {"block-write:nth=1:end-code=01"}, halves, none, {2}, 4);
        // One character short, "00" becomes an end code without a message: the open counts as
        // refused, with an empty line in the log.
        row("open reply one short", two, 2, {"open-write:nth=1:short"}, none, {"Program 1:", ""},
            nothing, 1);
    }

    void write()
    {
        QFETCH(QList<QStringList>, csv);
        QFETCH(int, segments);
        QFETCH(QStringList, faults);
        QFETCH(QStringList, events);
        QFETCH(QStringList, log);
        QFETCH(QList<int>, written);
        QFETCH(int, exchanges);
        Rig r(faults, 1);
        if (!csv.isEmpty())
            put(Program, 7, programCsv(csv));
        put(WriteLog, 7, EarlierLog);
        r.h.write(DefaultRanges, 7, segments);
        QCOMPARE(r.h.takeEvents(), events + QStringList{"WF false"} +
                                       (log.isEmpty() ? QStringList() : QStringList{"WE true"}));
        QCOMPARE(file(WriteLog, 7), log.isEmpty() ? EarlierLog : logOf(log));
        QCOMPARE(r.port.exchangeCount(), exchanges);
        for (int s = 1; s <= 8; ++s) {
            QCOMPARE(r.sim().segmentRecord(7, s),
                     written.contains(s) ? r.sim().segmentRecord(1, s) : QString());
        }
    }
};

QTEST_GUILESS_MAIN(tst_Transfer)
#include "tst_transfer.moc"
