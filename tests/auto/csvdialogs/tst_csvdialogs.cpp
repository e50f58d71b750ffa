#include "CsvTestSupport.h"
#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "ModalResponder.h"
#include "WorkerThread.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

using namespace CsvTestSupport;
using Table = QList<QStringList>;

namespace {

const char Modified[] =
    "The file format has been modified. We strongly recommend you to export the "
    "file again after final edits.";

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
    void init() { clearDefaultDir(); }

    // Off the GUI thread, as the transfer worker uses the library.
    void loaderReportsOffGuiThread_data();
    void loaderReportsOffGuiThread();
    void slotsReachableByName();
    void promptOffGuiThreadCountsAsDeclined();
    void objectOnGuiThreadUsedElsewhereShowsNothing();
    void textsTranslatedInTheirClassContext();

    // On the GUI thread, with every dialog answered by the test.
    void confirmFormat_data();
    void confirmFormat();
    void declinedConfirmationKeepsState();
    void openDialogRemembersDirectory();
    void formatErrorBox();
    void loadedDataBoxes_data();
    void loadedDataBoxes();
    void saveDialogFlow();
    void saveOpenFailureBox();

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

void tst_CsvDialogs::loaderReportsOffGuiThread_data()
{
    QTest::addColumn<QString>("fileName"); // relative to the test directory; empty: none
    QTest::addColumn<QByteArray>("bytes"); // null: the file is not created
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<Table>("data");
    QTest::addColumn<QStringList>("report"); // added to the errors by loadedData()

    const QStringList none;
    QTest::newRow("empty name") << QString() << QByteArray() << false << 0
                                << QStringList{"The file name is empty."} << Table{}
                                << QStringList{"File cannot be loaded.", "Please select a file."};
    QTest::newRow("missing file") << "missing.txt" << QByteArray() << false << 1 << none << Table{}
                                  << QStringList{"File cannot be opened.",
                                                 "Please select the right file."};
    QTest::newRow("directory") << "." << QByteArray() << false << 1 << none << Table{}
                               << QStringList{"File cannot be opened.",
                                              "Please select the right file."};
    QTest::newRow("format error with warnings")
        << "bad.txt" << utf16LeBytes("a\tb\r\n1\r\n\"open") << false << 2
        << QStringList{"Format error at line 4"} << Table{}
        << QStringList{"File cannot be loaded.", "Please check file format."};
    QTest::newRow("one warning") << "one.txt" << utf16LeBytes("a\tb\r\n1\r\n2\t3\r\n") << true << 5
                                 << none << Table{{"a", "b"}, {"1", ""}, {"2", "3"}}
                                 << QStringList{"Warning: Incorrect File Format",
                                                "Line 2 is 1 columns short of header."};
    QTest::newRow("three warnings")
        << "three.txt" << utf16LeBytes("a\tb\r\n1\r\n1\t2\t3\r\n4\r\n") << true << 5 << none
        << Table{{"a", "b"}, {"1", ""}, {"1", "2", "3"}, {"4", ""}}
        << QStringList{"Warning: Incorrect File Format",
                       "Line 2 is 1 columns short of header.\nLine 3 is 1 columns more of "
                       "header.\n..."};
    QTest::newRow("replaced delimiter, no warnings")
        << "comma.txt" << utf16LeBytes("aaa,bbb,ccc\r\n1,2,3\r\n") << true << 3 << none
        << Table{{"aaa", "bbb", "ccc"}, {"1", "2", "3"}} << none;
    QTest::newRow("replaced delimiter and a warning")
        << "comma2.txt" << utf16LeBytes("aaa,bbb,ccc\r\n1,2\r\n") << true << 5 << none
        << Table{{"aaa", "bbb", "ccc"}, {"1", "2", ""}}
        << QStringList{"Warning: Incorrect File Format",
                       QString(Modified) + "\nLine 2 is 1 columns short of header."};
}

void tst_CsvDialogs::loaderReportsOffGuiThread()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, result);
    QFETCH(int, status);
    QFETCH(QStringList, errors);
    QFETCH(Table, data);
    QFETCH(QStringList, report);

    const QString path = fileName.isEmpty() ? QString() : m_dir.filePath(fileName);
    if (!bytes.isNull())
        file(fileName, bytes);

    WorkerThread worker;
    KCSVLoader *loader = worker.make<KCSVLoader>();
    QCOMPARE(worker.run([&] { return loader->openFile(path); }), result);
    QCOMPARE(loader->statusCode(), status);
    QCOMPARE(loader->errorMessageList(), errors);
    QCOMPARE(storedDefaultDir().isEmpty(), bytes.isNull());

    // Every call reports again.
    QCOMPARE(worker.run([&] { return loader->loadedData(); }), data);
    QCOMPARE(loader->errorMessageList(), errors + report);
    QCOMPARE(worker.run([&] { return loader->loadedData(); }), data);
    QCOMPARE(loader->errorMessageList(), errors + report + report);
}

