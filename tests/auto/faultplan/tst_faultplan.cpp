#include "ControllerSimulator.h"
#include "FaultPlan.h"

#include <QtTest>

using Command = FaultRule::Command;
using Fault = FaultRule::Fault;
Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(Fault)

namespace {

QByteArray frame(const QString &text)
{
    return ControllerSimulator::buildRequest("0100X" + text);
}

FaultPlan planOf(const QStringList &specs, quint32 seed = 1)
{
    FaultPlan plan;
    QString error;
    if (!FaultPlan::parse(specs, plan, &error, seed))
        qFatal("%s", qPrintable(error));
    return plan;
}

} // namespace

class tst_FaultPlan : public QObject
{
    Q_OBJECT

private slots:
    void parseGood_data();
    void parseGood();
    void parseBad_data();
    void parseBad();
    void commandOf_data();
    void commandOf();
    void nthCountsRequestsOfItsKind();
    void anyNthCountsEveryRequest();
    void countLimitsFirings();
    void firstTriggeredRuleWins();
    void probabilityIsSeeded();
    void faultShapesReply_data();
    void faultShapesReply();
    void faultDecidesExecution_data();
    void faultDecidesExecution();
    void wrongLengthBlockData_data();
    void wrongLengthBlockData();
    void silentControllerKeepsRuleArmed();
    void resetCountersRearmsRules();
};

void tst_FaultPlan::parseGood_data()
{
    QTest::addColumn<QString>("spec");
    QTest::addColumn<QString>("canonical");
    QTest::addColumn<Command>("command");
    QTest::addColumn<int>("nth");
    QTest::addColumn<int>("count");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("delay");

    QTest::newRow("nth") << "block-read:nth=2:no-reply"
                         << "block-read:nth=2:no-reply" << Command::BlockRead << 2 << 1
                         << Fault::NoReply << 0;
    QTest::newRow("probability") << "any:p=0.05:garbled"
                                 << "any:p=0.05:garbled" << Command::Any << 0 << 0 << Fault::Garbled
                                 << 0;
    QTest::newRow("end code") << "open-read:end-code=50"
                              << "open-read:end-code=50" << Command::OpenRead << 0 << 0
                              << Fault::EndCode << 0;
    QTest::newRow("any order") << "garbled=3:close"
                               << "close:garbled=3" << Command::Close << 0 << 0 << Fault::Garbled
                               << 0;
    QTest::newRow("count") << "block-write:count=4:nth=1:truncated=10"
                           << "block-write:nth=1:count=4:truncated=10" << Command::BlockWrite << 1
                           << 4 << Fault::Truncated << 0;
    QTest::newRow("unlimited from nth")
        << "open-write:nth=3:count=0:short=2"
        << "open-write:nth=3:count=0:short=2" << Command::OpenWrite << 3 << 0 << Fault::Short << 0;
    QTest::newRow("default kind") << "long"
                                  << "any:long" << Command::Any << 0 << 0 << Fault::Long << 0;
    QTest::newRow("split with gap")
        << "data-read:split=3:delay=5"
        << "data-read:split=3:delay=5" << Command::DataRead << 0 << 0 << Fault::Split << 5;
    QTest::newRow("late default delay")
        << "data-write:late"
        << "data-write:late" << Command::DataWrite << 0 << 0 << Fault::Late << 1000;
    QTest::newRow("stray") << "stray=4:count=2"
                           << "any:count=2:stray=4" << Command::Any << 0 << 2 << Fault::Stray << 0;
    QTest::newRow("p=1 is the default")
        << "p=1:no-reply"
        << "any:no-reply" << Command::Any << 0 << 0 << Fault::NoReply << 0;
}

void tst_FaultPlan::parseGood()
{
    QFETCH(QString, spec);
    QFETCH(QString, canonical);
    QFETCH(Command, command);
    QFETCH(int, nth);
    QFETCH(int, count);
    QFETCH(Fault, fault);
    QFETCH(int, delay);

    FaultRule rule;
    QString error;
    QVERIFY2(FaultRule::parse(spec, rule, &error), qPrintable(error));
    QCOMPARE(rule.command, command);
    QCOMPARE(rule.nth, nth);
    QCOMPARE(rule.count, count);
    QCOMPARE(rule.fault, fault);
    QCOMPARE(rule.effectiveDelayMs(), delay);
    QCOMPARE(rule.toString(), canonical);

    FaultRule again;
    QVERIFY(FaultRule::parse(rule.toString(), again, &error));
    QCOMPARE(again, rule);
}

