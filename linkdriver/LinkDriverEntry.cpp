// The link driver file's factory: each call hands out a new, independent driver object.

#include "VorexDriver.h"

extern "C" Q_DECL_EXPORT DriverInterface *CreateDriver()
{
    return new VorexDriver;
}
