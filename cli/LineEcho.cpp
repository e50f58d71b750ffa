#include "LineEcho.h"

#include "Console.h"
#include "LinePort.h"

QString LineEcho::advice()
{
    return QStringLiteral("dcp30: the line echoes every request (an adapter with local echo on?): "
                          "switch the echo off");
}

bool LineEcho::report(const PortObject *port)
{
    if (!LinePort::echoes(port))
        return false;
    Console::error(advice());
    return true;
}