void tst_FaultPlan::parseBad_data()
{
    QTest::addColumn<QString>("spec");
    QTest::addColumn<QString>("reason");

    QTest::newRow("empty") << ""
                           << "empty";
    QTest::newRow("empty item") << "block-read::late"
                                << "empty";
    QTest::newRow("no fault") << "block-read:nth=2"
                              << "no fault given";
    QTest::newRow("two faults") << "no-reply:late"
                                << "more than one fault";
    QTest::newRow("two kinds") << "open-read:close:late"
                               << "more than one command kind";
    QTest::newRow("kind with value") << "any=1:late"
                                     << "takes no value";
    QTest::newRow("other is not a kind") << "other:late"
                                         << "unknown item \"other\"";
    QTest::newRow("unknown") << "frobnicate"
                             << "unknown item \"frobnicate\"";
    QTest::newRow("nth 0") << "nth=0:late"
                           << "nth needs";
    QTest::newRow("nth letters") << "nth=x:late"
                                 << "nth needs";
    QTest::newRow("nth twice") << "nth=2:nth=3:late"
                               << "nth is given twice";
    QTest::newRow("count negative") << "count=-1:late"
                                    << "count needs";
    QTest::newRow("p above 1") << "p=1.5:late"
                               << "p needs";
    QTest::newRow("p negative") << "p=-0.1:late"
                                << "p needs";
    QTest::newRow("p text") << "p=often:late"
                            << "p needs";
    QTest::newRow("p nan") << "p=nan:late"
                           << "p needs";
    QTest::newRow("end code short") << "end-code=5"
                                    << "end-code needs";
    QTest::newRow("end code long") << "end-code=500"
                                   << "end-code needs";
    QTest::newRow("end code lower") << "end-code=ab"
                                    << "end-code needs";
    QTest::newRow("no-reply with value") << "no-reply=3"
                                         << "takes no value";
    QTest::newRow("split 1") << "split=1"
                             << "at least 2";
    QTest::newRow("garbled 0") << "garbled=0"
                               << "at least 1";
    QTest::newRow("delay negative") << "delay=-5:late"
                                    << "delay needs";
}

void tst_FaultPlan::parseBad()
{
    QFETCH(QString, spec);
    QFETCH(QString, reason);

    FaultRule rule;
    rule.command = Command::Close;
    rule.fault = Fault::Stray;
    const FaultRule before = rule;
    QString error;
    QVERIFY(!FaultRule::parse(spec, rule, &error));
    QCOMPARE(rule, before);
    QVERIFY2(error.startsWith(QString("bad fault spec \"%1\": ").arg(spec)), qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));

    FaultPlan plan;
    QVERIFY(plan.addRule("late"));
    QVERIFY(!plan.addRule(spec, &error));
    QCOMPARE(plan.specs(), QStringList{"any:late"});
    QVERIFY(!FaultPlan::parse({"late", spec}, plan, &error));
    QCOMPARE(plan.specs(), QStringList{"any:late"});
}

void tst_FaultPlan::commandOf_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<Command>("command");

    QTest::newRow("open read") << frame("FO,3,R,0") << Command::OpenRead;
    QTest::newRow("open write") << frame("FO,3,W,0") << Command::OpenWrite;
    QTest::newRow("open other mode") << frame("FO,3,X,0") << Command::Other;
    QTest::newRow("block read") << frame("FR,3,1") << Command::BlockRead;
    QTest::newRow("block write") << frame("FW,3,1,0000") << Command::BlockWrite;
    QTest::newRow("close") << frame("FC,3") << Command::Close;
    QTest::newRow("data read") << frame("RS,4509W,2") << Command::DataRead;
    QTest::newRow("data write") << frame("WS,1W,2") << Command::DataWrite;
    QTest::newRow("undefined") << frame("ZZ") << Command::Other;
    QTest::newRow("no STX") << QByteArray("0100XFR,3,1\x03\r\n") << Command::Other;
}