void tst_CsvDialogs::slotsReachableByName()
{
    WorkerThread worker;
    KCSVLoader *loader = worker.make<KCSVLoader>();
    KCSVSaver *saver = worker.make<KCSVSaver>();
    bool opened = true;
    bool saved = true;
    QStringList messages;
    QVERIFY(QMetaObject::invokeMethod(loader, "openFile", Qt::BlockingQueuedConnection,
                                      Q_RETURN_ARG(bool, opened)));
    QVERIFY(QMetaObject::invokeMethod(loader, "errorMessageList", Qt::BlockingQueuedConnection,
                                      Q_RETURN_ARG(QStringList, messages)));
    QVERIFY(!opened);
    QCOMPARE(messages, QStringList{"The file name is empty."});

    const QString path = m_dir.filePath(QStringLiteral("byname.txt"));
    const Table table{{"x", "y"}};
    QVERIFY(QMetaObject::invokeMethod(saver, "saveFile", Qt::BlockingQueuedConnection,
                                      Q_RETURN_ARG(bool, saved), Q_ARG(QList<QStringList>, table),
                                      Q_ARG(QString, path)));
    QVERIFY(saved);
    QCOMPARE(readBytes(path), utf16LeBytes("x\ty\r\n"));
    QVERIFY(QMetaObject::invokeMethod(saver, "saveFile", Qt::BlockingQueuedConnection,
                                      Q_RETURN_ARG(bool, saved), Q_ARG(QList<QStringList>, table)));
    QVERIFY(!saved);
    QCOMPARE(saver->errorMessageList(), QStringList{"The file name is empty."});
}

void tst_CsvDialogs::promptOffGuiThreadCountsAsDeclined()
{
    ModalResponder responder;
    WorkerThread worker;
    KCSVLoader *loader = worker.make<KCSVLoader>();
    KCSVSaver *saver = worker.make<KCSVSaver>();
    const QString path = file("prompt.txt", utf16LeBytes("a\tb\r\n1\t2\r\n"));
    QVERIFY(!worker.run([&] { return loader->openFile(QString()); }));

    loader->setPromptFormat(true);
    saver->setPromptFormat(true);
    QVERIFY(!worker.run([&] { return loader->openFile(path); }));
    QCOMPARE(loader->errorMessageList(),
             (QStringList{"The file name is empty.", "User canceled operation."}));
    QCOMPARE(loader->statusCode(), int(KCSVLoader::NoFileName));
    QVERIFY(!worker.run([&] { return saver->saveFile(Table{{"a"}}, path + ".out"); }));
    QCOMPARE(saver->errorMessageList(), QStringList{"User canceled operation."});
    QVERIFY(!QFile::exists(path + ".out"));
    QVERIFY(responder.seen().isEmpty());
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
    QCOMPARE(loader.errorMessageList(), QStringList{"The file name is empty."});
    QCOMPARE(saver.errorMessageList(), QStringList{"File cannot be opened."});
    QVERIFY(responder.seen().isEmpty());
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
             (QStringList{"KCSVLoader|The file name is empty.", "KCSVLoader|File cannot be loaded.",
                          "KCSVLoader|Please select a file."}));
    QCOMPARE(saver->errorMessageList(), QStringList{"KCSVSaver|The file name is empty."});
    // The file filter belongs to the interface.
    ModalResponder responder;
    responder.then(ModalResponder::cancel());
    QVERIFY(!csv.saveFile(Table{{"a"}}));
    QCOMPARE(responder.seen().value(0).nameFilters, QStringList{"KCSVInterface|CSV File (*.csv)"});
}

void tst_CsvDialogs::confirmFormat_data()
{
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("pressOk");
    QTest::addColumn<bool>("escape");

    QTest::newRow("text kind, OK") << 0 << "TXT" << true << false;
    QTest::newRow("csv kind, Cancel") << 1 << "CSV" << false << false;
    QTest::newRow("other kind, Escape") << 9 << "" << false << true;
}

