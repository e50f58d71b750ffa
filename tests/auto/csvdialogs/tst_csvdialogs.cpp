#include "../csvsupport/CsvTestSupport.h"
#include "KCSVLoader.h"
#include "KCSVSaver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaEnum>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <functional>

using namespace CsvTestSupport;
using Table = QList<QStringList>;
using L = QStringList;

namespace {

// One line for a modal widget: its class and title; a message box's text, informative text, icon,
// buttons and (when there is a choice) default button; a file dialog's directory, name filters and
// mode; whether it has a parent.
QString describe(QWidget *widget)
{
    QStringList fields{QString::fromLatin1(widget->metaObject()->className()),
                       widget->windowTitle()};
    if (auto *box = qobject_cast<QMessageBox *>(widget)) {
        const QMetaEnum names = QMetaEnum::fromType<QMessageBox::StandardButtons>();
        QStringList buttons;
        for (int b = QMessageBox::FirstButton; b <= QMessageBox::LastButton; b <<= 1) {
            if (box->standardButtons() & b)
                buttons << names.valueToKey(b);
        }
        fields << box->text() << box->informativeText()
               << QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(box->icon())
               << buttons.join('|');
        if (buttons.size() > 1)
            fields << QStringLiteral("default ") +
                          names.valueToKey(box->standardButton(box->defaultButton()));
    } else if (auto *dialog = qobject_cast<QFileDialog *>(widget)) {
        fields << dialog->directory().absolutePath() << dialog->nameFilters().join(';')
               << (dialog->acceptMode() == QFileDialog::AcceptOpen ? "open" : "save");
    }
    fields << (widget->parentWidget() ? "parent" : "no parent");
    return fields.join(QStringLiteral(" ; "));
}

// Answers the modal widgets that the code under test opens on the GUI thread: every new one is
// described and handed the next queued action. One without an action is cancelled, and so is
// every one once the watchdog expires, so no test can hang on a dialog.
class ModalResponder : public QObject
{
public:
    using Action = std::function<void(QWidget *)>;

    ModalResponder()
    {
        connect(&m_poll, &QTimer::timeout, this, &ModalResponder::poll);
        m_poll.start(10);
        m_watchdog.setSingleShot(true);
        connect(&m_watchdog, &QTimer::timeout, this, [this] { seen.append("watchdog fired"); });
        m_watchdog.start(20000);
    }

    void then(Action action) { actions.append(std::move(action)); }

    static Action click(QMessageBox::StandardButton button)
    {
        return [button](QWidget *widget) {
            if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->button(button))
                box->button(button)->click();
            else
                cancel(widget);
        };
    }
    static Action chooseFile(const QString &path)
    {
        return [path](QWidget *widget) {
            auto *dialog = qobject_cast<QFileDialog *>(widget);
            if (!dialog)
                return cancel(widget);
            // Typed like a user would: selectFile() leaves a focused name field untouched.
            if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                edit->setText(path);
            static_cast<QDialog *>(dialog)->accept(); // public in QDialog
        };
    }

    L seen;                // one describe() line for each modal widget answered
    QList<Action> actions; // still to be used

private:
    static void cancel(QWidget *widget)
    {
        if (auto *dialog = qobject_cast<QDialog *>(widget))
            dialog->reject();
        else
            widget->close();
    }

    void poll()
    {
        QWidget *widget = QApplication::activeModalWidget();
        if (!widget || !widget->isVisible())
            return;
        if (!m_watchdog.isActive())
            return cancel(widget);
        if (m_handled.contains(widget))
            return;
        m_handled.append(widget);
        seen.append(describe(widget));
        actions.isEmpty() ? cancel(widget) : actions.takeFirst()(widget);
    }

    QTimer m_poll;
    QTimer m_watchdog;
    QList<QPointer<QWidget>> m_handled;
};

// Marks every text it is asked for with its translation context.
class MarkingTranslator : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        return QStringLiteral("%1|%2").arg(QLatin1String(context), QString::fromUtf8(sourceText));
    }
};

} // namespace

class tst_CsvDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { isolateSettings(m_dir.filePath(QStringLiteral("settings"))); }
    void init() { appSettings().remove(QStringLiteral("default_dir")); }

    // Off the GUI thread, as the transfer worker uses the library.
    void slotsReachableByName();
    void promptOffGuiThreadCountsAsDeclined();
    void objectOnGuiThreadUsedElsewhereShowsNothing();
    void textsTranslatedInTheirClassContext();

    // On the GUI thread, with every dialog answered by the test.
    void confirmFormat_data();
    void confirmFormat();
    void openDialogRemembersDirectory();
    void formatErrorBoxes();
    void saveDialogFlow();

