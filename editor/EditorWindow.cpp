#include "EditorWindow.h"

#include "ControllerPanel.h"
#include "FileDropFilter.h"
#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "NumericCellDelegate.h"
#include "ProfileWidget.h"
#include "ProgramColumns.h"
#include "ProgramFile.h"
#include "ProgramProblems.h"
#include "ProgramTableModel.h"
#include "ProgramTemplate.h"
#include "ProgramWideForm.h"
#include "RangeForm.h"
#include "RangeOptions.h"
#include "RecentFiles.h"
#include "RowsCommand.h"
#include "TsvClipboard.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

constexpr int SegmentRole = Qt::UserRole;
constexpr int ColumnRole = Qt::UserRole + 1;

// The program number in a "PROG_<N>.txt" name, or 0.
int programNumberOf(const QString &fileName)
{
    static const QRegularExpression name(QStringLiteral("^PROG_(\\d+)\\."));
    const QRegularExpressionMatch match = name.match(QFileInfo(fileName).fileName());
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString problemItemText(const ProgramProblems::Problem &problem)
{
    QString place = problem.segment > 0 ? QStringLiteral("SEG%1").arg(problem.segment)
                                        : QStringLiteral("Program");
    if (problem.column >= 0 && problem.column < ProgramColumns::count())
        place += QLatin1Char(' ') + ProgramColumns::at(problem.column).headerTitle();
    return place + QStringLiteral(": ") + problem.text;
}

} // namespace

EditorWindow::EditorWindow(QWidget *parent) : QMainWindow(parent)
{
    m_undo = new QUndoStack(this);
    m_model = new ProgramTableModel(this);
    m_model->setUndoStack(m_undo);
    setCentralWidget(buildCentre());
    buildActions();
    m_controller = new ControllerPanel(this);
    connect(m_model, &ProgramTableModel::contentChanged, this, &EditorWindow::revalidate);
    connect(m_ranges, &RangeForm::changed, this, &EditorWindow::revalidate);
    connect(m_undo, &QUndoStack::cleanChanged, this, &EditorWindow::updateTitle);
    connect(m_problems, &QListWidget::itemClicked, this, &EditorWindow::jumpToProblem);
    connect(m_problems, &QListWidget::itemActivated, this, &EditorWindow::jumpToProblem);
    connect(m_profile, &ProfileWidget::segmentClicked, this, &EditorWindow::selectSegment);
    connect(new FileDropFilter(this), &FileDropFilter::fileDropped, this,
            &EditorWindow::openDropped);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                m_profile->setHighlightedSegment(current.isValid() ? current.row() + 1 : 0);
            });
    resize(1400, 820);
    updateTitle();
}

// The children outlive this part of the window while QWidget deletes them, and the undo stack
// still reports itself clean as it goes: nothing of theirs may reach the window's slots then.
EditorWindow::~EditorWindow()
{
    m_undo->disconnect(this);
    m_model->disconnect(this);
}

QWidget *EditorWindow::buildCentre()
{
    auto *centre = new QWidget(this);
    auto *layout = new QVBoxLayout(centre);
    m_wide = new ProgramWideForm(m_model, centre);
    m_ranges = new RangeForm(centre);
    layout->addWidget(m_wide);
    layout->addWidget(m_ranges);
    m_table = new QTableView(centre);
    m_table->setModel(m_model);
    m_table->setItemDelegate(new NumericCellDelegate(m_table));
    m_table->setObjectName(QStringLiteral("segments"));
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setDefaultSectionSize(58);
    m_profile = new ProfileWidget(centre);
    m_problems = new QListWidget(centre);
    m_problems->setObjectName(QStringLiteral("problems"));
    auto *top = new QSplitter(Qt::Horizontal, centre);
    top->addWidget(m_table);
    top->addWidget(m_profile);
    top->setStretchFactor(0, 3);
    top->setStretchFactor(1, 2);
    top->setSizes({780, 560});
    auto *split = new QSplitter(Qt::Vertical, centre);
    split->addWidget(top);
    split->addWidget(m_problems);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    return centre;
}

