// Two programs compared cell by cell as the controller stores them: what counts as the same
// value, which cells are compared, and how a difference is named.

#include "ProgramDiff.h"

#include <QtTest>

namespace {

using L = QStringList;
using Rows = QList<L>;
using Difference = ProgramDiff::Difference;

// A row as a read from the controller gives it.
L row(int segment)
{
    L cells =
        QStringLiteral("SEG%1,85,01:30,0,10,----,----,----,----,0.10,2.00").arg(segment).split(',');
    for (int i = 0; i < 8; ++i)
        cells << "----";
    cells << "3"
          << "----"
          << "----";
    return cells +
           (segment == 1 ? L{"0", "1", "0", "ANNEAL  "} : L{"----", "----", "----", "----"});
}

Rows program(int segments)
{
    Rows rows;
    for (int segment = 1; segment <= segments; ++segment)
        rows << row(segment);
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(QList<ProgramDiff::Difference>)

class tst_ProgramDiff : public QObject
{
    Q_OBJECT

private slots:
    void compare_data();
    void compare();
    void describe_data();
    void describe();
};

void tst_ProgramDiff::compare_data()
{
    QTest::addColumn<int>("segment"); // the row of the second program that is changed
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QList<Difference>>("expected");

    const QList<Difference> none;
    // Written and read back alike.
    QTest::newRow("same number, other spelling") << 2 << 1 << "+085" << none;
    QTest::newRow("time with minutes above 59") << 1 << 2 << "0:90" << none;
    QTest::newRow("time event minutes with a leading zero") << 1 << 9 << "0.010" << none;
    QTest::newRow("time event as whole hours") << 1 << 10 << "2" << none;
    QTest::newRow("time event minutes above 59") << 1 << 10 << "1.60" << none;
    QTest::newRow("tag in lower case, unpadded") << 1 << 25 << "anneal" << none;
    QTest::newRow("label") << 2 << 0 << "SEG9" << none;
    QTest::newRow("unset event written as 32767") << 2 << 5 << "32767" << none;
    QTest::newRow("program-wide cells of other segments") << 2 << 23 << "7" << none;
    // Different.
    QTest::newRow("SP1") << 3 << 1 << "58" << QList<Difference>{{3, 1, "85", "58"}};
    QTest::newRow("unset event against a value")
        << 1 << 5 << "0" << QList<Difference>{{1, 5, "----", "0"}};
    QTest::newRow("time a minute off")
        << 2 << 2 << "01:31" << QList<Difference>{{2, 2, "01:30", "01:31"}};
    QTest::newRow("time event") << 1 << 10 << "2.01" << QList<Difference>{{1, 10, "2.00", "2.01"}};
    QTest::newRow("CYCL") << 1 << 23 << "2" << QList<Difference>{{1, 23, "1", "2"}};
    QTest::newRow("tag") << 1 << 25 << "ANNEAM" << QList<Difference>{{1, 25, "ANNEAL  ", "ANNEAM"}};
    QTest::newRow("text against a number")
        << 2 << 19 << "x" << QList<Difference>{{2, 19, "3", "x"}};
    QTest::newRow("segment beyond the compared ones") << 4 << 1 << "58" << none;
}

void tst_ProgramDiff::compare()
{
    QFETCH(int, segment);
    QFETCH(int, column);
    QFETCH(QString, cell);
    QFETCH(QList<Difference>, expected);

    const Rows left = program(3);
    Rows right = program(4);
    right[segment - 1][column] = cell;
    QCOMPARE(ProgramDiff::compare(left, right, 3), expected);
    // Swapped, the same cells differ with the sides swapped.
    const QList<Difference> swapped = ProgramDiff::compare(right, left, 3);
    QCOMPARE(swapped.size(), expected.size());
    for (int i = 0; i < swapped.size(); ++i)
        QCOMPARE(swapped.at(i).right, expected.at(i).left);
}

void tst_ProgramDiff::describe_data()
{
    QTest::addColumn<Rows>("right");
    QTest::addColumn<QList<int>>("segments");
    QTest::addColumn<QStringList>("lines");

    Rows changed = program(3);
    changed[2][1] = "58";
    changed[0][25] = "ANNEAM";
    changed[0][22] = "1";
    QTest::newRow("segment cells and program-wide cells")
        << changed << QList<int>{1, 2, 3}
        << QStringList{"P.STA: wrote 0, read 1", "Tag: wrote \"ANNEAL  \", read \"ANNEAM\"",
                       "SEG3 SP1: wrote 85, read 58"};
    QTest::newRow("only the segments asked for") << changed << QList<int>{2} << QStringList{};
    QTest::newRow("missing row") << program(1) << QList<int>{1, 3}
                                 << QStringList{"SEG3: wrote SEG3, read (no row)"};
}

void tst_ProgramDiff::describe()
{
    QFETCH(Rows, right);
    QFETCH(QList<int>, segments);
    QFETCH(QStringList, lines);

    QStringList described;
    for (const Difference &difference : ProgramDiff::compare(program(3), right, segments))
        described << ProgramDiff::describe(difference, "wrote", "read");
    QCOMPARE(described, lines);
}

QTEST_GUILESS_MAIN(tst_ProgramDiff)
#include "tst_programdiff.moc"
