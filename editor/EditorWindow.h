#ifndef EDITORWINDOW_H
#define EDITORWINDOW_H

#include <QMainWindow>
#include <QSet>

class ControllerPanel;
class ProfileWidget;
class ProgramTableModel;
class ProgramWideForm;
class QListWidget;
class QListWidgetItem;
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

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildActions();
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
    QString m_fileName;
    ControllerPanel *m_controller = nullptr;
};

#endif