void tst_FaultPlan::commandOf()
{
    QFETCH(QByteArray, request);
    QFETCH(Command, command);
    QCOMPARE(FaultRule::commandOf(request), command);
}

void tst_FaultPlan::nthCountsRequestsOfItsKind()
{
    ControllerSimulator sim;
    FaultPlan plan = planOf({"block-read:nth=2:no-reply"});
    QCOMPARE(plan.exchange(sim, frame("FO,1,R,0")).bytes(), ControllerSimulator::buildReply("00"));
    QVERIFY(!plan.exchange(sim, frame("FR,1,1")).bytes().isEmpty());
    const FaultPlan::Delivery lost = plan.exchange(sim, frame("FR,1,2"));
    QVERIFY(lost.faulted);
    QVERIFY(lost.chunks.isEmpty());
    QVERIFY(!plan.exchange(sim, frame("FR,1,2")).faulted);
    QCOMPARE(plan.requestCount(Command::BlockRead), 3);
    QCOMPARE(plan.requestCount(Command::OpenRead), 1);
    QCOMPARE(plan.exchangeCount(), 4);
    QCOMPARE(plan.injectedCount(Fault::NoReply), 1);
    QCOMPARE(plan.totalInjected(), 1);
}

void tst_FaultPlan::anyNthCountsEveryRequest()
{
    ControllerSimulator sim;
    FaultPlan plan = planOf({"any:nth=3:end-code=99"});
    const QStringList requests{"RS,1W,1", "FO,1,R,0", "FR,1,1", "FR,1,2"};
    QList<bool> faulted;
    for (const QString &request : requests)
        faulted << plan.exchange(sim, frame(request)).faulted;
    QCOMPARE(faulted, (QList<bool>{false, false, true, false}));
    QCOMPARE(plan.injectedCount(Fault::EndCode), 1);
}

void tst_FaultPlan::countLimitsFirings()
{
    ControllerSimulator sim;
    FaultPlan plan = planOf({"data-read:nth=2:count=3:garbled", "data-write:count=2:no-reply"});
    QList<bool> reads, writes;
    for (int i = 0; i < 6; ++i) {
        reads << plan.exchange(sim, frame("RS,1W,1")).faulted;
        writes << plan.exchange(sim, frame("WS,1W,1")).faulted;
    }
    QCOMPARE(reads, (QList<bool>{false, true, true, true, false, false}));
    QCOMPARE(writes, (QList<bool>{true, true, false, false, false, false}));
    QCOMPARE(plan.injectedCount(Fault::Garbled), 3);
    QCOMPARE(plan.injectedCount(Fault::NoReply), 2);
    QCOMPARE(plan.totalInjected(), 5);
}

void tst_FaultPlan::firstTriggeredRuleWins()
{
    ControllerSimulator sim;
    FaultPlan plan = planOf({"open-read:end-code=50", "any:stray=1"});
    QCOMPARE(plan.exchange(sim, frame("FO,1,R,0")).bytes(), ControllerSimulator::buildReply("50"));
    QCOMPARE(plan.exchange(sim, frame("RS,1W,1")).bytes(),
             "\xFF" + ControllerSimulator::buildReply("00", ",0"));
    QCOMPARE(plan.injectedCount(Fault::EndCode), 1);
    QCOMPARE(plan.injectedCount(Fault::Stray), 1);
}

