#ifndef DRIVERTOOLS_STATIONLOOKUP_H
#define DRIVERTOOLS_STATIONLOOKUP_H

#include "StationEntry.h"

#include <QDir>
#include <QList>
#include <QString>

// Finding the project database and the links and stations a driver serves, from its LINK
// (LINKID, HMIPORT) and NODE (LINKID, STATIONID, IP, PORT, ISDEFAULT) tables.
//
// The connection argument names a connection known to QSqlDatabase; it is opened when it is not
// open yet. Every value goes into the queries as a bound parameter, never as SQL text. A query
// that fails (unknown connection, missing table) yields no rows and gives no message. Station
// ids are cut to their lowest 8 bits.
namespace DriverTools {

// The application directory, entered into its subdirectory "compile" when that exists.
QDir compileDir();
// The same rule from another base directory (compileDir() passes the application directory).
QDir compileDir(const QString &baseDir);

// Starting from compileDir(), entered into its subdirectory "database" when that exists, the
// absolute path of the file named "database" there. The file need not exist.
QString databaseFilePath();
QString databaseFilePath(const QString &baseDir);

// The HMI port number of a device text: 2000 when the text begins with "ETHERNET" in any letter
// case; otherwise the decimal number formed by the run of ASCII digits at the end of the text plus
// 1000 ("COM1" gives 1001). A text that is empty, ends in a non-digit, consists of digits only, or
// whose number would take the port above the int range has no port number and answers -1.
int hmiPortFromDevice(const QString &device);

// The first link with HMIPORT hmiPort and its default station. True when a row was found; the
// outputs are left untouched otherwise.
bool defaultStationOfPort(const QString &connection, int hmiPort, int &linkId, quint8 &stationId);

// Appends, in query order, the default stations of the links on hmiPort whose node has this IP
// text and TCP port. True when the list is not empty afterwards (entries it held before count).
bool stationsOfEndpoint(const QString &connection, int hmiPort, const QString &ip, quint16 tcpPort,
                        QList<StationEntry> &stations);

// Appends (linkId, station) for every default station of the link. True when the list is not
// empty afterwards.
bool stationsOfLink(const QString &connection, int linkId, QList<StationEntry> &stations);

} // namespace DriverTools

#endif
