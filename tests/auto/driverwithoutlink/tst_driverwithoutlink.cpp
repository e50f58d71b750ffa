#include "CommunicatorCommand.h"
#include "DriverDCP30.h"

#include <QDir>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

class tst_DriverWithoutLink : public QObject
{
    Q_OBJECT

private slots:
    void workerWithoutLinkDriver();
};

// The host's property is set but the link driver file is missing: the worker runs, word tags
// get no answer, and a program write is not started at all, since without the controller's
// ranges it could pass wrong values.
void tst_DriverWithoutLink::workerWithoutLinkDriver()
{
    QVERIFY(!QDir(QCoreApplication::applicationDirPath() + "/drivers").exists());
    QCoreApplication::instance()->setProperty("zel_env", QStringLiteral("any value"));
    {
        DriverDCP30 driver;
        QVERIFY(!driver.linkDriver());
        QVERIFY(driver.workerThread() && driver.workerThread()->isRunning());

        CommunicatorCommand command;
        command.address = QStringLiteral("RAM4509");
        QByteArray value(1, 1);
        QCOMPARE(driver.readTag(nullptr, &command), QByteArray());
        QCOMPARE(driver.writeTag(nullptr, &command, value), false);

        QSignalSpy spy(&driver, &DriverDCP30::writeProgramFileProcess);
        command.address = QStringLiteral("WF0");
        QVERIFY(driver.writeTag(nullptr, &command, value));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(driver.readTag(nullptr, &command), QByteArray(1, 0));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the thread object
}

QTEST_GUILESS_MAIN(tst_DriverWithoutLink)
#include "tst_driverwithoutlink.moc"
