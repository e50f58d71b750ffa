#ifndef DRIVERINTERFACE_H
#define DRIVERINTERFACE_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>

class CommSettings;
class CommunicatorCommand;
class PortObject;
class ProtocolSettings;

// The host runtime's driver interface. The host and every driver plugin are built against the
// same declaration, so the order of the operations, their arguments and results are binding:
// a host calling operation n on any driver reaches that driver's operation n.
class DriverInterface
{
public:
    virtual ~DriverInterface() {}

    virtual int queryValue1() = 0; // 1
    virtual bool writeTag(PortObject *port, CommunicatorCommand *command,
                          QByteArray &value) = 0;                                   // 2
    virtual QByteArray readTag(PortObject *port, CommunicatorCommand *command) = 0; // 3
    virtual int queryFlag4() = 0;                                                   // 4
    virtual int queryFlag5() = 0;                                                   // 5
    virtual QString getDeviceName() = 0;                                            // 6
    virtual QString getVendorName() = 0;                                            // 7
    virtual QString getVersion() = 0;                                               // 8
    // The caller owns the new record.
    virtual CommSettings *createDefaultCommSettings() = 0; // 9
    // The caller owns the new record.
    virtual ProtocolSettings *createDefaultProtocolSettings() = 0; // 10
    virtual QString getDefaultCommText() = 0;                      // 11
    virtual int queryValue12() = 0;                                // 12
    virtual void setFlag13(bool on) = 0;                           // 13
    virtual int queryValue14() = 0;                                // 14
    virtual int queryValue15() = 0;                                // 15
    virtual bool hasError() = 0;                                   // 16
    virtual QString getErrorMessage() = 0;                         // 17
    virtual QObject *getObject() = 0;                              // 18

    // Operations 19 to 23 are the host's; drivers normally keep these bodies.
    virtual int queryValue19() { return 0; }           // 19
    virtual void notify20(const QVariant &argument) {} // 20
    virtual void notify21(const QVariant &argument) {} // 21
    virtual int queryFlag22() { return 1; }            // 22
    virtual int queryFlag23() { return 1; }            // 23
};

#define DriverInterface_iid "com.tessaril.drivers.DriverInterface/1.1"
Q_DECLARE_INTERFACE(DriverInterface, DriverInterface_iid)

// Signature of the "CreateDriver" export of every driver plugin file.
using CreateDriverFunction = DriverInterface *(*)();

#endif