void tst_CsvDialogs::confirmFormat()
{
    QFETCH(int, fileType);
    QFETCH(QString, word);
    QFETCH(bool, pressOk);
    QFETCH(bool, escape);

    QWidget widget;
    KCSVLoader loader(&widget);
    ModalResponder responder;
    QVERIFY(loader.confirmFormat()); // nothing asked while the prompt is off
    QVERIFY(responder.seen().isEmpty());

    loader.setFileType(fileType);
    loader.setPromptFormat(true);
    responder.then(escape    ? ModalResponder::pressEscape()
                   : pressOk ? ModalResponder::click(QMessageBox::Ok)
                             : ModalResponder::click(QMessageBox::Cancel));
    QCOMPARE(loader.confirmFormat(), pressOk);
    QVERIFY(!responder.watchdogFired());
    QCOMPARE(responder.seen().size(), 1);
    const SeenModal box = responder.seen().first();
    QCOMPARE(box.title, QStringLiteral("Import/Export File"));
    QCOMPARE(box.text,
             QStringLiteral("The import/export file will process as %1 format.").arg(word));
    QCOMPARE(box.informativeText, QStringLiteral("Do you want to procced?"));
    QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.defaultButton, QMessageBox::Cancel);
    QCOMPARE(box.parent, nullptr);
}

void tst_CsvDialogs::declinedConfirmationKeepsState()
{
    ModalResponder responder;
    KCSVLoader loader;
    KCSVSaver saver;
    const QString good = file("good.txt", utf16LeBytes("a\tb\r\n1\r\n"));
    QVERIFY(loader.openFile(good));
    QCOMPARE(loader.statusCode(), int(KCSVLoader::ColumnMismatch));
    QVERIFY(!saver.saveFile(Table{{"a"}}, m_dir.filePath(QStringLiteral("none/x.txt"))));

    loader.setPromptFormat(true);
    saver.setPromptFormat(true);
    responder.then(ModalResponder::click(QMessageBox::Cancel));
    responder.then(ModalResponder::pressEscape());
    responder.then(ModalResponder::click(QMessageBox::Ok)); // the loadedData warning box
    QVERIFY(!loader.openFile(file("other.txt", utf16LeBytes("x\ty\r\n1\t2\r\n"))));
    QVERIFY(!saver.saveFile(Table{{"a"}}, m_dir.filePath(QStringLiteral("never.txt"))));
    QCOMPARE(loader.errorMessageList(), QStringList{"User canceled operation."});
    QCOMPARE(loader.warningMessageList(), QStringList{"Line 2 is 1 columns short of header."});
    QCOMPARE(loader.statusCode(), int(KCSVLoader::ColumnMismatch));
    QCOMPARE(loader.loadedData(), (Table{{"a", "b"}, {"1", ""}}));
    QCOMPARE(saver.errorMessageList(), QStringList{"User canceled operation."});
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("never.txt"))));
    QCOMPARE(responder.seen().size(), 4); // the saver's failure box, two prompts, one report
    QCOMPARE(responder.unusedActions(), 0);
    QVERIFY(!responder.watchdogFired());
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

    responder.then(ModalResponder::cancel());
    QVERIFY(!loader.openFile(QString()));
    QCOMPARE(loader.statusCode(), int(KCSVLoader::OpenFailed));
    QVERIFY(loader.errorMessageList().isEmpty());
    QVERIFY(!responder.watchdogFired());

    QCOMPARE(responder.seen().size(), 2);
    const SeenModal first = responder.seen().at(0);
    QCOMPARE(first.kind, QStringLiteral("QFileDialog"));
    QCOMPARE(first.title, QStringLiteral("Import File"));
    QCOMPARE(first.directory, QDir(QCoreApplication::applicationDirPath()).absolutePath());
    QCOMPARE(first.nameFilters, QStringList{"Text File (*.txt)"});
    QCOMPARE(first.acceptMode, QFileDialog::AcceptOpen);
    QCOMPARE(first.parent, &widget);
    QCOMPARE(responder.seen().at(1).directory, QFileInfo(path).absolutePath());
}

