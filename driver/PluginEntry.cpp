// The plugin file's entry points. The toolkit's own two (qt_plugin_instance and
// qt_plugin_query_metadata) come from the plugin metadata of DriverDCP30: qt_plugin_instance
// keeps one shared instance in a static guarded pointer and builds a new one after it was
// deleted. CreateDriver hands out independent objects.

#include "DriverDCP30.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT DriverInterface *CreateDriver()
{
    return new DriverDCP30;
}

// The toolkit's plugin verification text, describing the toolkit build this plugin is made with.
#if defined(__x86_64__)
#define DCP30_BUILD_ARCH "x86_64"
#elif defined(__aarch64__)
#define DCP30_BUILD_ARCH "arm64"
#elif defined(__i386__)
#define DCP30_BUILD_ARCH "i386"
#else
#define DCP30_BUILD_ARCH "unknown"
#endif

#define DCP30_STR2(x) #x
#define DCP30_STR(x) DCP30_STR2(x)
#if defined(__clang__)
#define DCP30_BUILD_COMPILER "clang-" DCP30_STR(__clang_major__)
#elif defined(__GNUC__)
#define DCP30_BUILD_COMPILER "g++-" DCP30_STR(__GNUC__)
#else
#define DCP30_BUILD_COMPILER "unknown"
#endif

#ifdef QT_NO_DEBUG
#define DCP30_BUILD_DEBUG "false"
#else
#define DCP30_BUILD_DEBUG "true"
#endif

extern "C" Q_DECL_EXPORT const char *qt_plugin_query_verification_data()
{
    static const char data[] =
        "pattern=QT_PLUGIN_VERIFICATION_DATA\n"
        "version=" QT_VERSION_STR "\n"
        "debug=" DCP30_BUILD_DEBUG "\n"
        "buildkey=" DCP30_BUILD_ARCH " linux " DCP30_BUILD_COMPILER " full-config";
    return data;
}
