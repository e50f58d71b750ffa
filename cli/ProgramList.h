#ifndef PROGRAMLIST_H
#define PROGRAMLIST_H

#include <QList>
#include <QString>

// A set of program numbers written as a command-line list: numbers and ranges separated by
// commas, "1,3,5-7" or "1-19".
class ProgramList
{
public:
    // The programs of text in ascending order, each once. False with a one-line reason in *error
    // when a part is not a number or a range of numbers from 1 to 19, or a range runs backwards.
    static bool parse(const QString &text, QList<int> &programs, QString *error);
};

#endif
