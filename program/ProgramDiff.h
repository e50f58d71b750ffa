#ifndef PROGRAMDIFF_H
#define PROGRAMDIFF_H

#include <QList>
#include <QString>
#include <QStringList>

// Two programs compared cell by cell as the controller would store them: a program file that was
// written against the program read back, two reads of the same program, or any two program
// files. The line carries no check characters, so a flipped digit in a reply is a wrong value
// that only such a comparison finds.
//
// Cells are compared by the word the controller keeps: numbers by value ("085" equals "85"),
// "----" as the unset word (so SP1 "----" equals the 32767 it reads back as), TIME and the time
// events in minutes ("01:75" equals "02:15"), the Tag upper-cased and padded to 8 characters.
// A cell that is no valid number is compared as text. Labels are not compared; the program-wide
// cells (P.STA, CYCL, P.LIN, Tag) only in segment 1's row.
class ProgramDiff
{
public:
    struct Difference
    {
        int segment = 0; // 1-based
        int column = 0;  // index into the header row; 0 when one side has no row at all
        QString left;    // the cell as the first program has it; for column 0 the row's label,
                         // or "(no row)"
        QString right;   // the same for the second program

        bool operator==(const Difference &other) const
        {
            return segment == other.segment && column == other.column && left == other.left &&
                   right == other.right;
        }
    };

    // Text a missing row shows as.
    static QString noRow();

    // The differences between the segment rows (header removed, row n-1 is segment n's) of left
    // and right in the given segments, in segment and column order; empty when they agree.
    static QList<Difference> compare(const QList<QStringList> &left,
                                     const QList<QStringList> &right, const QList<int> &segments);
    // The same for segments 1..segmentCnt.
    static QList<Difference> compare(const QList<QStringList> &left,
                                     const QList<QStringList> &right, int segmentCnt);

    // What the controller keeps for cell in column column, as comparable text: the signed 16-bit
    // word in decimal, the 8 Tag characters, or the cell itself after "text:" when it is no
    // valid value.
    static QString storedValue(int column, const QString &cell);

    // "SEG3 SP1: wrote 85, read 58" with leftWord "wrote" and rightWord "read"; a program-wide
    // cell is named by its title alone ("Tag: ...") and Tag texts are quoted.
    static QString describe(const Difference &difference, const QString &leftWord,
                            const QString &rightWord);
};

#endif
