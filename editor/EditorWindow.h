#ifndef EDITORWINDOW_H
#define EDITORWINDOW_H

#include "ProgramFile.h"

#include <QMainWindow>
#include <QSet>

class ControllerPanel;
class ProfileWidget;
class ProgramTableModel;
class ProgramWideForm;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QTableView;
class QUndoStack;
class RangeForm;

// The program editor's main window: the program-wide values and the range parameters above the
// segment table, the profile beside it and the problems below. Every edit is checked at once the
// way "dcp30 validate" checks a file, and every problem is marked at its cell.
class EditorWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit EditorWindow(QWidget *parent = nullptr);
    ~EditorWindow() override;

    // Loads fileName into the window; false with the reason in *error (the window unchanged).
    bool openFile(const QString &fileName, QString *error = nullptr);
    // Shows the program template as a new, unnamed program (edits not saved are dropped).
    void newFile();
    // Shows table (header row first) as a new document without a file and with unsaved
    // changes: a program read from a controller. Never fails.
    void showProgram(const QList<QStringList> &table, int program);
    // Saves the table to fileName; false with the reason in *error. The undo stack is marked
    // clean on success.
    bool saveFile(const QString &fileName, QString *error = nullptr);
    QString fileName() const { return m_fileName; }
    // True when there are edits not saved.
    bool isModified() const;

    ProgramTableModel *model() const { return m_model; }
    QTableView *table() const { return m_table; }
    QListWidget *problemList() const { return m_problems; }
    ProfileWidget *profileWidget() const { return m_profile; }
    ProgramWideForm *programWideForm() const { return m_wide; }
    RangeForm *rangeForm() const { return m_ranges; }
    ControllerPanel *controllerPanel() const { return m_controller; }
    QUndoStack *undoStack() const { return m_undo; }

public slots:
    // Checks the table again and shows the problems, the marks and the profile.
    void revalidate();
    void insertSegment();
    void deleteSegment();
    // Moves the current segment one place up or down (labels renumbered), one undo step.
    void moveSegmentUp();
    void moveSegmentDown();
    // Puts the selected cells on the clipboard as tab-separated text.
    void copyCells();
    // Writes the clipboard's tab-separated text over the table from the current cell on,
    // adding segments where it runs past the last one; one undo step. False when the clipboard
    // holds no cell or there is no current cell.
    bool pasteCells();
    // Sets the selected cells whose column has it to "----", one undo step.
    void setCellsToNone();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildActions();
    void buildEditMenu();
    void fillRecentMenu();
    void openRecent(const QString &fileName);
    void openDropped(const QString &fileName);
    bool confirmDiscard();
    void showTable(const QStringList &header, const QList<QStringList> &rows,
                   const QString &fileName);
    void moveSegment(int delta);
    void changeRows(const QList<QStringList> &after, const QString &text);
    QWidget *buildCentre();
    void showProfile(const QSet<int> &invalidSegments);
    void jumpToProblem(QListWidgetItem *item);
    void selectSegment(int segment);
    void openDialog();
    bool save();
    bool saveAsDialog();
    void updateTitle();

    ProgramTableModel *m_model = nullptr;
    QUndoStack *m_undo = nullptr;
    QTableView *m_table = nullptr;
    QListWidget *m_problems = nullptr;
    ProfileWidget *m_profile = nullptr;
    ProgramWideForm *m_wide = nullptr;
    RangeForm *m_ranges = nullptr;
    QMenu *m_recent = nullptr;
    QString m_fileName;
    // The open file as loaded, for the loader's warnings, which stay listed while it is edited.
    ProgramFile m_loaded;
    ControllerPanel *m_controller = nullptr;
};

#endif
