#include "ControllerSimulator.h"
#include "FaultPlan.h"

#include <QtTest>

using Command = FaultRule::Command;
using Fault = FaultRule::Fault;
Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(Fault)

namespace {

// A request frame for the controller; a text starting with "@" goes to station 02 instead, which
// the controller ignores.
QByteArray frame(const QString &text)
{
    if (text.startsWith(QLatin1Char('@')))
        return ControllerSimulator::buildRequest("0200X" + text.mid(1));
    return ControllerSimulator::buildRequest("0100X" + text);
}

FaultPlan planOf(const QStringList &rules, quint32 seed = 1)
{
    FaultPlan plan;
    QString error;
    if (!FaultPlan::parse(rules, plan, &error, seed))
        qFatal("%s", qPrintable(error));
    return plan;
}

// Which of 1000 data reads the plan faults, as a string of '0' and '1'.
QString hitPattern(FaultPlan &plan)
{
    ControllerSimulator sim;
    QString hits;
    for (int i = 0; i < 1000; ++i)
        hits += plan.exchange(sim, frame("RS,1W,1")).faulted ? '1' : '0';
    return hits;
}

} // namespace

class tst_FaultPlan : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void triggers_data();
    void triggers();
    void probabilityIsSeeded();
    void faultShapesReply_data();
    void faultShapesReply();
    void countersAndReset();
};

void tst_FaultPlan::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("canonical"); // empty when the rule is refused
    QTest::addColumn<QString>("reason");
    auto good = [](const char *name, const char *text, const char *canonical) {
        QTest::newRow(name) << QString(text) << QString(canonical) << QString();
    };
    auto bad = [](const char *name, const char *text, const char *reason) {
        QTest::newRow(name) << QString(text) << QString() << QString(reason);
    };
    good("nth, count 1 implied", "block-read:nth=2:no-reply", "block-read:nth=2:no-reply");
    good("probability", "any:p=0.05:garbled", "any:p=0.05:garbled");
    good("end code", "open-read:end-code=50", "open-read:end-code=50");
    good("any order", "garbled=3:close", "close:garbled=3");
    good("count with nth", "block-write:count=4:nth=1:truncated=10",
         "block-write:nth=1:count=4:truncated=10");
    good("unlimited from nth", "open-write:nth=3:count=0:short=2",
         "open-write:nth=3:count=0:short=2");
    good("count without nth", "stray=4:count=2", "any:count=2:stray=4");
    good("default kind", "long", "any:long");
    good("split with gap", "data-read:split=3:delay=5", "data-read:split=3:delay=5");
    good("late", "data-write:late", "data-write:late");
    good("p=1 is the default", "p=1:no-reply", "any:no-reply");
    bad("empty", "", "it is empty");
    bad("empty item", "block-read::late", "an item between \":\" is empty");
    bad("no fault", "block-read:nth=2", "no fault given");
    bad("two faults", "no-reply:late", "more than one fault");
    bad("two kinds", "open-read:close:late", "more than one command kind");
    bad("kind with value", "any=1:late", "the command kind \"any\" takes no value");
    bad("other is not a kind", "other:late", "unknown item \"other\"");
    bad("unknown", "frobnicate", "unknown item \"frobnicate\"");
    bad("nth 0", "nth=0:late", "nth needs a whole number of at least 1, not \"0\"");
    bad("nth twice", "nth=2:nth=3:late", "nth is given twice");
    bad("count negative", "count=-1:late", "count needs a whole number of at least 0");
    bad("p above 1", "p=1.5:late", "p needs a probability from 0 to 1, not \"1.5\"");
    bad("p negative", "p=-0.1:late", "p needs a probability");
    bad("p nan", "p=nan:late", "p needs a probability");
    bad("end code short", "end-code=5", "end-code needs two characters 0-9 or A-Z, not \"5\"");
    bad("end code lower", "end-code=ab", "end-code needs two characters");
    bad("no-reply with value", "no-reply=3", "the fault \"no-reply\" takes no value");
    bad("split 1", "split=1", "split needs a whole number of at least 2, not \"1\"");
    bad("garbled 0", "garbled=0", "garbled needs a whole number of at least 1");
    bad("delay negative", "delay=-5:late", "delay needs a number of milliseconds, not \"-5\"");
}

