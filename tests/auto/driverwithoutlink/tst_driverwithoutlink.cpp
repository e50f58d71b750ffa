#include "CommunicatorCommand.h"
#include "DriverDCP30.h"
#include "FileAccessor.h"

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

void tst_DriverWithoutLink::workerWithoutLinkDriver()
{
    QVERIFY(!QDir(QCoreApplication::applicationDirPath() + "/drivers").exists());
    QCoreApplication::instance()->setProperty("zel_env", QStringLiteral("any value"));
    {
        DriverDCP30 driver;
        QVERIFY(!driver.linkDriver());
        QVERIFY(driver.worker());
        QVERIFY(driver.workerThread() && driver.workerThread()->isRunning());

        CommunicatorCommand command;
        command.address = QStringLiteral("RAM4509");
        QCOMPARE(driver.readTag(nullptr, &command), QByteArray());
        QByteArray value(1, 1);
        QCOMPARE(driver.writeTag(nullptr, &command, value), false);

        // Without the controller's ranges a program write is not started at all.
        QSignalSpy spy(&driver, SIGNAL(writeProgramFileProcess(QList<int>, int, int, int)));
        command.address = QStringLiteral("WF0");
        QVERIFY(driver.writeTag(nullptr, &command, value));
        QCOMPARE(spy.count(), 0);
        command.address = QStringLiteral("WF0");
        QCOMPARE(driver.readTag(nullptr, &command), QByteArray(1, 0));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_GUILESS_MAIN(tst_DriverWithoutLink)
#include "tst_driverwithoutlink.moc"
