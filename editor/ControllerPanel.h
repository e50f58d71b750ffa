#ifndef CONTROLLERPANEL_H
#define CONTROLLERPANEL_H

#include <QList>
#include <QObject>
#include <QStringList>

class EditorWindow;
class QAction;
class QDockWidget;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QThread;
class TransferRunner;

// The editor's "Controller" menu and what it shows: connect to a controller, read a program into
// the window, write the open program (refused while the problems panel lists any problem) and
// verify it, cancel. The transfers run in a TransferRunner on a thread of its own; the status bar
// shows the connection and a progress bar, and a failed operation's lines (the plugin's error
// log, the problems, the differences) appear in the "Transfer log" dock.
class ControllerPanel : public QObject
{
    Q_OBJECT
public:
    // Adds the menu, the status bar widgets and the dock to window.
    explicit ControllerPanel(EditorWindow *window);
    // Cancels what runs and waits for the thread, which closes the controller's file.
    ~ControllerPanel() override;

    // Each starts an operation and answers at once; finished() tells how it ended. False (with
    // finished() already emitted for a refused write) when it cannot start: not connected, or
    // busy.
    bool connectTo(const QString &portText);
    bool readProgram(int program);
    bool writeProgram(int program);
    void cancel();
    void disconnectFrom();

    bool isConnected() const { return m_connected; }
    bool isBusy() const { return m_busy; }
    QProgressBar *progressBar() const { return m_progress; }
    QPlainTextEdit *logView() const { return m_log; }
    QDockWidget *logDock() const { return m_dock; }
    QAction *verifyAction() const { return m_verify; }

signals:
    void finished(bool ok);
    // Queued to the runner.
    void connectRequested(const QString &portText);
    void disconnectRequested();
    void readRequested(int program);
    void writeRequested(int program, const QList<QStringList> &table, bool verify);

private:
    void buildMenu();
    void start(const QString &stage);
    void onConnected(const QString &name, const QList<qint32> &paras);
    void onDisconnected();
    void onProgress(const QString &stage, int percent);
    void onProgramRead(int program, const QList<QStringList> &table);
    void onFinished(bool ok, const QString &summary, const QStringList &details);
    void updateActions();
    void connectDialog();
    void readDialog();
    void writeDialog();

    EditorWindow *m_window;
    QThread *m_thread = nullptr;
    TransferRunner *m_runner = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_state = nullptr;
    QDockWidget *m_dock = nullptr;
    QPlainTextEdit *m_log = nullptr;
    QAction *m_connect = nullptr;
    QAction *m_disconnect = nullptr;
    QAction *m_read = nullptr;
    QAction *m_write = nullptr;
    QAction *m_verify = nullptr;
    QAction *m_cancel = nullptr;
    bool m_connected = false;
    bool m_busy = false;
    int m_program = 1; // the last program read or written, offered next
};

#endif
