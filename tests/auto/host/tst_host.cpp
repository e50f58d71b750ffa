// The plugin file as hosts load it (its CreateDriver export, the toolkit's plugin loader, the
// verification data), the driver's defaults, and the settings records the host keeps.

#include "CommSettings.h"
#include "CommunicatorCommand.h"
#include "DriverInterface.h"
#include "ProtocolSettings.h"

#include <QDataStream>
#include <QLibrary>
#include <QPluginLoader>
#include <QtTest>

#include <memory>

namespace {

CommSettings withEndpoints(int n)
{
    CommSettings s(64, "COM1", 9600, 8, 0, 2);
    QList<QPair<QString, QString>> pairs;
    for (int i = 0; i < n; ++i)
        pairs.append({QStringLiteral("10.0.0.%1").arg(i + 1), QString::number(5000 + i)});
    s.setEndpoints(pairs);
    return s;
}

// "ip:port" of an entry.
QString entry(const CommSettings &s, int index)
{
    return s.endpointIp(index) + ':' + QString::number(s.endpointPort(index));
}

template <typename T> QByteArray streamed(const T &settings)
{
    QByteArray bytes;
    QDataStream ds(&bytes, QIODevice::WriteOnly);
    ds << settings;
    return bytes;
}

} // namespace

class tst_Host : public QObject
{
    Q_OBJECT

private slots:
    void createDriver();
    void pluginLoader();
    void driverWithoutLinkDriver();
    void commSettingsStream_data();
    void commSettingsStream();
    void protocolSettings();

private:
    // The plugin file beside this suite's own directory.
    const QString m_plugin = QCoreApplication::applicationDirPath() + "/../libdcp30.so";
};

// Each CreateDriver call makes a new driver object; its identity, and the defaults the host gets
// from it, as their debug texts show them; each call makes new records, which the host owns.
void tst_Host::createDriver()
{
    QLibrary library(m_plugin);
    auto create = reinterpret_cast<CreateDriverFunction>(library.resolve("CreateDriver"));
    QVERIFY2(create, qPrintable(library.errorString()));
    std::unique_ptr<DriverInterface> driver(create()), other(create());
    QVERIFY(driver && other && driver->getObject() != other->getObject());
    QCOMPARE(driver->getObject()->metaObject()->className(), "DriverDCP30");
    QCOMPARE((QStringList{driver->getDeviceName(), driver->getVendorName(), driver->getVersion(),
                          driver->getDefaultCommText()}),
             (QStringList{"DCP30", "Yamatake", "1.0.0", "RS485,9600,EVEN,8,1"}));
    QCOMPARE((QList<int>{driver->queryValue1(), driver->queryFlag4(), driver->queryFlag5(),
                         driver->queryValue12(), driver->queryValue14(), driver->queryValue15()}),
             (QList<int>{65535, 1, 1, 64, 0, 0}));
    QVERIFY(!driver->hasError());
    std::unique_ptr<CommSettings> comm(driver->createDefaultCommSettings());
    std::unique_ptr<ProtocolSettings> protocol(driver->createDefaultProtocolSettings());
    QCOMPARE(comm->debugText(), QStringLiteral("type: 64 string: \"COM1\" baudrate: 9600 "
                                               "databits: 8 stopbits: 0 parity: 2 linkID: -1 "
                                               "current ip: \"\" current port: 0 "));
    QCOMPARE(protocol->debugText(), QStringLiteral("timeout: 500 retry: 3 stationid: 1 delay: 0 "));
    std::unique_ptr<CommSettings> again(driver->createDefaultCommSettings());
    QVERIFY(again.get() != comm.get());
}

// The toolkit's loader finds the interface id and checks the verification text against its
// own build before it loads the plugin.
void tst_Host::pluginLoader()
{
    QPluginLoader loader(m_plugin);
    QCOMPARE(loader.metaData().value("IID").toString(),
             QStringLiteral("com.tessaril.drivers.DriverInterface/1.1"));
    QObject *instance = loader.instance();
    QVERIFY2(instance, qPrintable(loader.errorString()));
    QCOMPARE(static_cast<void *>(qobject_cast<DriverInterface *>(instance)),
             instance->qt_metacast("com.tessaril.drivers.DriverInterface/1.1"));
    QLibrary library(m_plugin);
    using DataFunction = const char *(*)();
    auto data =
        reinterpret_cast<DataFunction>(library.resolve("qt_plugin_query_verification_data"));
    QVERIFY(data);
    const QStringList lines = QString::fromLatin1(data()).split('\n');
    QCOMPARE(lines.mid(0, 2), (QStringList{"pattern=QT_PLUGIN_VERIFICATION_DATA",
                                           "version=" + QLatin1String(qVersion())}));
    QVERIFY(lines.at(3).startsWith("buildkey=") &&
            lines.at(3).contains(QSysInfo::buildCpuArchitecture()));
}

