#ifndef DEVICESERVICE_H
#define DEVICESERVICE_H

#include <QObject>
#include <QString>

// The host's device service as the plugin finds it through the application property "KDevice".
// This host has a single storage, the application directory, where the plugin keeps its program
// files and error logs; every storage number answers it.
class DeviceService : public QObject
{
    Q_OBJECT
public:
    explicit DeviceService(QObject *parent = nullptr);

    Q_INVOKABLE QString getMount(int storage);
};

#endif
