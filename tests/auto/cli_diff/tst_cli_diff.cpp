// "dcp30 diff": which cells differ between two programs, files or controller programs, and the
// exit status scripts rely on.

#include "CliSupport.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_CliDiff : public QObject
{
    Q_OBJECT

private slots:
    void compare_data();
    void compare();

private:
    QTemporaryDir m_dir;
};

void tst_CliDiff::compare_data()
{
    QTest::addColumn<QString>("right");      // "controller:N" or the name of a changed copy
    QTest::addColumn<QList<int>>("changed"); // row, column, of the copy's cell to change ...
    QTest::addColumn<QStringList>("texts");  // ... to these texts
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines"); // stdout

    QTest::newRow("same file") << "copy.txt" << QList<int>{} << QStringList{} << 0 << QStringList{};
    // Written differently, stored alike.
    QTest::newRow("same values, other notation")
        << "copy.txt" << QList<int>{1, 1, 1, 2} << QStringList{"0150", "0:45"} << 0
        << QStringList{};
    QTest::newRow("a setpoint and the tag")
        << "copy.txt" << QList<int>{3, 1, 1, 25} << QStringList{"600", "ANNEAL02"} << 1
        << QStringList{"Tag: left.txt \"ANNEAL01\", copy.txt \"ANNEAL02\"",
                       "SEG3 SP1: left.txt 620, copy.txt 600"};
    QTest::newRow("the controller holds the file's program")
        << "controller:1" << QList<int>{} << QStringList{} << 0 << QStringList{};
}

void tst_CliDiff::compare()
{
    QFETCH(QString, right);
    QFETCH(QList<int>, changed);
    QFETCH(QStringList, texts);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    const QList<QStringList> rows = ProgramFiles::demoRows(1, 3);
    QVERIFY(ProgramFiles::save(rows, m_dir.filePath("left.txt")));
    QList<QStringList> copy = rows;
    for (int i = 0; i < texts.size(); ++i)
        copy[changed.at(2 * i)][changed.at(2 * i + 1)] = texts.at(i);
    QVERIFY(ProgramFiles::save(copy, m_dir.filePath("copy.txt")));

    const CliProcess::Result result =
        CliProcess::run({"diff", "left.txt", right}, 60000, m_dir.path());
    QVERIFY2(result.finished && result.exitCode == exitCode, result.describe());
    QStringList out = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    out.sort();
    lines.sort();
    QCOMPARE(out, lines);
}

QTEST_GUILESS_MAIN(tst_CliDiff)
#include "tst_cli_diff.moc"
