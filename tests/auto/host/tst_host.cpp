// The plugin file as hosts load it (its CreateDriver export, the toolkit's plugin loader, the
// verification data), the driver's defaults, and the settings records the host keeps.

#include "CommSettings.h"
#include "CommunicatorCommand.h"
#include "DriverInterface.h"
#include "ProtocolSettings.h"

#include <QtTest>

#include <memory>

namespace {

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
    // Each CreateDriver call makes a new driver object; its identity, and the defaults the host
    // gets from it, as their debug texts show them; each call makes new records, which the host
    // owns.
    void createDriver()
    {
        QLibrary library(m_plugin);
        auto create = reinterpret_cast<CreateDriverFunction>(library.resolve("CreateDriver"));
        QVERIFY2(create, qPrintable(library.errorString()));
        std::unique_ptr<DriverInterface> driver(create()), other(create());
        QVERIFY(driver && other && driver->getObject() != other->getObject());
        DriverInterface &d = *driver;
        QCOMPARE(d.getObject()->metaObject()->className(), "DriverDCP30");
        QCOMPARE((QStringList{d.getDeviceName(), d.getVendorName(), d.getVersion(),
                              d.getDefaultCommText()}),
                 (QStringList{"DCP30", "Yamatake", "1.0.0", "RS485,9600,EVEN,8,1"}));
        QCOMPARE((QList<int>{d.queryValue1(), d.queryFlag4(), d.queryFlag5(), d.queryValue12(),
                             d.queryValue14(), d.queryValue15()}),
                 (QList<int>{65535, 1, 1, 64, 0, 0}));
        QVERIFY(!d.hasError());
        std::unique_ptr<CommSettings> comm(d.createDefaultCommSettings());
        std::unique_ptr<ProtocolSettings> protocol(d.createDefaultProtocolSettings());
        QCOMPARE(comm->debugText(), QStringLiteral("type: 64 string: \"COM1\" baudrate: 9600 "
                                                   "databits: 8 stopbits: 0 parity: 2 linkID: -1 "
                                                   "current ip: \"\" current port: 0 "));
        QCOMPARE(protocol->debugText(), QString("timeout: 500 retry: 3 stationid: 1 delay: 0 "));
        std::unique_ptr<CommSettings> again(d.createDefaultCommSettings());
        QVERIFY(again.get() != comm.get());
    }

    // The toolkit's loader finds the interface id and checks the verification text against its
    // own build before it loads the plugin.
    void pluginLoader()
    {
        QPluginLoader loader(m_plugin);
        QCOMPARE(loader.metaData().value("IID").toString(),
                 QStringLiteral("com.tessaril.drivers.DriverInterface/1.1"));
        QObject *instance = loader.instance();
        QVERIFY2(instance, qPrintable(loader.errorString()));
        QCOMPARE(static_cast<void *>(qobject_cast<DriverInterface *>(instance)),
                 instance->qt_metacast("com.tessaril.drivers.DriverInterface/1.1"));
        QLibrary library(m_plugin);
        auto data = reinterpret_cast<const char *(*)()>(
            library.resolve("qt_plugin_query_verification_data"));
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
    void driverWithoutLinkDriver()
    {
        QVERIFY(!QDir(QCoreApplication::applicationDirPath() + "/drivers").exists());
        QLibrary library(m_plugin);
        auto create = reinterpret_cast<CreateDriverFunction>(library.resolve("CreateDriver"));
        QVERIFY(create);
        QCoreApplication::instance()->setProperty("zel_env", QStringLiteral("any value"));
        std::unique_ptr<DriverInterface> driver(create());
        QCoreApplication::instance()->setProperty("zel_env", QVariant());
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

    // Everything but the host's text travels, the endpoints and the current index with it.
    void commSettingsStream()
    {
        CommSettings out(7, QStringLiteral("ETHERNET1"), 38400, 7, 1, 1, 42,
                         QStringLiteral("host"));
        out.linkID = 12;
        out.setEndpoints({{"10.0.0.1", "502"}, {"10.0.0.2", "5001"}, {"10.0.0.3", "65535"}});
        out.setCurrentIndex(2);
        CommSettings in(64, "COM1", 9600, 8, 0, 2);
        in.hostText = QStringLiteral("receiver");
        QDataStream ds(streamed(out));
        ds >> in;
        QVERIFY(ds.status() == QDataStream::Ok && ds.atEnd());
        QCOMPARE(in.debugText(), out.debugText());
        QCOMPARE(in.hostValue, 42);
        QCOMPARE(in.hostText, QStringLiteral("receiver"));
        QCOMPARE(in.endpoints().size(), 3);
        QCOMPARE(in.endpointIp(0) + ':' + QString::number(in.endpointPort(1)),
                 QStringLiteral("10.0.0.1:5001"));
    }

    // Four 32-bit integers travel, the host's text and flag do not; assignment copies the text but
    // leaves the flag as it is.
    void protocolSettings()
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

private:
    // The plugin file beside this suite's own directory.
    const QString m_plugin = QCoreApplication::applicationDirPath() + "/../libdcp30.so";
};

QTEST_GUILESS_MAIN(tst_Host)
#include "tst_host.moc"
