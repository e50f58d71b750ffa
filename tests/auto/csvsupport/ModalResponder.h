#ifndef MODALRESPONDER_H
#define MODALRESPONDER_H

#include <QFileDialog>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

// What a test saw of one modal dialog or message box.
struct SeenModal
{
    QString kind; // "QMessageBox" or "QFileDialog"
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QWidget *parent = nullptr;
    QString directory;
    QStringList nameFilters;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
};

// Answers the modal widgets that the code under test opens on the GUI thread: every new one is
// recorded and handed the next queued action. One without an action is rejected, and once the
// watchdog expires every modal widget is closed, so no test can hang on a dialog.
class ModalResponder : public QObject
{
    Q_OBJECT

public:
    using Action = std::function<void(QWidget *)>;

    explicit ModalResponder(int watchdogMs = 20000);

    void then(Action action) { m_actions.append(std::move(action)); }

    static Action click(QMessageBox::StandardButton button);
    static Action pressEscape();
    static Action chooseFile(const QString &path);
    static Action cancel();

    const QList<SeenModal> &seen() const { return m_seen; }
    int unusedActions() const { return m_actions.size(); }
    bool watchdogFired() const { return m_watchdogFired; }

private:
    void poll();

    QTimer m_poll;
    QTimer m_watchdog;
    QList<Action> m_actions;
    QList<SeenModal> m_seen;
    QList<QPointer<QWidget>> m_handled;
    bool m_watchdogFired = false;
};

#endif
