// Loads the plugin file the way hosts do: through its CreateDriver export and through the
// toolkit's plugin loader, and checks what the file exports. Each entry point is looked up by
// its plain (extern "C") name.

#include "DriverInterface.h"

#include <QLibrary>
#include <QPluginLoader>
#include <QtTest>

class tst_PluginLoading : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void createDriverGivesIndependentObjects();
    void pluginLoaderCastsByInterfaceId();
    void verificationData();

private:
    QString m_plugin;
};

void tst_PluginLoading::initTestCase()
{
    m_plugin = QCoreApplication::applicationDirPath() + QStringLiteral("/libdcp30.so");
    QVERIFY2(QFile::exists(m_plugin), qPrintable(m_plugin));
}

// What the host asks of each driver object it makes.
void tst_PluginLoading::createDriverGivesIndependentObjects()
{
    QLibrary library(m_plugin);
    auto create = reinterpret_cast<CreateDriverFunction>(library.resolve("CreateDriver"));
    QVERIFY2(create, qPrintable(library.errorString()));
    DriverInterface *a = create();
    DriverInterface *b = create();
    QVERIFY(a && b && a != b);
    QCOMPARE(a->getObject()->metaObject()->className(), "DriverDCP30");
    QVERIFY(a->getObject() != b->getObject());
    QCOMPARE((QStringList{a->getDeviceName(), a->getVendorName(), a->getVersion(),
                          a->getDefaultCommText()}),
             (QStringList{"DCP30", "Yamatake", "1.0.0", "RS485,9600,EVEN,8,1"}));
    QCOMPARE((QList<int>{a->queryValue1(), a->queryFlag4(), a->queryFlag5(), a->queryValue12(),
                         a->queryValue14(), a->queryValue15()}),
             (QList<int>{65535, 1, 1, 64, 0, 0}));
    delete a; // through the interface's virtual destructor
    QVERIFY(!b->hasError());
    delete b;
}

void tst_PluginLoading::pluginLoaderCastsByInterfaceId()
{
    QPluginLoader loader(m_plugin);
    QCOMPARE(loader.metaData().value("IID").toString(),
             QStringLiteral("com.tessaril.drivers.DriverInterface/1.1"));
    QObject *instance = loader.instance();
    QVERIFY2(instance, qPrintable(loader.errorString()));
    DriverInterface *driver = qobject_cast<DriverInterface *>(instance);
    QVERIFY(driver);
    QCOMPARE(static_cast<void *>(driver),
             instance->qt_metacast("com.tessaril.drivers.DriverInterface/1.1"));
}

// The toolkit compares this text with its own build before it loads a plugin.
void tst_PluginLoading::verificationData()
{
    QLibrary library(m_plugin);
    using DataFunction = const char *(*)();
    auto data =
        reinterpret_cast<DataFunction>(library.resolve("qt_plugin_query_verification_data"));
    QVERIFY(data);
    const QStringList lines = QString::fromLatin1(data()).split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.mid(0, 2), (QStringList{"pattern=QT_PLUGIN_VERIFICATION_DATA",
                                           "version=" + QLatin1String(qVersion())}));
    QVERIFY(lines.at(2) == QLatin1String("debug=false") || lines.at(2) == "debug=true");
    QVERIFY(lines.at(3).startsWith(QLatin1String("buildkey=")));
    QVERIFY(lines.at(3).contains(QSysInfo::buildCpuArchitecture()));
}

QTEST_GUILESS_MAIN(tst_PluginLoading)
#include "tst_pluginloading.moc"