void tst_CsvDialogs::formatErrorBox()
{
    KCSVLoader loader;
    ModalResponder responder;
    responder.then(ModalResponder::click(QMessageBox::Ok));
    QVERIFY(!loader.openFile(file("header.txt", utf16LeBytes("only\theader\r\n"))));
    QVERIFY(!responder.watchdogFired());
    QCOMPARE(responder.seen().size(), 1);
    const SeenModal box = responder.seen().first();
    QCOMPARE(box.title, QStringLiteral("File Format Error."));
    QCOMPARE(box.text, QStringLiteral("1. No content found in the imported file."));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.parent, nullptr);
    QCOMPARE(loader.errorMessageList(), QStringList{"No content found in the imported file."});
}

void tst_CsvDialogs::loadedDataBoxes_data()
{
    QTest::addColumn<QByteArray>("bytes"); // null: no load; empty: a missing file
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rowCount");

    QTest::newRow("never loaded") << QByteArray() << "File cannot be loaded."
                                  << "Please select a file." << 0;
    QTest::newRow("missing file") << QByteArray("") << "File cannot be opened."
                                  << "Please select the right file." << 0;
    QTest::newRow("warnings") << utf16LeBytes("aaa,bbb,ccc\r\n1,2,3,4\r\n")
                              << "Warning: Incorrect File Format"
                              << QString(Modified) + "\nLine 2 is 1 columns more of header." << 2;
}

void tst_CsvDialogs::loadedDataBoxes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(int, rowCount);

    QWidget widget;
    KCSVLoader loader(&widget);
    ModalResponder responder;
    if (!bytes.isNull())
        loader.openFile(bytes.isEmpty() ? m_dir.filePath("absent.txt") : file("w.txt", bytes));
    responder.then(ModalResponder::click(QMessageBox::Ok));
    QCOMPARE(loader.loadedData().size(), rowCount);
    QVERIFY(!responder.watchdogFired());
    QCOMPARE(responder.seen().size(), 1);
    const SeenModal box = responder.seen().first();
    QCOMPARE(box.title, title);
    QCOMPARE(box.text, text);
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.parent, &widget);
    QVERIFY(loader.errorMessageList().isEmpty());
}

void tst_CsvDialogs::saveDialogFlow()
{
    QWidget widget;
    KCSVSaver saver(&widget);
    saver.setFileType(1);
    ModalResponder responder;
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("export")));
    QSettings(QCoreApplication::organizationName(), QCoreApplication::applicationName())
        .setValue(QStringLiteral("default_dir"), m_dir.filePath(QStringLiteral("export")));
    const QString path = m_dir.filePath(QStringLiteral("export/table.csv"));

    responder.then(ModalResponder::cancel());
    QVERIFY(!saver.saveFile(Table{{"a", "b"}}));
    QVERIFY(saver.errorMessageList().isEmpty());
    QVERIFY(!QFile::exists(path));

    responder.then(ModalResponder::chooseFile(path));
    QVERIFY(saver.saveFile(Table{{"a", "b,c"}}));
    QCOMPARE(readBytes(path), utf16LeBytes("a,\"b,c\"\r\n"));
    QVERIFY(!responder.watchdogFired());

    QCOMPARE(responder.seen().size(), 2);
    const SeenModal dialog = responder.seen().first();
    QCOMPARE(dialog.title, QStringLiteral("Export File"));
    QCOMPARE(dialog.directory, QFileInfo(path).absolutePath());
    QCOMPARE(dialog.nameFilters, QStringList{"CSV File (*.csv)"});
    QCOMPARE(dialog.acceptMode, QFileDialog::AcceptSave);
    QCOMPARE(dialog.parent, &widget);
}

void tst_CsvDialogs::saveOpenFailureBox()
{
    QWidget widget;
    KCSVSaver saver(&widget);
    ModalResponder responder;
    responder.then(ModalResponder::click(QMessageBox::Ok));
    const QString path = m_dir.filePath(QStringLiteral("gone/x.txt"));
    QVERIFY(!saver.saveFile(Table{{"a"}}, path));
    QVERIFY(!responder.watchdogFired());
    QCOMPARE(responder.seen().size(), 1);
    const SeenModal box = responder.seen().first();
    QCOMPARE(box.title, QStringLiteral("File cannot be opened."));
    QCOMPARE(box.text, QStringLiteral("File cannot be opened."));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.parent, &widget);
    QVERIFY(saver.errorMessageList().isEmpty());
    QCOMPARE(storedDefaultDir(), m_dir.filePath(QStringLiteral("gone")));
}

QTEST_MAIN(tst_CsvDialogs)
#include "tst_csvdialogs.moc"
