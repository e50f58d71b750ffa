// The simulated controller the tests and "dcp30 simulate" stand on: its replies to every kind of
// request and the fault plan that damages them.

#include "ControllerSimulator.h"
#include "FaultPlan.h"

#include <QtTest>

using Mode = ControllerSimulator::FileMode;
using Command = FaultRule::Command;
using Fault = FaultRule::Fault;
Q_DECLARE_METATYPE(Fault)

namespace {

// A request for station 01; a text starting with "@" goes to station 02, which nobody answers.
QByteArray req(const QString &text)
{
    if (text.startsWith(QLatin1Char('@')))
        return ControllerSimulator::buildRequest("0200X" + text.mid(1));
    return ControllerSimulator::buildRequest("0100X" + text);
}

QByteArray reply(const QByteArray &endCode, const QByteArray &payload = {})
{
    return ControllerSimulator::buildReply(endCode, payload);
}

FaultPlan planOf(const QStringList &rules)
{
    FaultPlan plan;
    QString error;
    if (!FaultPlan::parse(rules, plan, &error, 1))
        qFatal("%s", qPrintable(error));
    return plan;
}

} // namespace

class tst_Sim : public QObject
{
    Q_OBJECT

private slots:
    void replies_data()
    {
        QTest::addColumn<QStringList>("setup"); // requests answered "00" first
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("reply");
        auto row = [](const char *name, const QStringList &setup, const QByteArray &frame,
                      const QByteArray &reply) { QTest::newRow(name) << setup << frame << reply; };
        auto code = [&](const char *name, const QStringList &setup, const QString &text,
                        const char *endCode) { row(name, setup, req(text), reply(endCode)); };
        const QStringList none, openR1{"FO,1,R,0"}, openW4{"FO,4,W,0"};
        const QString rec2(ControllerSimulator::recordLength(2),
                           QLatin1Char('1')); // valid in segment 2

        // Framing: the exact bytes of a reply; frames not for this station get no reply at all.
        const QByteArray stx("\x02");
        row("bad sub-address", none, stx + "0101XFO,1,R,0\x03\r\n", stx + "0100X40\x03\r\n");
        row("no ETX", none, stx + "0100XFO,1,R,0\r\n", "");
        row("other station", none, req("@FO,1,R,0"), "");

        code("open another while open", openR1, "FO,2,W,0", "50");
        code("open program 20", none, "FO,20,W,0", "52");
        code("read closed", none, "FR,1,1", "51");
        code("read on write file", openW4, "FR,4,1", "54");
        code("read past last segment", openR1, "FR,1,9", "52");
        code("write seg 31", openW4, "FW,4,31," + rec2, "52");
        code("write seg 1 with 92 digits", openW4, "FW,4,1," + rec2, "57");
        code("write non-hex digit", openW4, "FW,4,2," + rec2.left(91) + "G", "57");
        code("undefined command", none, "FD,1", "99");

        // Data reads: the defaults of the range parameters, the count and address limits.
        row("SP limits", none, req("RS,4509W,2"), stx + "0100X00,-200,1300\x03\r\n");
        code("17 words", none, "RS,0W,17", "41");
        code("past the end", none, "RS,65535W,2", "42");
    }

    void replies()
    {
        QFETCH(QStringList, setup);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, reply);
        ControllerSimulator sim;
        for (const QString &step : setup)
            QCOMPARE(sim.handleFrame(req(step)), ::reply("00"));
        const Mode before = sim.openMode();
        QCOMPARE(sim.handleFrame(frame), reply);
        if (!reply.contains("X00")) // a refused request leaves the file state as it was
            QCOMPARE(sim.openMode(), before);
    }

    void parseRule_data()
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
        good("count with nth", "block-write:count=4:nth=1:truncated=10",
             "block-write:nth=1:count=4:truncated=10");
        good("count without nth, default kind", "stray=4:count=2", "any:count=2:stray=4");
        good("probability", "data-read:p=0.05:split=3:delay=5", "data-read:p=0.05:split=3:delay=5");
        good("end code", "open-read:end-code=50", "open-read:end-code=50");
        bad("no fault", "block-read:nth=2", "no fault given");
        bad("two faults", "no-reply:late", "more than one fault");
        bad("nth 0", "nth=0:late", "nth needs a whole number of at least 1, not \"0\"");
        bad("p above 1", "p=1.5:late", "p needs a probability from 0 to 1, not \"1.5\"");
        bad("end code short", "end-code=5", "end-code needs two characters 0-9 or A-Z, not \"5\"");
    }

    void parseRule()
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
            QVERIFY(!FaultPlan::parse({"late", text}, plan, &error));
            QCOMPARE(plan.ruleTexts(), QStringList{"any:late"});
            return;
        }
        QVERIFY2(FaultRule::parse(text, rule, &error), qPrintable(error));
        QCOMPARE(rule.toString(), canonical);
        FaultRule again;
        QVERIFY(FaultRule::parse(canonical, again, &error));
        QCOMPARE(again, rule);
    }

    void faultShapesReply_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("chunks");
        QTest::addColumn<bool>("late");
        QTest::addColumn<int>("delay"); // before a late reply, or between the chunks of a split one
        QTest::addColumn<Fault>("fault");
        auto row = [](const char *text, const QByteArray &expected, int chunks, bool late,
                      int delay, Fault fault) {
            QTest::newRow(text) << QString(text) << expected << chunks << late << delay << fault;
        };
        const QByteArray clean =
            reply("00", "XFR,1,2," + ControllerSimulator().segmentRecord(1, 2).toLatin1());
        const int etx = clean.size() - 3;
        row("garbled", QByteArray(clean).replace(1, 1, "1"), 1, false, 0, Fault::Garbled);
        row("truncated", clean.left(clean.size() / 2), 1, false, 0, Fault::Truncated);
        row("short", QByteArray(clean).remove(etx - 1, 1), 1, false, 0, Fault::Short);
        row("long=2", QByteArray(clean).insert(etx, "00"), 1, false, 0, Fault::Long);
        row("end-code=52", reply("52"), 1, false, 0, Fault::EndCode);
        row("stray=3", "\xFF\xFF\xFF" + clean, 1, false, 0, Fault::Stray);
        row("split=3", clean, 3, false, 20, Fault::Split);
        row("late:delay=50", clean, 1, true, 50, Fault::Late);
        row("no-reply", QByteArray(), 0, false, 0, Fault::NoReply);
    }

    void faultShapesReply()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        QFETCH(int, chunks);
        QFETCH(bool, late);
        QFETCH(int, delay);
        QFETCH(Fault, fault);
        ControllerSimulator sim;
        FaultPlan plan = planOf({"block-read:" + text});
        plan.exchange(sim, req("FO,1,R,0"));
        const FaultPlan::Delivery d = plan.exchange(sim, req("FR,1,2"));
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
};

QTEST_GUILESS_MAIN(tst_Sim)
#include "tst_sim.moc"
