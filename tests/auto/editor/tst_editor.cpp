// The program editor driven through its real widgets, offscreen: typing into the table, the
// marks and the problems panel, undo before a save, byte-identical saves, segment rows and the
// profile's clicks, the clipboard, the editing helpers, the close prompt and dropped files.
#include "ControllerPanel.h"
#include "EditorWindow.h"
#include "ProfileWidget.h"
#include "ProgramColumns.h"
#include "ProgramTableModel.h"
#include "ProgramWideForm.h"
#include "TestFiles.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableView>
#include <QUndoStack>
#include <QtTest>

// An editor window (named window) holding the test's program file m_path.
#define OPEN_WINDOW(window)                                                                        \
    EditorWindow window;                                                                           \
    QVERIFY(window.openFile(m_path))
// The same, shown.
#define SHOW_WINDOW(window)                                                                        \
    OPEN_WINDOW(window);                                                                           \
    window.show()
// The same, connected through its controller panel (named panel) to the built-in simulated one.
#define CONNECTED_WINDOW(window, panel)                                                            \
    SHOW_WINDOW(window);                                                                           \
    ControllerPanel *panel = window.controllerPanel();                                             \
    QVERIFY(connectSim(panel))

namespace {

const char *const header = "-\tSP1\tTIME\tEV1 1st\tEV1 2nd\tEV2 1st\tEV2 2nd\tEV3 1st\tEV3 2nd\tT1 "
                           "1st\tT1 2nd\tT2 1st\tT2 2nd\tT3 1st\tT3 2nd\tT4 1st\tT4 2nd\tT5 "
                           "1st\tT5 2nd\tPID1\tG.S\tG.S.TO\tP.STA\tCYCL\tP.LIN\tTag\r\n";
const char *const seg1 = "SEG1\t150\t00:45\t----\t----\t0\t5\t1000\t20\t----\t----\t----\t----\t-"
                         "---\t----\t----\t----\t----\t----\t1\t----\t----\t0\t0\t0\tANNEAL01\r\n";
const char *const seg2 = "SEG2\t150\t00:30\t170\t5\t5999\t----\t----\t----\t0.00\t0.10\t----\t--"
                         "--\t----\t----\t----\t----\t----\t----\t1\t10\t15\t----\t----\t----\t-"
                         "---\r\n";
const char *const seg3 = "SEG3\t620\t02:30\t----\t----\t5999\t----\t950\t30\t----\t----\t----\t--"
                         "--\t----\t----\t----\t----\t----\t----\t2\t----\t----\t----\t----\t---"
                         "-\t----\r\n";

QByteArray demoFile()
{
    return TestFiles::utf16WithBom(QString::fromLatin1(header) + seg1 + seg2 + seg3);
}

// Types text into a table cell the way a user does: F2, select all, the keys, Return.
void typeInto(QTableView *table, int row, int column, const QString &text)
{
    const QModelIndex index = table->model()->index(row, column);
    table->setCurrentIndex(index);
    QTest::keyClick(table, Qt::Key_F2);
    // A line edit, or a spin box in a numeric column.
    QWidget *editor = table->indexWidget(index);
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits a finished edit through a queued call.
    QCoreApplication::processEvents();
}

// The texts of the list's entries that start with "Program: " (the loader's warnings).
QStringList programWarnings(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts.filter(QRegularExpression("^Program: "));
}

// Waits for the panel's operation to end; its outcome, or false when it did not end in time.
bool outcome(ControllerPanel *panel)
{
    QSignalSpy done(panel, &ControllerPanel::finished);
    return done.wait(60000) && done.first().first().toBool();
}

bool connectSim(ControllerPanel *panel)
{
    return panel->connectTo(QStringLiteral("sim")) && outcome(panel) && panel->isConnected();
}

} // namespace