void tst_FaultPlan::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, canonical);
    QFETCH(QString, reason);
    FaultRule rule;
    rule.command = Command::Close;
    rule.fault = Fault::Stray;
    const FaultRule before = rule;
    QString error;
    FaultPlan plan = planOf({"late"});
    if (canonical.isEmpty()) {
        QVERIFY(!FaultRule::parse(text, rule, &error));
        QCOMPARE(rule, before);
        QVERIFY2(error.startsWith(QString("bad fault rule \"%1\": %2").arg(text, reason)),
                 qPrintable(error));
        QVERIFY(!plan.addRule(text, &error));
        QVERIFY(!FaultPlan::parse({"late", text}, plan, &error));
        QCOMPARE(plan.ruleTexts(), QStringList{"any:late"});
        return;
    }
    QVERIFY2(FaultRule::parse(text, rule, &error), qPrintable(error));
    QCOMPARE(rule.toString(), canonical);
    FaultRule again;
    QVERIFY(FaultRule::parse(canonical, again, &error));
    QCOMPARE(again, rule);
    QVERIFY(plan.addRule(text, &error));
    QCOMPARE(plan.ruleTexts(), (QStringList{"any:late", canonical}));
}

void tst_FaultPlan::triggers_data()
{
    QTest::addColumn<QStringList>("rules");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QStringList>("faults"); // per request, "-" for none
    auto row = [](const char *name, const QStringList &rules, const QStringList &requests,
                  const QStringList &faults) {
        QTest::newRow(name) << rules << requests << faults;
    };
    const QString read = QStringLiteral("RS,1W,1"), write = QStringLiteral("WS,1W,1");
    row("nth counts requests of its kind", {"block-read:nth=2:no-reply"},
        {"FO,1,R,0", "FR,1,1", "FR,1,2", "FR,1,2"}, {"-", "-", "no-reply", "-"});
    row("any:nth counts every request", {"any:nth=3:end-code=99"},
        {read, "FO,1,R,0", "FR,1,1", "FR,1,2"}, {"-", "-", "end-code", "-"});
    row("count limits firings from nth", {"data-read:nth=2:count=3:garbled"},
        {read, read, read, read, read}, {"-", "garbled", "garbled", "garbled", "-"});
    row("count without nth", {"data-write:count=2:no-reply"}, {write, write, write},
        {"no-reply", "no-reply", "-"});
    row("first triggered rule wins", {"open-read:end-code=50", "any:stray=1"}, {"FO,1,R,0", read},
        {"end-code", "stray"});
    // A fault on a frame the controller ignores is not applied, so the rule stays armed.
    row("silent controller", {"any:count=1:garbled"}, {"@FO,1,R,0", read, read},
        {"-", "garbled", "-"});
}

void tst_FaultPlan::triggers()
{
    QFETCH(QStringList, rules);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, faults);
    ControllerSimulator sim;
    FaultPlan plan = planOf(rules);
    QStringList got;
    for (const QString &request : requests) {
        const FaultPlan::Delivery d = plan.exchange(sim, frame(request));
        got << (d.faulted ? FaultRule::faultName(d.fault) : QStringLiteral("-"));
    }
    QCOMPARE(got, faults);
    QCOMPARE(plan.totalInjected(), faults.size() - faults.count("-"));
    for (int f = 0; f < FaultRule::FaultCount; ++f)
        QCOMPARE(plan.injectedCount(Fault(f)), faults.count(FaultRule::faultName(Fault(f))));
}

void tst_FaultPlan::probabilityIsSeeded()
{
    auto pattern = [](const QStringList &rules, quint32 seed) {
        FaultPlan plan = planOf(rules, seed);
        return hitPattern(plan);
    };
    const QStringList rule{"data-read:p=0.3:no-reply"};
    const QString a = pattern(rule, 42);
    QCOMPARE(pattern(rule, 42), a);
    QVERIFY(pattern(rule, 43) != a);
    // 1000 draws at p = 0.3: far outside 220..380 only with a broken generator.
    QVERIFY2(a.count('1') > 220 && a.count('1') < 380, qPrintable(QString::number(a.count('1'))));
    QCOMPARE(pattern({"data-read:p=0:no-reply"}, 42).count('1'), 0);
    // A rule of another kind never draws, so it cannot shift the pattern.
    QCOMPARE(pattern({"close:p=0.5:late", rule.first()}, 42), a);

    FaultPlan plan = planOf(rule, 7);
    plan.setSeed(42);
    QCOMPARE(hitPattern(plan), a);
    plan.resetCounters(); // restarts the generator too
    QCOMPARE(hitPattern(plan), a);
}

