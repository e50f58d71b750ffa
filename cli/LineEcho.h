#ifndef LINEECHO_H
#define LINEECHO_H

#include <QString>

class PortObject;

// Names the cause when a command failed on a line that hands every request straight back (an
// RS-485 adapter with local echo on): every "reply" is then the request itself, which looks like
// a controller that does not answer.
class LineEcho
{
public:
    // The one-line advice, "dcp30: the line echoes every request ...".
    static QString advice();
    // Prints advice() on stderr when port is a line that has echoed a request; answers whether it
    // did. Any other port (the simulated controller, none) prints nothing and answers false.
    static bool report(const PortObject *port);
};

#endif
