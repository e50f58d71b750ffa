#include "ControllerSimulator.h"
#include "DemoPrograms.h"
#include "ProgramFormat.h"

#include <QtTest>

// The simulator's demo programs, read into CSV rows the way a read transfer does, then validated
// and rebuilt the way a write transfer does with the ranges the controller reports: a program read
// and written back unchanged must pass and come back the same.
class tst_DemoPrograms : public QObject
{
    Q_OBJECT

private slots:
    void surviveTheDriversRoundTrip_data();
    void surviveTheDriversRoundTrip();
};

void tst_DemoPrograms::surviveTheDriversRoundTrip_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("segments");
    QTest::addColumn<QString>("tag");

    QTest::newRow("program 1") << 1 << 8 << "ANNEAL01";
    QTest::newRow("program 2") << 2 << 10 << "CERAMIC2";
    QTest::newRow("program 3") << 3 << 8 << "CLIMATE3";
}

void tst_DemoPrograms::surviveTheDriversRoundTrip()
{
    QFETCH(int, program);
    QFETCH(int, segments);
    QFETCH(QString, tag);

    ControllerSimulator sim;
    ProgramFormat format;
    format.setParameters(sim.rangeParameters());
    const QStringList records = sim.programRecords(program);
    QCOMPARE(records, DemoPrograms::records(program));
    QCOMPARE(records.size(), segments);
    QList<QStringList> rows;
    for (const QString &record : records)
        format.HEX2CSV(rows.size() + 1, record + "\x03\r\n", rows);
    QCOMPARE(rows.first().last(), tag);
    for (int s = 1; s <= records.size(); ++s) {
        QString rebuilt;
        QStringList errors;
        QVERIFY2(format.validateDataRow(s, rows, rebuilt, errors),
                 qPrintable(QString("segment %1: %2").arg(s).arg(errors.join(" | "))));
        QCOMPARE(rebuilt, records.at(s - 1));
    }
}

QTEST_GUILESS_MAIN(tst_DemoPrograms)
#include "tst_demoprograms.moc"