void EditorWindow::buildActions()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(
        tr("&New"), this,
        [this] {
            if (confirmDiscard())
                newFile();
        },
        QKeySequence::New);
    file->addAction(tr("&Open..."), this, &EditorWindow::openDialog, QKeySequence::Open);
    m_recent = file->addMenu(tr("Open &Recent"));
    connect(m_recent, &QMenu::aboutToShow, this, &EditorWindow::fillRecentMenu);
    file->addAction(tr("&Save"), this, &EditorWindow::save, QKeySequence::Save);
    file->addAction(tr("Save &As..."), this, &EditorWindow::saveAsDialog, QKeySequence::SaveAs);
    file->addSeparator();
    file->addAction(tr("&Quit"), this, &QWidget::close, QKeySequence::Quit);
    buildEditMenu();
}

void EditorWindow::buildEditMenu()
{
    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    QAction *undo = m_undo->createUndoAction(this, tr("&Undo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = m_undo->createRedoAction(this, tr("&Redo"));
    redo->setShortcut(QKeySequence::Redo);
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    QAction *insert = edit->addAction(tr("&Insert segment"), this, &EditorWindow::insertSegment);
    QAction *remove = edit->addAction(tr("&Delete segment"), this, &EditorWindow::deleteSegment);
    QAction *up = edit->addAction(tr("Move segment &up"), this, &EditorWindow::moveSegmentUp,
                                  Qt::CTRL + Qt::SHIFT + Qt::Key_Up);
    QAction *down = edit->addAction(tr("Move segment do&wn"), this, &EditorWindow::moveSegmentDown,
                                    Qt::CTRL + Qt::SHIFT + Qt::Key_Down);
    edit->addSeparator();
    edit->addAction(tr("&Copy"), this, &EditorWindow::copyCells, QKeySequence::Copy);
    edit->addAction(tr("&Paste"), this, &EditorWindow::pasteCells, QKeySequence::Paste);
    QAction *none = edit->addAction(tr("&None (----)"), this, &EditorWindow::setCellsToNone,
                                    QKeySequence::Delete);
    QToolBar *bar = addToolBar(tr("Edit"));
    bar->addActions({undo, redo, insert, remove, up, down, none});
}

void EditorWindow::fillRecentMenu()
{
    m_recent->clear();
    for (const QString &name : RecentFiles::files())
        m_recent->addAction(name, this, [this, name] { openRecent(name); });
    m_recent->setEnabled(!m_recent->isEmpty());
}

void EditorWindow::openRecent(const QString &fileName)
{
    if (!confirmDiscard())
        return;
    QString error;
    if (openFile(fileName, &error))
        return;
    RecentFiles::remove(fileName);
    QMessageBox::warning(this, tr("Open program"), error);
}

void EditorWindow::openDropped(const QString &fileName)
{
    QString error;
    if (confirmDiscard() && !openFile(fileName, &error))
        QMessageBox::warning(this, tr("Open program"), error);
}

bool EditorWindow::confirmDiscard()
{
    return !isModified() ||
           QMessageBox::question(this, tr("Unsaved changes"),
                                 tr("Discard the changes that are not saved?")) == QMessageBox::Yes;
}

bool EditorWindow::openFile(const QString &fileName, QString *error)
{
    KCSVLoader loader;
    // Without a thread the loader shows no boxes; its messages come back in the lists.
    loader.moveToThread(nullptr);
    ProgramFile loaded;
    if (loaded.load(loader, fileName) != ProgramFile::LoadResult::Loaded) {
        if (error) {
            const QStringList errors = loaded.loaderErrors();
            *error = errors.isEmpty() ? tr("%1 cannot be loaded.").arg(fileName)
                                      : errors.join(QLatin1Char('\n'));
        }
        return false;
    }
    // The loader still holds the rows with the header the file has, which a save keeps.
    const QStringList header = loader.loadedData().value(0);
    m_loaded = loaded;
    showTable(header, loaded.rows(), fileName);
    RecentFiles::add(fileName);
    return true;
}

void EditorWindow::newFile()
{
    const QList<QStringList> table = ProgramTemplate::table();
    m_loaded = ProgramFile();
    showTable(table.first(), table.mid(1), QString());
}

void EditorWindow::showTable(const QStringList &header, const QList<QStringList> &rows,
                             const QString &fileName)
{
    m_fileName = fileName;
    m_profile->setProgramNumber(programNumberOf(fileName));
    m_undo->clear();
    m_model->setTable(header, rows);
    m_table->resizeColumnsToContents();
    for (int c = ProgramColumns::firstProgramWide(); c < ProgramColumns::count(); ++c)
        m_table->setColumnHidden(c, true);
    updateTitle();
}

void EditorWindow::showProgram(const QList<QStringList> &table, int program)
{
    m_loaded = ProgramFile();
    showTable(table.value(0), table.mid(1), QString());
    m_profile->setProgramNumber(program);
    // Not on disk yet: closing asks to save it.
    m_undo->resetClean();
    updateTitle();
}

bool EditorWindow::saveFile(const QString &fileName, QString *error)
{
    KCSVSaver saver;
    saver.moveToThread(nullptr);
    if (!saver.saveFile(m_model->table(), fileName)) {
        if (error) {
            const QStringList errors = saver.errorMessageList();
            *error = errors.isEmpty() ? tr("%1 cannot be written.").arg(fileName)
                                      : errors.join(QLatin1Char('\n'));
        }
        return false;
    }
    m_fileName = fileName;
    m_profile->setProgramNumber(programNumberOf(fileName));
    m_undo->setClean();
    RecentFiles::add(fileName);
    updateTitle();
    return true;
}

bool EditorWindow::isModified() const
{
    return !m_undo->isClean();
}

void EditorWindow::revalidate()
{
    // A copy of the file as loaded keeps its loader warnings listed while the rows change.
    ProgramFile file = m_loaded;
    file.setRows(m_model->rows());
    RangeOptions ranges;
    ranges.setGiven(m_ranges->limits(), m_ranges->eventTypes());
    ProgramProblems problems;
    problems.collect(file, m_model->rowCount(), ranges);
    m_model->setProblems(problems);
    m_wide->refresh();
    m_problems->clear();
    for (const ProgramProblems::Problem &problem : problems.problems()) {
        auto *item = new QListWidgetItem(problemItemText(problem), m_problems);
        item->setData(SegmentRole, problem.segment);
        item->setData(ColumnRole, problem.column);
        item->setToolTip(problem.text);
    }
    statusBar()->showMessage(problems.isEmpty()
                                 ? tr("No problems: the program can be written.")
                                 : tr("%n problem(s)", nullptr, problems.problems().size()));
    showProfile(problems.segments());
}

void EditorWindow::showProfile(const QSet<int> &invalidSegments)
{
    SetpointProfile profile;
    profile.build(m_model->table(), m_ranges->parameters(), invalidSegments);
    m_profile->setProfile(profile);
}

void EditorWindow::jumpToProblem(QListWidgetItem *item)
{
    const int segment = item->data(SegmentRole).toInt();
    const int column = item->data(ColumnRole).toInt();
    if (segment < 1 || segment > m_model->rowCount())
        return;
    if (column >= ProgramColumns::firstProgramWide()) {
        m_wide->editorFor(column)->setFocus();
        return;
    }
    const QModelIndex index = m_model->index(segment - 1, qMax(column, 0));
    m_table->setCurrentIndex(index);
    m_table->scrollTo(index);
    m_table->setFocus();
}

void EditorWindow::selectSegment(int segment)
{
    if (segment < 1 || segment > m_model->rowCount())
        return;
    const int column = qMax(m_table->currentIndex().column(), 1);
    m_table->setCurrentIndex(m_model->index(segment - 1, column));
    m_table->selectRow(segment - 1);
}

void EditorWindow::insertSegment()
{
    const int row = m_table->currentIndex().isValid() ? m_table->currentIndex().row() : -1;
    m_undo->push(new RowsCommand(m_model, m_model->rows(),
                                 RowsCommand::inserted(m_model->rows(), row),
                                 tr("Insert segment")));
}

void EditorWindow::deleteSegment()
{
    const int row = m_table->currentIndex().row();
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_undo->push(new RowsCommand(m_model, m_model->rows(),
                                 RowsCommand::removed(m_model->rows(), row),
                                 tr("Delete segment %1").arg(row + 1)));
}

void EditorWindow::moveSegmentUp()
{
    moveSegment(-1);
}

void EditorWindow::moveSegmentDown()
{
    moveSegment(1);
}

void EditorWindow::moveSegment(int delta)
{
    const QModelIndex current = m_table->currentIndex();
    const int row = current.row();
    if (!current.isValid() || row + delta < 0 || row + delta >= m_model->rowCount())
        return;
    changeRows(RowsCommand::moved(m_model->rows(), row, delta), tr("Move segment %1").arg(row + 1));
    m_table->setCurrentIndex(m_model->index(row + delta, current.column()));
}

void EditorWindow::copyCells()
{
    QModelIndexList selected = m_table->selectionModel()->selectedIndexes();
    if (selected.isEmpty() && m_table->currentIndex().isValid())
        selected << m_table->currentIndex();
    if (selected.isEmpty())
        return;
    int top = selected.first().row(), bottom = top;
    int left = selected.first().column(), right = left;
    for (const QModelIndex &index : selected) {
        top = qMin(top, index.row());
        bottom = qMax(bottom, index.row());
        left = qMin(left, index.column());
        right = qMax(right, index.column());
    }
    QList<QStringList> block;
    for (int r = top; r <= bottom; ++r) {
        QStringList cells;
        for (int c = left; c <= right; ++c)
            cells << m_model->cell(r, c);
        block << cells;
    }
    QApplication::clipboard()->setText(TsvClipboard::format(block));
}

bool EditorWindow::pasteCells()
{
    const QModelIndex current = m_table->currentIndex();
    const QList<QStringList> block = TsvClipboard::parse(QApplication::clipboard()->text());
    if (!current.isValid() || block.isEmpty())
        return false;
    changeRows(TsvClipboard::pasted(m_model->rows(), current.row(), current.column(), block),
               tr("Paste"));
    m_table->setCurrentIndex(m_model->index(current.row(), current.column()));
    return true;
}

void EditorWindow::setCellsToNone()
{
    QList<QPair<int, int>> cells;
    for (const QModelIndex &index : m_table->selectionModel()->selectedIndexes())
        cells << qMakePair(index.row(), index.column());
    changeRows(RowsCommand::withNone(m_model->rows(), cells), tr("Set to none"));
}

// Pushes the change as one undo step; nothing when the rows stay as they are.
void EditorWindow::changeRows(const QList<QStringList> &after, const QString &text)
{
    if (after != m_model->rows())
        m_undo->push(new RowsCommand(m_model, m_model->rows(), after, text));
}

void EditorWindow::closeEvent(QCloseEvent *event)
{
    if (!isModified()) {
        event->accept();
        return;
    }
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, tr("Unsaved changes"), tr("The program has changes that are not saved. Save them?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Discard || (answer == QMessageBox::Save && save()))
        event->accept();
    else
        event->ignore();
}

void EditorWindow::openDialog()
{
    if (!confirmDiscard())
        return;
    const QString name = QFileDialog::getOpenFileName(
        this, tr("Open program"), QFileInfo(m_fileName).path(), tr("Program files (*.txt)"));
    QString error;
    if (!name.isEmpty() && !openFile(name, &error))
        QMessageBox::warning(this, tr("Open program"), error);
}

bool EditorWindow::save()
{
    if (m_fileName.isEmpty())
        return saveAsDialog();
    QString error;
    if (saveFile(m_fileName, &error))
        return true;
    QMessageBox::warning(this, tr("Save program"), error);
    return false;
}

bool EditorWindow::saveAsDialog()
{
    const QString name = QFileDialog::getSaveFileName(this, tr("Save program"), m_fileName,
                                                      tr("Program files (*.txt)"));
    if (name.isEmpty())
        return false;
    QString error;
    if (saveFile(name, &error))
        return true;
    QMessageBox::warning(this, tr("Save program"), error);
    return false;
}

void EditorWindow::updateTitle()
{
    const QString name = m_fileName.isEmpty() ? tr("untitled") : QFileInfo(m_fileName).fileName();
    setWindowTitle(QStringLiteral("%1%2 - dcp30-editor").arg(name, isModified() ? "*" : ""));
}
