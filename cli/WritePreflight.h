#ifndef WRITEPREFLIGHT_H
#define WRITEPREFLIGHT_H

#include <QList>
#include <QString>
#include <QStringList>

// The checks a program file passes before a write may open the controller's program (opening it
// for writing clears it): the file is loaded and judged as the plugin would judge it, against
// the controller's range parameters.
class WritePreflight
{
public:
    enum class Result { Clean, Problems, CannotLoad };

    // Loads fileName and checks segments 1..segments against paras (SP1 low and high limit,
    // event types 1 to 3). Clean when it may be written; Problems with the lines to print in
    // *lines; CannotLoad with the loader's report in *lines.
    static Result check(const QString &fileName, int segments, const QList<qint32> &paras,
                        QStringList *lines);
};

#endif