void tst_FaultPlan::probabilityIsSeeded()
{
    auto pattern = [](const QString &spec, quint32 seed) {
        ControllerSimulator sim;
        FaultPlan plan = planOf({spec}, seed);
        QString hits;
        for (int i = 0; i < 1000; ++i)
            hits += plan.exchange(sim, frame("RS,1W,1")).faulted ? '1' : '0';
        return hits;
    };
    const QString a = pattern("data-read:p=0.3:no-reply", 42);
    QCOMPARE(pattern("data-read:p=0.3:no-reply", 42), a);
    QVERIFY(pattern("data-read:p=0.3:no-reply", 43) != a);
    // 1000 draws at p = 0.3: far outside 220..380 only with a broken generator.
    QVERIFY2(a.count('1') > 220 && a.count('1') < 380, qPrintable(QString::number(a.count('1'))));
    QCOMPARE(pattern("data-read:p=0:no-reply", 42).count('1'), 0);
    QCOMPARE(pattern("data-read:p=1:no-reply", 42).count('1'), 1000);
    // A rule of another kind never draws, so it cannot shift the pattern.
    QCOMPARE(pattern("close:p=0.5:late", 42).count('1'), 0);

    FaultPlan plan = planOf({"data-read:p=0.3:no-reply"}, 42);
    ControllerSimulator sim;
    plan.exchange(sim, frame("RS,1W,1"));
    plan.setSeed(42);
    plan.resetCounters();
    QString again;
    for (int i = 0; i < 1000; ++i)
        again += plan.exchange(sim, frame("RS,1W,1")).faulted ? '1' : '0';
    QCOMPARE(again, a);
}

void tst_FaultPlan::faultShapesReply_data()
{
    QTest::addColumn<QString>("spec");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("chunks");
    QTest::addColumn<bool>("late");
    QTest::addColumn<int>("delay");
    QTest::addColumn<Fault>("fault");

    // The clean reply to "FR,1,2" with the demo record of program 1 segment 2.
    const QByteArray clean = ControllerSimulator::buildReply(
        "00", "XFR,1,2," + ControllerSimulator().segmentRecord(1, 2).toLatin1());
    auto with = [&](int pos, char c) {
        QByteArray b = clean;
        b[pos] = c;
        return b;
    };
    const int etx = clean.size() - 3;
    QTest::newRow("garbled") << "garbled" << with(1, '1') << 1 << false << 0 << Fault::Garbled;
    QTest::newRow("garbled at 9") << "garbled=9" << with(9, 'G') << 1 << false << 0
                                  << Fault::Garbled;
    QTest::newRow("garbled clamped")
        << "garbled=500" << with(clean.size() - 1, '\x0B') << 1 << false << 0 << Fault::Garbled;
    QTest::newRow("truncated half")
        << "truncated" << clean.left(clean.size() / 2) << 1 << false << 0 << Fault::Truncated;
    QTest::newRow("truncated 10") << "truncated=10" << clean.left(10) << 1 << false << 0
                                  << Fault::Truncated;
    QTest::newRow("truncated beyond")
        << "truncated=999" << clean.left(clean.size() - 1) << 1 << false << 0 << Fault::Truncated;
    QTest::newRow("short") << "short" << QByteArray(clean).remove(etx - 1, 1) << 1 << false << 0
                           << Fault::Short;
    QTest::newRow("long 2") << "long=2" << QByteArray(clean).insert(etx, "00") << 1 << false << 0
                            << Fault::Long;
    QTest::newRow("end code") << "end-code=52" << ControllerSimulator::buildReply("52") << 1
                              << false << 0 << Fault::EndCode;
    QTest::newRow("stray") << "stray=3"
                           << "\xFF\xFF\xFF" + clean << 1 << false << 0 << Fault::Stray;
    QTest::newRow("split") << "split=3" << clean << 3 << false << 20 << Fault::Split;
    QTest::newRow("late") << "late" << clean << 1 << true << 1000 << Fault::Late;
    QTest::newRow("late 50") << "late:delay=50" << clean << 1 << true << 50 << Fault::Late;
    QTest::newRow("no reply") << "no-reply" << QByteArray() << 0 << false << 0 << Fault::NoReply;
}

