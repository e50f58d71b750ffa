#ifndef PROGRAMTEMPLATE_H
#define PROGRAMTEMPLATE_H

#include <QList>
#include <QStringList>

// The program File > New starts from: the simulated controller's demo program 1 (an anneal of
// 8 segments, valid under the default range parameters), as a read of it would save it.
class ProgramTemplate
{
public:
    // The header row followed by the segment rows.
    static QList<QStringList> table();
};

#endif