void tst_FaultPlan::faultShapesReply_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("chunks");
    QTest::addColumn<bool>("late");
    QTest::addColumn<int>("delay"); // before a late reply, or between the chunks of a split one
    QTest::addColumn<Fault>("fault");
    auto row = [](const char *text, const QByteArray &expected, int chunks, bool late, int delay,
                  Fault fault) {
        QTest::newRow(text) << QString(text) << expected << chunks << late << delay << fault;
    };
    // The clean reply to "FR,1,2" with the demo record of program 1 segment 2.
    const QByteArray clean = ControllerSimulator::buildReply(
        "00", "XFR,1,2," + ControllerSimulator().segmentRecord(1, 2).toLatin1());
    auto with = [&](int pos, char c) { return QByteArray(clean).replace(pos, 1, &c, 1); };
    const int etx = clean.size() - 3;
    row("garbled", with(1, '1'), 1, false, 0, Fault::Garbled);
    row("garbled=500", with(clean.size() - 1, '\x0B'), 1, false, 0, Fault::Garbled);
    row("truncated", clean.left(clean.size() / 2), 1, false, 0, Fault::Truncated);
    row("truncated=999", clean.left(clean.size() - 1), 1, false, 0, Fault::Truncated);
    row("short", QByteArray(clean).remove(etx - 1, 1), 1, false, 0, Fault::Short);
    row("long=2", QByteArray(clean).insert(etx, "00"), 1, false, 0, Fault::Long);
    row("end-code=52", ControllerSimulator::buildReply("52"), 1, false, 0, Fault::EndCode);
    row("stray=3", "\xFF\xFF\xFF" + clean, 1, false, 0, Fault::Stray);
    row("split=3", clean, 3, false, 20, Fault::Split);
    row("late", clean, 1, true, 1000, Fault::Late);
    row("late:delay=50", clean, 1, true, 50, Fault::Late);
    row("no-reply", QByteArray(), 0, false, 0, Fault::NoReply);
}

void tst_FaultPlan::faultShapesReply()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    QFETCH(int, chunks);
    QFETCH(bool, late);
    QFETCH(int, delay);
    QFETCH(Fault, fault);
    ControllerSimulator sim;
    FaultPlan plan = planOf({"block-read:" + text});
    plan.exchange(sim, frame("FO,1,R,0"));
    const FaultPlan::Delivery d = plan.exchange(sim, frame("FR,1,2"));
    QVERIFY(d.faulted);
    QCOMPARE(d.fault, fault);
    QCOMPARE(d.bytes(), expected);
    QCOMPARE(d.chunks.size(), chunks);
    QVERIFY(!d.chunks.contains(QByteArray()));
    QCOMPARE(d.late, late);
    QCOMPARE(late ? d.delayMs : d.chunkGapMs, delay);
    // Only a lost request and a refusal keep the controller from executing it.
    const bool executed = fault != Fault::NoReply && fault != Fault::EndCode;
    QCOMPARE(sim.frameCount(), executed ? 2 : 1);
}

void tst_FaultPlan::countersAndReset()
{
    ControllerSimulator sim;
    FaultPlan plan = planOf({"data-read:nth=1:late"});
    // One request of every kind, then three of no known kind.
    const QStringList requests{"FO,3,R,0", "FO,3,W,0", "FR,3,1",   "FW,3,1,0000", "FC,3",
                               "RS,1W,1",  "WS,1W,2",  "FO,3,X,0", "ZZ",          "@FC,3"};
    for (const QString &request : requests)
        plan.exchange(sim, frame(request));
    plan.exchange(sim, frame("FR,3,1").mid(1)); // no STX
    QList<int> counts;
    for (int c = 0; c < FaultRule::CommandCount; ++c)
        counts << plan.requestCount(Command(c));
    // any, open-read, open-write, block-read, block-write, close, data-read, data-write, other
    QCOMPARE(counts, (QList<int>{11, 1, 1, 1, 1, 1, 1, 1, 4}));
    QCOMPARE(plan.exchangeCount(), 11);
    QCOMPARE(plan.injectedCount(Fault::Late), 1);
    QVERIFY(!plan.exchange(sim, frame("RS,1W,1")).late); // nth=1 fires once

    plan.resetCounters();
    QCOMPARE(plan.exchangeCount(), 0);
    QCOMPARE(plan.requestCount(Command::DataRead), 0);
    QCOMPARE(plan.totalInjected(), 0);
    QVERIFY(plan.exchange(sim, frame("RS,1W,1")).late); // the rule fires again
    plan.clearRules();
    QVERIFY(plan.ruleTexts().isEmpty());
    QVERIFY(!plan.exchange(sim, frame("RS,1W,1")).faulted);
}

QTEST_GUILESS_MAIN(tst_FaultPlan)
#include "tst_faultplan.moc"
