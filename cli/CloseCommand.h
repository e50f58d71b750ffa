#ifndef CLOSECOMMAND_H
#define CLOSECOMMAND_H

#include <QStringList>

// "dcp30 close": sends the controller's close command for one program. A transfer that failed
// after opening the controller's program file leaves it open, and the controller then refuses
// every open with "File is already open." until it is closed.
class CloseCommand
{
public:
    static int run(const QStringList &arguments);
};

#endif
