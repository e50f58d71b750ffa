// The pieces of the dcp30 tool that run without the tool: tag value coding, the progress line
// and the simulator's line. The line ports themselves
// are tested with their library (tests/auto/ports).

#include "ControllerSimulator.h"
#include "ProgressBar.h"
#include "SimulatedPort.h"
#include "SimulatorLink.h"
#include "SimulatorServer.h"
#include "TagCommand.h"

#include <QtTest>

class tst_CliPorts : public QObject
{
    Q_OBJECT

private slots:
    void tagValues_data()
    {
        QTest::addColumn<int>("dataType");
        QTest::addColumn<QList<qint64>>("values");
        QTest::addColumn<QByteArray>("bytes"); // empty: the values do not fit the type
        QTest::newRow("32-bit") << 3 << QList<qint64>{-200, 1300}
                                << QByteArray::fromHex("38ffffff14050000");
        QTest::newRow("16-bit") << 2 << QList<qint64>{-1, 300} << QByteArray::fromHex("ffff2c01");
        QTest::newRow("64-bit") << 4 << QList<qint64>{-2}
                                << QByteArray::fromHex("feffffffffffffff");
        QTest::newRow("bytes") << 1 << QList<qint64>{0, 255} << QByteArray::fromHex("00ff");
        QTest::newRow("bits, lowest first")
            << 0 << QList<qint64>{1, 0, 1, 1, 0, 0, 0, 0, 1} << QByteArray::fromHex("0d01");
        // Every element reads back as written: no value that would come back as another one.
        QTest::newRow("32-bit above its signed range")
            << 3 << QList<qint64>{0, 4294967295LL} << QByteArray();
        QTest::newRow("16-bit above its signed range") << 2 << QList<qint64>{32768} << QByteArray();
        QTest::newRow("byte below zero") << 5 << QList<qint64>{-1} << QByteArray();
        QTest::newRow("32-bit limits") << 3 << QList<qint64>{-2147483648LL, 2147483647}
                                       << QByteArray::fromHex("00000080ffffff7f");
        QTest::newRow("byte too small") << 1 << QList<qint64>{-129} << QByteArray();
        QTest::newRow("bit 2") << 0 << QList<qint64>{2} << QByteArray();
        QTest::newRow("unknown type") << 6 << QList<qint64>{1} << QByteArray();
    }

    void tagValues()
    {
        QFETCH(int, dataType);
        QFETCH(QList<qint64>, values);
        QFETCH(QByteArray, bytes);
        QByteArray encoded;
        QString error;
        const bool fits = !bytes.isEmpty();
        QCOMPARE(TagCommand::encode(values, dataType, encoded, &error), fits);
        QCOMPARE(error.isEmpty(), fits);
        if (!fits)
            return;
        QCOMPARE(encoded, bytes);
        QCOMPARE(TagCommand::decode(bytes, dataType, quint64(values.size())), values);
        // A short answer gives only its whole elements.
        if (dataType != 0 && bytes.size() > 1)
            QCOMPARE(TagCommand::decode(bytes.chopped(1), dataType, quint64(values.size())),
                     values.mid(0, values.size() - 1));
    }

    void progressLine_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("line");
        QTest::newRow("below") << -4 << "Reading program 3 [----------]   0%";
        QTest::newRow("a third") << 33 << "Reading program 3 [###-------]  33%";
        QTest::newRow("above") << 250 << "Reading program 3 [##########] 100%";
    }

    void progressLine()
    {
        QFETCH(int, percent);
        QFETCH(QString, line);
        QCOMPARE(ProgressBar(QStringLiteral("Reading program 3"), false, 10).render(percent), line);
    }

    void simulatorLinkKeepsReplyOrder()
    {
        // The late reply to the first block read must hold back the two replies after it.
        FaultPlan plan;
        QString error;
        QVERIFY2(
            FaultPlan::parse({QStringLiteral("block-read:nth=1:late:delay=150")}, plan, &error),
            qPrintable(error));
        SimulatorServer server(plan);
        QList<QByteArray> sent;
        // Every reply is taken whole.
        auto send = [&sent](const QByteArray &bytes) {
            return qint64((sent << bytes).last().size());
        };
        SimulatorLink link(&server, send, QStringLiteral("test"));

        ControllerSimulator reference;
        QByteArray expected;
        QByteArray requests;
        for (const char *text : {"0100XFO,1,R,0", "0100XFR,1,1", "0100XFR,1,2"}) {
            const QByteArray frame = ControllerSimulator::buildRequest(QLatin1String(text));
            expected += reference.handleFrame(frame);
            requests += frame;
        }
        // All three requests at once, cut in the middle of the second frame.
        link.receive(requests.left(20));
        link.receive(requests.mid(20));
        QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 3, 5000);
        QCOMPARE(sent.join(), expected);
        QCOMPARE(link.queuedChunkCount(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_CliPorts)
#include "tst_cli_ports.moc"