// The host's property is set but the link driver file is missing: word tags get no answer, and
// a program write is not started at all, since without the controller's ranges it could pass
// wrong values.
void tst_Host::driverWithoutLinkDriver()
{
    QVERIFY(!QDir(QCoreApplication::applicationDirPath() + "/drivers").exists());
    QLibrary library(m_plugin);
    auto create = reinterpret_cast<CreateDriverFunction>(library.resolve("CreateDriver"));
    QVERIFY(create);
    qApp->setProperty("zel_env", QStringLiteral("any value"));
    std::unique_ptr<DriverInterface> driver(create());
    qApp->setProperty("zel_env", QVariant());
    CommunicatorCommand command;
    command.address = QStringLiteral("RAM4509");
    QByteArray value(1, 1);
    QCOMPARE(driver->readTag(nullptr, &command), QByteArray());
    QCOMPARE(driver->writeTag(nullptr, &command, value), false);
    command.address = QStringLiteral("WF0");
    QVERIFY(driver->writeTag(nullptr, &command, value));
    QCOMPARE(driver->readTag(nullptr, &command), QByteArray(1, 0));
    driver.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the thread object
}

void tst_Host::commSettingsStream_data()
{
    QTest::addColumn<int>("chop");
    QTest::addColumn<int>("receiverIndex");
    QTest::addColumn<int>("endpoints");
    QTest::addColumn<int>("index");
    // Three endpoints with index 2 are written; a stream cut short loses the last one.
    QTest::newRow("whole") << 0 << 1 << 3 << 2;
    QTest::newRow("cut short, own index names nothing") << 6 << 2 << 2 << 0;
}

// Everything but the host's text travels. The index read is tested against the endpoint list
// read with it; when it names no entry the record keeps its own index if that still names one,
// else takes 0.
void tst_Host::commSettingsStream()
{
    QFETCH(int, chop);
    QFETCH(int, receiverIndex);
    QFETCH(int, endpoints);
    QFETCH(int, index);
    CommSettings out(7, QStringLiteral("ETHERNET1"), 38400, 7, 1, 1, 42, QStringLiteral("host"));
    out.linkID = 12;
    out.setEndpoints({{"10.0.0.1", "502"}, {"10.0.0.2", "5001"}, {"10.0.0.3", "65535"}});
    out.setCurrentIndex(2);
    QByteArray bytes = streamed(out);
    bytes.chop(chop);
    CommSettings in = withEndpoints(3);
    in.hostText = QStringLiteral("receiver");
    in.setCurrentIndex(receiverIndex);
    QDataStream ds(bytes);
    ds >> in;
    QCOMPARE(ds.status() == QDataStream::Ok && ds.atEnd(), chop == 0);
    QCOMPARE(in.debugText().section("current", 0, 0), out.debugText().section("current", 0, 0));
    QCOMPARE(in.hostValue, 42);
    QCOMPARE(in.hostText, QStringLiteral("receiver"));
    QCOMPARE(in.endpoints().size(), endpoints);
    QCOMPARE(entry(in, endpoints - 1), entry(out, endpoints - 1));
    QCOMPARE(in.currentIndex(), index);
}

// Four 32-bit integers travel, the host's text and flag do not; assignment copies the text but
// leaves the flag as it is.
void tst_Host::protocolSettings()
{
    const ProtocolSettings out(1500, 5, 7, 20, QStringLiteral("sender text"), true);
    const QByteArray bytes = streamed(out);
    QCOMPARE(bytes.size(), 16);
    ProtocolSettings in(0, 0, 0, 0, QStringLiteral("receiver text"), false);
    QDataStream ds(bytes);
    ds >> in;
    QCOMPARE(in.debugText(), QStringLiteral("timeout: 1500 retry: 5 stationid: 7 delay: 20 "));
    QCOMPARE(in.hostText, QStringLiteral("receiver text"));
    QCOMPARE(in.hostFlag, false);

    in = out;
    QCOMPARE(in.debugText(), out.debugText());
    QCOMPARE(in.hostText, QStringLiteral("sender text"));
    QCOMPARE(in.hostFlag, false);
}

QTEST_GUILESS_MAIN(tst_Host)
#include "tst_host.moc"
