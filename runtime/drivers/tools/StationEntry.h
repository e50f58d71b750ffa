#ifndef DRIVERTOOLS_STATIONENTRY_H
#define DRIVERTOOLS_STATIONENTRY_H

#include <QtGlobal>

namespace DriverTools {

// One station a driver serves: the link it belongs to and its station number on that link.
struct StationEntry
{
    qint32 linkId = 0;
    quint8 stationId = 0;

    bool operator==(const StationEntry &other) const
    {
        return linkId == other.linkId && stationId == other.stationId;
    }
};

} // namespace DriverTools

#endif