class TestEditor : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        // The recent files go to a settings file of the tests' own.
        QStandardPaths::setTestModeEnabled(true);
        m_path = m_dir.filePath(QStringLiteral("PROG_1.txt"));
        QVERIFY(TestFiles::write(m_path, demoFile()));
    }

    void invalidCellIsMarkedAndListed_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("invalid"); // typed first, then valid
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("valid");
        QTest::addColumn<QString>("message"); // the problem invalid makes
        QTest::newRow("SP1 above the high limit") << 2 << "2000" << 1 << "1300"
                                                  << "SP1 [2000] is out of range (-200 ~ 1300).";
        // Segment 1 too: its problems are marked like any other segment's.
        QTest::newRow("SP1 below the low limit") << 0 << "-201" << 1 << "-200"
                                                 << "SP1 [-201] is out of range (-200 ~ 1300).";
        QTest::newRow("PID1 beyond 8") << 1 << "9" << 19 << "8"
                                       << "PID1 [9] is out of range (0 ~ 8).";
    }

    void invalidCellIsMarkedAndListed()
    {
        QFETCH(int, row);
        QFETCH(QString, invalid);
        QFETCH(int, column);
        QFETCH(QString, valid);
        QFETCH(QString, message);
        SHOW_WINDOW(window);
        QCOMPARE(window.problemList()->count(), 0);

        typeInto(window.table(), row, column, invalid);
        const QModelIndex index = window.model()->index(row, column);
        QCOMPARE(index.data().toString(), invalid);
        QCOMPARE(index.data(Qt::ToolTipRole).toString(), message);
        QCOMPARE(index.data(Qt::BackgroundRole).value<QColor>(), ProgramTableModel::problemColor());
        QCOMPARE(window.problemList()->count(), 1);
        QVERIFY(window.problemList()->item(0)->text().endsWith(message));
        // Only the cell in question is marked; a click on the problem goes to it.
        QVERIFY(
            !window.model()->index(row, column == 1 ? 2 : 1).data(Qt::BackgroundRole).isValid());
        QListWidget *list = window.problemList();
        window.table()->setCurrentIndex(window.model()->index(0, 5));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QCOMPARE(window.table()->currentIndex(), index);

        typeInto(window.table(), row, column, valid);
        QCOMPARE(index.data().toString(), valid);
        QVERIFY(!index.data(Qt::ToolTipRole).isValid());
        QVERIFY(!index.data(Qt::BackgroundRole).isValid());
        QCOMPARE(window.problemList()->count(), 0);
    }

    void undoRestoresBytesOnSave_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::newRow("SP1") << 0 << 1 << "500";
        QTest::newRow("an invalid value") << 2 << 9 << "x";
    }

    void undoRestoresBytesOnSave()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, text);
        SHOW_WINDOW(window);
        typeInto(window.table(), row, column, text);
        QVERIFY(window.isModified());
        const QByteArray edited = saved(window);
        QVERIFY(edited != demoFile());
        QVERIFY(!window.isModified());

        window.undoStack()->undo();
        QVERIFY(window.isModified());
        QCOMPARE(saved(window), demoFile());

        window.undoStack()->redo();
        QCOMPARE(saved(window), edited);
    }

    void unchangedSaveIsByteIdentical_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("three segments") << demoFile();
        QTest::newRow("an invalid cell") << TestFiles::utf16WithBom(
            QString::fromLatin1(header) + QString::fromLatin1(seg1).replace("150", "9999"));
        QTest::newRow("a quoted tag") << TestFiles::utf16WithBom(
            QString::fromLatin1(header) +
            QString::fromLatin1(seg1).replace("ANNEAL01", "\"AN\"\"EAL\""));
    }

    void unchangedSaveIsByteIdentical()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(TestFiles::write(m_path, bytes));
        OPEN_WINDOW(window);
        QVERIFY(!window.isModified());
        QCOMPARE(saved(window), bytes);
    }

    void segmentRowsRenumber_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("sp1");
        QTest::newRow("insert before segment 1")
            << "insert" << 0 << QStringList{"150", "150", "150", "620"};
        QTest::newRow("delete segment 1") << "delete" << 0 << QStringList{"150", "620"};
        QTest::newRow("move segment 3 up") << "up" << 2 << QStringList{"150", "620", "150"};
        QTest::newRow("the last segment stays") << "down" << 2 << QStringList{"150", "150", "620"};
    }

    void segmentRowsRenumber()
    {
        QFETCH(QString, action);
        QFETCH(int, row);
        QFETCH(QStringList, sp1);
        OPEN_WINDOW(window);
        window.table()->setCurrentIndex(window.model()->index(row, 1));
        if (action == "insert")
            window.insertSegment();
        else if (action == "delete")
            window.deleteSegment();
        else
            action == "up" ? window.moveSegmentUp() : window.moveSegmentDown();
        const ProgramTableModel *model = window.model();
        QCOMPARE(model->rowCount(), sp1.size());
        for (int r = 0; r < model->rowCount(); ++r) {
            QCOMPARE(model->cell(r, 0), QStringLiteral("SEG%1").arg(r + 1));
            QCOMPARE(model->cell(r, 1), sp1.at(r));
            // Segment 1 keeps the program-wide values whatever moved.
            QCOMPARE(model->cell(r, 25),
                     r == 0 ? QStringLiteral("ANNEAL01") : QStringLiteral("----"));
        }
        QCOMPARE(window.problemList()->count(), 0);
        window.undoStack()->undo();
        QCOMPARE(saved(window), demoFile());
    }

    void profileClickSelectsRow()
    {
        SHOW_WINDOW(window);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ProfileWidget *profile = window.profileWidget();
        QPoint third;
        for (int x = 0; x < profile->width() && third.isNull(); ++x) {
            const QPoint point(x, profile->height() / 2);
            if (profile->segmentAt(point) == 3)
                third = point;
        }
        QVERIFY(!third.isNull());
        QTest::mouseClick(profile, Qt::LeftButton, {}, third);
        QCOMPARE(window.table()->currentIndex().row(), 2);
        QCOMPARE(profile->highlightedSegment(), 3);

        window.table()->setCurrentIndex(window.model()->index(0, 1));
        QCOMPARE(profile->highlightedSegment(), 1);
    }

    void pasteSpreadsheetRows_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("cells"); // "row,column,text"
        QTest::newRow("a block, CR LF and a last line end")
            << 0 << 1 << "500\t01:00\r\n600\t02:00\r\n"
            << 3 << QStringList{"0,1,500", "0,2,01:00", "1,1,600", "1,2,02:00", "2,1,620"};
        QTest::newRow("rows with labels past the end, LF")
            << 2 << 0 << "SEG7\t700\t00:10\nSEG8\t800\t\"00:20\"" << 4
            << QStringList{"2,1,700",  "3,1,800",   "3,2,00:20",
                           "3,3,----", "3,25,----", "0,25,ANNEAL01"};
    }

    void pasteSpreadsheetRows()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, clipboard);
        QFETCH(int, rows);
        QFETCH(QStringList, cells);
        OPEN_WINDOW(window);
        QApplication::clipboard()->setText(clipboard);
        window.table()->setCurrentIndex(window.model()->index(row, column));
        QVERIFY(window.pasteCells());
        QCOMPARE(window.model()->rowCount(), rows);
        for (int r = 0; r < rows; ++r)
            QCOMPARE(window.model()->cell(r, 0), QStringLiteral("SEG%1").arg(r + 1));
        for (const QString &cell : cells) {
            const QStringList place = cell.split(',');
            QCOMPARE(window.model()->cell(place[0].toInt(), place[1].toInt()), place[2]);
        }
        QCOMPARE(window.undoStack()->count(), 1);
        window.undoStack()->undo();
        QCOMPARE(saved(window), demoFile());
    }

    void copyPutsSelectionAsTsv()
    {
        OPEN_WINDOW(window);
        QItemSelectionModel *selection = window.table()->selectionModel();
        selection->select(QItemSelection(window.model()->index(1, 1), window.model()->index(2, 3)),
                          QItemSelectionModel::Select);
        window.copyCells();
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("150\t00:30\t170\r\n620\t02:30\t----\r\n"));
    }

    void noneOnlyWhereTheColumnHasIt()
    {
        OPEN_WINDOW(window);
        for (int column : {1, 2, 3, 4})
            window.table()->selectionModel()->select(window.model()->index(1, column),
                                                     QItemSelectionModel::Select);
        window.setCellsToNone();
        QCOMPARE(window.model()->rows().at(1).mid(1, 4),
                 (QStringList{"150", "00:30", "----", "----"}));
        QCOMPARE(window.undoStack()->count(), 1);
        window.undoStack()->undo();
        QCOMPARE(window.model()->rows().at(1).mid(1, 4), (QStringList{"150", "00:30", "170", "5"}));
    }

    void delegateRefusesUnrepresentable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("cell");
        QTest::newRow("beyond a record word") << "70000" << 1 << "150";
        QTest::newRow("a fraction") << "1.5" << 19 << "1";
        QTest::newRow("none where SP1 has none") << "----" << 1 << "150";
        QTest::newRow("a negative event value") << "-5" << 3 << "-5";
    }

    void delegateRefusesUnrepresentable()
    {
        QFETCH(QString, text);
        QFETCH(int, column);
        QFETCH(QString, cell);
        OPEN_WINDOW(window);
        const QModelIndex index = window.model()->index(1, column);
        QAbstractItemDelegate *delegate = window.table()->itemDelegate(index);
        QWidget *editor = delegate->createEditor(window.table()->viewport(), {}, index);
        QVERIFY(editor->inherits("QSpinBox"));
        delegate->setEditorData(editor, index);
        editor->findChild<QLineEdit *>()->setText(text);
        delegate->setModelData(editor, window.model(), index);
        QCOMPARE(window.model()->cell(1, column), cell);
        delete editor;

        // The program-wide form takes what the spin boxes take: P.STA keeps its number.
        QLineEdit *start = window.programWideForm()->editorFor(ProgramColumns::firstProgramWide());
        start->setText(text);
        QTest::keyClick(start, Qt::Key_Return);
        QCOMPARE(window.model()->cell(0, ProgramColumns::firstProgramWide()),
                 text == "-5" ? text : QStringLiteral("0"));
    }

    void closePrompt_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("saved");
        QTest::newRow("save") << int(QMessageBox::Save) << true << true;
        QTest::newRow("discard") << int(QMessageBox::Discard) << true << false;
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << false;
    }

    void closePrompt()
    {
        QFETCH(int, button);
        QFETCH(bool, closed);
        QFETCH(bool, saved);
        SHOW_WINDOW(window);
        typeInto(window.table(), 0, 1, QStringLiteral("500"));
        QTimer::singleShot(0, [button] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->button(QMessageBox::StandardButton(button))->click();
        });
        QCOMPARE(window.close(), closed);
        QCOMPARE(window.isModified(), !saved);
        QCOMPARE(TestFiles::read(m_path) != demoFile(), saved);
    }

    void droppedFileOpensWithItsLoaderWarnings()
    {
        const QString shortRow = m_dir.filePath(QStringLiteral("PROG_2.txt"));
        QVERIFY(TestFiles::write(shortRow, TestFiles::utf16WithBom(QString::fromLatin1(header) +
                                                                   seg1 + "SEG2\t150\r\n")));
        SHOW_WINDOW(window);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(shortRow)});
        // A drop goes to the widget that accepted the drag's entry.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QCOMPARE(window.fileName(), shortRow);
        const QStringList warnings = programWarnings(window.problemList());
        QVERIFY(!warnings.isEmpty());
        typeInto(window.table(), 0, 1, QStringLiteral("500"));
        QVERIFY(window.isModified());
        QCOMPARE(programWarnings(window.problemList()), warnings);
    }

    void missingFileIsRefused()
    {
        OPEN_WINDOW(window);
        QString error;
        QVERIFY(!window.openFile(m_dir.filePath(QStringLiteral("none.txt")), &error));
        QVERIFY(!error.isEmpty());
        // The open program stays.
        QCOMPARE(window.fileName(), m_path);
        QCOMPARE(window.model()->rowCount(), 3);
    }

    // ---- Talking to a controller: the built-in simulated one, through the plugin, off the GUI
    // thread.

    void transferKeepsWindowResponsive_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("program");
        QTest::addColumn<int>("segments");
        QTest::newRow("read demo program 1") << false << 1 << 8;
        QTest::newRow("write and verify into program 5") << true << 5 << 3;
    }

    void transferKeepsWindowResponsive()
    {
        QFETCH(bool, write);
        QFETCH(int, program);
        QFETCH(int, segments);
        CONNECTED_WINDOW(window, panel);
        const QList<QStringList> opened = window.model()->table();
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        QVERIFY(write ? panel->writeProgram(program) : panel->readProgram(program));
        QVERIFY(panel->isBusy());
        QVERIFY(outcome(panel));
        // A transfer takes seconds of the plugin's pauses; the GUI thread kept turning meanwhile.
        QVERIFY2(ticks > 50, qPrintable(QString::number(ticks)));
        if (write) {
            QVERIFY(window.statusBar()->currentMessage().contains("read-back matches"));
            QVERIFY(panel->readProgram(program));
            QVERIFY(outcome(panel));
            QCOMPARE(window.model()->table(), opened);
        }
        QCOMPARE(window.model()->rowCount(), segments);
        QCOMPARE(window.model()->cell(segments - 1, 0), QStringLiteral("SEG%1").arg(segments));
        // A program read is a new document that is not saved anywhere yet.
        QVERIFY(window.fileName().isEmpty() && window.isModified());
        QVERIFY(!panel->logDock()->isVisible());
    }

    void writeRefusedWhileProblemShown()
    {
        CONNECTED_WINDOW(window, panel);
        typeInto(window.table(), 1, 1, QStringLiteral("2000"));
        QCOMPARE(window.problemList()->count(), 1);
        QSignalSpy done(panel, &ControllerPanel::finished);
        QVERIFY(!panel->writeProgram(5));
        QCOMPARE(done.count(), 1);
        QVERIFY(!done.first().first().toBool());
        QVERIFY(panel->logDock()->isVisible());
        QVERIFY(
            panel->logView()->toPlainText().contains("SP1 [2000] is out of range (-200 ~ 1300)."));
        // Nothing reached the controller: program 5 is still empty.
        QVERIFY(panel->readProgram(5));
        QVERIFY(!outcome(panel));
        QVERIFY(panel->logView()->toPlainText().contains("holds no segments"));
    }

    void cancelLeavesNoFileOpen()
    {
        CONNECTED_WINDOW(window, panel);
        QVERIFY(panel->readProgram(1));
        // Cancelled while the controller's file is open: a segment has been read.
        QTRY_VERIFY_WITH_TIMEOUT(panel->progressBar()->value() > 0, 30000);
        panel->cancel();
        QVERIFY(!outcome(panel));
        QVERIFY(panel->logView()->toPlainText().contains("cancelled"));
        QCOMPARE(window.fileName(), m_path);
        // A file left open would refuse the write's open with "File is already open.".
        panel->verifyAction()->setChecked(false);
        QVERIFY(panel->writeProgram(5));
        QVERIFY(outcome(panel));
    }

private:
    // What a save of window to a file of the test writes; "(not saved)" when the save fails.
    QByteArray saved(EditorWindow &window)
    {
        const QString file = m_dir.filePath(QStringLiteral("saved.txt"));
        return window.saveFile(file) ? TestFiles::read(file) : QByteArray("(not saved)");
    }

    QTemporaryDir m_dir;
    QString m_path;
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TestEditor editing;
    return QTest::qExec(&editing, argc, argv);
}

#include "tst_editor.moc"