void tst_FaultPlan::faultShapesReply()
{
    QFETCH(QString, spec);
    QFETCH(QByteArray, expected);
    QFETCH(int, chunks);
    QFETCH(bool, late);
    QFETCH(int, delay);
    QFETCH(Fault, fault);

    ControllerSimulator sim;
    FaultPlan plan = planOf({"block-read:" + spec});
    plan.exchange(sim, frame("FO,1,R,0"));
    const FaultPlan::Delivery d = plan.exchange(sim, frame("FR,1,2"));
    QVERIFY(d.faulted);
    QCOMPARE(d.fault, fault);
    QCOMPARE(d.bytes(), expected);
    QCOMPARE(d.chunks.size(), chunks);
    for (const QByteArray &chunk : d.chunks)
        QVERIFY(!chunk.isEmpty());
    QCOMPARE(d.late, late);
    QCOMPARE(late ? d.delayMs : d.chunkGapMs, delay);
    QCOMPARE(plan.injectedCount(fault), 1);
    QCOMPARE(plan.totalInjected(), 1);
}

void tst_FaultPlan::faultDecidesExecution_data()
{
    QTest::addColumn<QString>("spec");
    QTest::addColumn<bool>("executed");

    QTest::newRow("no-reply") << "no-reply" << false;
    QTest::newRow("end-code") << "end-code=50" << false;
    QTest::newRow("garbled") << "garbled" << true;
}

void tst_FaultPlan::faultDecidesExecution()
{
    QFETCH(QString, spec);
    QFETCH(bool, executed);

    ControllerSimulator sim;
    FaultPlan plan = planOf({"open-write:" + spec});
    plan.exchange(sim, frame("FO,2,W,0"));
    QCOMPARE(sim.openMode(), executed ? ControllerSimulator::FileMode::Write
                                      : ControllerSimulator::FileMode::Closed);
    QCOMPARE(sim.programRecords(2).isEmpty(), executed);
}

void tst_FaultPlan::wrongLengthBlockData_data()
{
    QTest::addColumn<int>("segment");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("length");

    QTest::newRow("seg 1 short") << 1 << "short" << 122;
    QTest::newRow("seg 1 long") << 1 << "long" << 124;
    QTest::newRow("seg 2 short") << 2 << "short" << 94;
    QTest::newRow("seg 2 long") << 2 << "long" << 96;
}

void tst_FaultPlan::wrongLengthBlockData()
{
    QFETCH(int, segment);
    QFETCH(QString, fault);
    QFETCH(int, length);

    ControllerSimulator sim;
    FaultPlan plan = planOf({"block-read:" + fault});
    plan.exchange(sim, frame("FO,1,R,0"));
    const QByteArray reply = plan.exchange(sim, frame(QString("FR,1,%1").arg(segment))).bytes();
    QCOMPARE(reply.mid(6, 2), QByteArray("00"));
    // The block data as the transfer worker cuts them out: from character 16 to the end.
    QCOMPARE(reply.mid(16).size(), length);
    QVERIFY(reply.endsWith("\x03\r\n"));
}

void tst_FaultPlan::silentControllerKeepsRuleArmed()
{
    ControllerSimulator sim;
    FaultPlan plan = planOf({"any:count=1:garbled"});
    const FaultPlan::Delivery ignored = plan.exchange(sim, frame("FO,1,R,0").mid(1));
    QVERIFY(ignored.chunks.isEmpty());
    QVERIFY(!ignored.faulted);
    QCOMPARE(plan.totalInjected(), 0);
    QVERIFY(plan.exchange(sim, frame("RS,1W,1")).faulted);
    QVERIFY(!plan.exchange(sim, frame("RS,1W,1")).faulted);
}

void tst_FaultPlan::resetCountersRearmsRules()
{
    ControllerSimulator sim;
    FaultPlan plan = planOf({"data-read:nth=1:late"});
    QVERIFY(plan.exchange(sim, frame("RS,1W,1")).late);
    QVERIFY(!plan.exchange(sim, frame("RS,1W,1")).late);
    plan.resetCounters();
    QCOMPARE(plan.exchangeCount(), 0);
    QCOMPARE(plan.requestCount(Command::DataRead), 0);
    QCOMPARE(plan.totalInjected(), 0);
    QVERIFY(plan.exchange(sim, frame("RS,1W,1")).late);
    plan.clearRules();
    QVERIFY(plan.specs().isEmpty());
    QVERIFY(!plan.exchange(sim, frame("RS,1W,1")).faulted);
}

QTEST_GUILESS_MAIN(tst_FaultPlan)
#include "tst_faultplan.moc"