private:
    QString file(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

QString tst_CsvDialogs::file(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    if (!writeBytes(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The slots stay reachable by name, for queued calls from another thread.
void tst_CsvDialogs::slotsReachableByName()
{
    WorkerThread worker;
    KCSVLoader *loader = worker.make<KCSVLoader>();
    KCSVSaver *saver = worker.make<KCSVSaver>();
    bool opened = true;
    bool saved = false;
    QVERIFY(QMetaObject::invokeMethod(loader, "openFile", Qt::BlockingQueuedConnection,
                                      Q_RETURN_ARG(bool, opened)));
    QVERIFY(!opened);
    QCOMPARE(loader->errorMessageList(), L{"The file name is empty."});

    const QString path = m_dir.filePath(QStringLiteral("byname.txt"));
    const Table table{{"x", "y"}};
    QVERIFY(QMetaObject::invokeMethod(saver, "saveFile", Qt::BlockingQueuedConnection,
                                      Q_RETURN_ARG(bool, saved), Q_ARG(QList<QStringList>, table),
                                      Q_ARG(QString, path)));
    QVERIFY(saved);
    QCOMPARE(readBytes(path), utf16LeBytes("x\ty\r\n"));
}

// A declined confirmation (off the GUI thread nobody can confirm) leaves everything as it was.
void tst_CsvDialogs::promptOffGuiThreadCountsAsDeclined()
{
    ModalResponder responder;
    WorkerThread worker;
    KCSVLoader *loader = worker.make<KCSVLoader>();
    KCSVSaver *saver = worker.make<KCSVSaver>();
    const QString first = file("a.txt", utf16LeBytes("a\tb\r\n1\r\n"));
    QVERIFY(worker.run([&] { return loader->openFile(first); }));
    QVERIFY(!worker.run([&] { return saver->saveFile(Table{{"a"}}, QString()); }));

    loader->setPromptFormat(true);
    saver->setPromptFormat(true);
    const QString other = file("b.txt", utf16LeBytes("x\ty\r\n1\t2\r\n"));
    QVERIFY(!worker.run([&] { return loader->openFile(other); }));
    QVERIFY(!worker.run([&] { return loader->openFile(other); }));
    // Each refusal is added to the previous call's messages.
    QCOMPARE(loader->errorMessageList(),
             (L{"User canceled operation.", "User canceled operation."}));
    QCOMPARE(loader->warningMessageList(), L{"Line 2 is 1 columns short of header."});
    QCOMPARE(loader->statusCode(), int(KCSVLoader::ColumnMismatch));
    QCOMPARE(worker.run([&] { return loader->loadedData(); }), (Table{{"a", "b"}, {"1", ""}}));
    QVERIFY(!worker.run([&] { return saver->saveFile(Table{{"a"}}, other + ".out"); }));
    QCOMPARE(saver->errorMessageList(), (L{"The file name is empty.", "User canceled operation."}));
    QVERIFY(!QFile::exists(other + ".out"));
    QCOMPARE(responder.seen, L());
}

void tst_CsvDialogs::objectOnGuiThreadUsedElsewhereShowsNothing()
{
    ModalResponder responder;
    KCSVLoader loader;
    KCSVSaver saver;
    QThread *caller = QThread::create([&] {
        loader.openFile();
        saver.saveFile(Table{{"a"}}, m_dir.filePath(QStringLiteral("no/such/dir.txt")));
    });
    caller->start();
    QTRY_VERIFY(caller->isFinished());
    delete caller;
    QCOMPARE(loader.errorMessageList(), L{"The file name is empty."});
    QCOMPARE(saver.errorMessageList(), L{"File cannot be opened."});
    QCOMPARE(responder.seen, L());
}

void tst_CsvDialogs::textsTranslatedInTheirClassContext()
{
    MarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    WorkerThread worker;
    auto *loader = worker.make<KCSVLoader>();
    auto *saver = worker.make<KCSVSaver>();
    worker.run([&] {
        loader->openFile();
        loader->loadedData();
        saver->saveFile(Table{{"a"}});
    });
    KCSVSaver csv;
    csv.setFileType(1);
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(loader->errorMessageList(),
             (L{"KCSVLoader|The file name is empty.", "KCSVLoader|File cannot be loaded.",
                "KCSVLoader|Please select a file."}));
    QCOMPARE(saver->errorMessageList(), L{"KCSVSaver|The file name is empty."});
    // The file filter belongs to the interface.
    ModalResponder responder;
    QVERIFY(!csv.saveFile(Table{{"a"}}));
    QVERIFY2(responder.seen.value(0).contains(" ; KCSVInterface|CSV File (*.csv) ; "),
             qPrintable(responder.seen.join('\n')));
}

void tst_CsvDialogs::confirmFormat_data()
{
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("answer");

    QTest::newRow("text kind, OK") << 0 << "TXT" << int(QMessageBox::Ok);
    QTest::newRow("csv kind, Cancel") << 1 << "CSV" << int(QMessageBox::Cancel);
    QTest::newRow("other kind, OK") << 9 << "" << int(QMessageBox::Ok);
}

void tst_CsvDialogs::confirmFormat()
{
    QFETCH(int, fileType);
    QFETCH(QString, word);
    QFETCH(int, answer);

    QWidget widget;
    KCSVLoader loader(&widget);
    ModalResponder responder;
    QVERIFY(loader.confirmFormat()); // nothing asked while the prompt is off
    QCOMPARE(responder.seen, L());

    loader.setFileType(fileType);
    loader.setPromptFormat(true);
    responder.then(ModalResponder::click(QMessageBox::StandardButton(answer)));
    QCOMPARE(loader.confirmFormat(), answer == QMessageBox::Ok);
    QCOMPARE(responder.seen,
             L{"QMessageBox ; Import/Export File ; The import/export file will process as " + word +
               " format. ; Do you want to procced? ; Question ; Ok|Cancel ; default Cancel ; "
               "no parent"});
}

void tst_CsvDialogs::openDialogRemembersDirectory()
{
    QWidget widget;
    KCSVLoader loader(&widget);
    ModalResponder responder;
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("sub")));
    const QString path = file("sub/pick.txt", utf16LeBytes("a\tb\r\n1\t2\r\n"));

    responder.then(ModalResponder::chooseFile(path));
    QVERIFY(loader.openFile());
    QCOMPARE(loader.loadedData(), (Table{{"a", "b"}, {"1", "2"}}));
    QCOMPARE(storedDefaultDir(), QFileInfo(path).path());

    QVERIFY(!loader.openFile(QString())); // the dialog is cancelled
    QCOMPARE(loader.statusCode(), int(KCSVLoader::OpenFailed));
    QCOMPARE(loader.errorMessageList(), L());
    const QString dialog = "QFileDialog ; Import File ; %1 ; Text File (*.txt) ; open ; parent";
    QCOMPARE(responder.seen,
             (L{dialog.arg(QDir(QCoreApplication::applicationDirPath()).absolutePath()),
                dialog.arg(QFileInfo(path).absolutePath())}));
}

// The parse's own box lists the errors; loadedData() then reports in an information box.
void tst_CsvDialogs::formatErrorBoxes()
{
    QWidget widget;
    KCSVLoader loader(&widget);
    ModalResponder responder;
    responder.then(ModalResponder::click(QMessageBox::Ok));
    responder.then(ModalResponder::click(QMessageBox::Ok));
    QVERIFY(!loader.openFile(file("bad.txt", utf16LeBytes("a\tb\r\n1\r\n\"open"))));
    QCOMPARE(loader.loadedData(), Table{});
    QCOMPARE(responder.seen,
             (L{"QMessageBox ; File Format Error. ; 1. Format error at line 4 ;  ; Warning ; Ok ; "
                "no parent",
                "QMessageBox ; File cannot be loaded. ; Please check file format. ;  ; "
                "Information ; Ok ; parent"}));
    QCOMPARE(loader.errorMessageList(), L{"Format error at line 4"}); // nothing added
}

void tst_CsvDialogs::saveDialogFlow()
{
    QWidget widget;
    KCSVSaver saver(&widget);
    saver.setFileType(1);
    ModalResponder responder;
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("export")));
    appSettings().setValue(QStringLiteral("default_dir"), m_dir.filePath(QStringLiteral("export")));
    const QString path = m_dir.filePath(QStringLiteral("export/table.csv"));

    QVERIFY(!saver.saveFile(Table{{"a", "b"}})); // the dialog is cancelled
    QCOMPARE(saver.errorMessageList(), L());
    QVERIFY(!QFile::exists(path));

    responder.then(ModalResponder::chooseFile(path));
    QVERIFY(saver.saveFile(Table{{"a", "b,c"}}));
    QCOMPARE(readBytes(path), utf16LeBytes("a,\"b,c\"\r\n"));

    // A file that cannot be opened is reported in a box, and its directory is still remembered.
    responder.then(ModalResponder::click(QMessageBox::Ok));
    QVERIFY(!saver.saveFile(Table{{"a"}}, m_dir.filePath(QStringLiteral("gone/x.txt"))));
    QCOMPARE(saver.errorMessageList(), L());
    QCOMPARE(storedDefaultDir(), m_dir.filePath(QStringLiteral("gone")));

    const QString dialog = "QFileDialog ; Export File ; " + QFileInfo(path).absolutePath() +
                           " ; CSV File (*.csv) ; save ; parent";
    QCOMPARE(responder.seen, (L{dialog, dialog,
                                "QMessageBox ; File cannot be opened. ; File cannot be opened. ;  "
                                "; Warning ; Ok ; parent"}));
}

QTEST_MAIN(tst_CsvDialogs)
#include "tst_csvdialogs.moc"
