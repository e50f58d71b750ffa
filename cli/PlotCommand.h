#ifndef PLOTCOMMAND_H
#define PLOTCOMMAND_H

#include <QStringList>

// "dcp30 plot": the setpoint profile of a program CSV file as a PNG or SVG picture, with the
// segments that fail validation marked. Needs a QGuiApplication (text is drawn with fonts).
class PlotCommand
{
public:
    static int run(const QStringList &arguments);
};

#endif
