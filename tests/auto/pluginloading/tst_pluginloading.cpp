// Loads the plugin file the way hosts do: through its CreateDriver export and through the
// toolkit's plugin loader, and checks what the file exports.

#include "DriverInterface.h"

#include <QLibrary>
#include <QPluginLoader>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

class tst_PluginLoading : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exportedSymbols_data();
    void exportedSymbols();
    void createDriverGivesIndependentObjects();
    void pluginLoaderCastsByInterfaceId();
    void sharedInstanceRules();
    void verificationData();

private:
    QString m_plugin;
};

void tst_PluginLoading::initTestCase()
{
    m_plugin = QCoreApplication::applicationDirPath() + QStringLiteral("/libdcp30.so");
    QVERIFY2(QFile::exists(m_plugin), qPrintable(m_plugin));
}

void tst_PluginLoading::exportedSymbols_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::newRow("CreateDriver") << "CreateDriver";
    QTest::newRow("qt_plugin_instance") << "qt_plugin_instance";
    QTest::newRow("qt_plugin_query_metadata") << "qt_plugin_query_metadata";
    QTest::newRow("qt_plugin_query_verification_data") << "qt_plugin_query_verification_data";
}

void tst_PluginLoading::exportedSymbols()
{
    QFETCH(QString, symbol);
    if (QStandardPaths::findExecutable(QStringLiteral("nm")).isEmpty())
        QSKIP("nm is not installed");
    QProcess nm;
    nm.start(QStringLiteral("nm"), {"-D", "--defined-only", m_plugin});
    QVERIFY(nm.waitForFinished(30000));
    const QStringList lines = QString::fromLatin1(nm.readAllStandardOutput()).split('\n');
    bool found = false;
    for (const QString &line : lines) {
        const QStringList parts = line.simplified().split(' ');
        // Undecorated (extern "C") text symbols.
        if (parts.size() == 3 && parts.at(1) == QLatin1String("T") && parts.at(2) == symbol)
            found = true;
    }
    QVERIFY2(found, qPrintable(symbol));
}

void tst_PluginLoading::createDriverGivesIndependentObjects()
{
    QLibrary library(m_plugin);
    auto create = reinterpret_cast<CreateDriverFunction>(library.resolve("CreateDriver"));
    QVERIFY2(create, qPrintable(library.errorString()));
    DriverInterface *a = create();
    DriverInterface *b = create();
    QVERIFY(a && b && a != b);
    QCOMPARE(a->getDeviceName(), QStringLiteral("DCP30"));
    QCOMPARE(a->getObject()->metaObject()->className(), "DriverDCP30");
    QVERIFY(a->getObject() != b->getObject());
    delete a; // through the interface's virtual destructor
    QCOMPARE(b->getVendorName(), QStringLiteral("Yamatake"));
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
    QCOMPARE(driver->getDefaultCommText(), QStringLiteral("RS485,9600,EVEN,8,1"));
    QCOMPARE(static_cast<void *>(driver),
             instance->qt_metacast("com.tessaril.drivers.DriverInterface/1.1"));
}

void tst_PluginLoading::sharedInstanceRules()
{
    QLibrary library(m_plugin);
    using InstanceFunction = QObject *(*)();
    auto instance = reinterpret_cast<InstanceFunction>(library.resolve("qt_plugin_instance"));
    auto create = reinterpret_cast<CreateDriverFunction>(library.resolve("CreateDriver"));
    QVERIFY(instance && create);

    QObject *first = instance();
    QVERIFY(first);
    QCOMPARE(instance(), first);
    first->setObjectName(QStringLiteral("first shared instance"));
    DriverInterface *own = create();
    QVERIFY(own->getObject() != first); // factory objects are independent of the shared one

    delete first;
    QObject *second = instance();
    QVERIFY(second);
    QVERIFY(second->objectName().isEmpty()); // a new object, not the deleted one
    QCOMPARE(instance(), second);
    delete own;
    delete second;
}

void tst_PluginLoading::verificationData()
{
    QLibrary library(m_plugin);
    using DataFunction = const char *(*)();
    auto data =
        reinterpret_cast<DataFunction>(library.resolve("qt_plugin_query_verification_data"));
    QVERIFY(data);
    const QStringList lines = QString::fromLatin1(data()).split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), QStringLiteral("pattern=QT_PLUGIN_VERIFICATION_DATA"));
    QCOMPARE(lines.at(1), QStringLiteral("version=") + QLatin1String(qVersion()));
    QVERIFY(lines.at(2) == QLatin1String("debug=false") || lines.at(2) == "debug=true");
    QVERIFY(lines.at(3).startsWith(QLatin1String("buildkey=")));
    QVERIFY(lines.at(3).contains(QSysInfo::buildCpuArchitecture()));
}

QTEST_GUILESS_MAIN(tst_PluginLoading)
#include "tst_pluginloading.moc"
