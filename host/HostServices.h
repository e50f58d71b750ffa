#ifndef HOSTSERVICES_H
#define HOSTSERVICES_H

class QObject;

// The host runtime's service objects ("MessageCenter", "KDevice"): it publishes each as an
// application property holding the object's address (a QObject* variant is accepted as well).
class HostServices
{
public:
    // The object the application property propertyName names; null when there is no
    // application object, no such property, or a value that is no address.
    static QObject *object(const char *propertyName);
};

#endif
