#include "HostServices.h"

#include <QCoreApplication>
#include <QVariant>

QObject *HostServices::object(const char *propertyName)
{
    const QCoreApplication *app = QCoreApplication::instance();
    const QVariant value = app ? app->property(propertyName) : QVariant();
    if (!value.isValid())
        return nullptr;
    if (value.userType() == QMetaType::QObjectStar)
        return value.value<QObject *>();
    bool ok = false;
    const quint64 address = value.toULongLong(&ok);
    if (!ok || address == 0)
        return nullptr;
    return reinterpret_cast<QObject *>(static_cast<quintptr>(address));
}
