#ifndef COMMENDPOINT_H
#define COMMENDPOINT_H

#include <QString>

// One network endpoint of a link: IP text and TCP port.
struct CommEndpoint
{
    QString ip;
    quint16 port = 0;
};

#endif
