#include "DeviceService.h"

#include <QCoreApplication>

DeviceService::DeviceService(QObject *parent) : QObject(parent) {}

QString DeviceService::getMount(int storage)
{
    Q_UNUSED(storage);
    return QCoreApplication::applicationDirPath();
}
