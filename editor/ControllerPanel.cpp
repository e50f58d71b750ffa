#include "ControllerPanel.h"

#include "EditorWindow.h"
#include "ProgramTableModel.h"
#include "RangeForm.h"
#include "TransferRunner.h"

#include <QAction>
#include <QDockWidget>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSerialPortInfo>
#include <QStatusBar>
#include <QThread>

namespace {

// What separates a port from its description in the connect dialog's list.
const QString PortNote = QStringLiteral("  - ");

} // namespace

ControllerPanel::ControllerPanel(EditorWindow *window) : QObject(window), m_window(window)
{
    qRegisterMetaType<QList<QStringList>>("QList<QStringList>");
    qRegisterMetaType<QList<qint32>>("QList<qint32>");
    m_thread = new QThread(this);
    m_runner = new TransferRunner;
    m_runner->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_runner, &QObject::deleteLater);
    connect(this, &ControllerPanel::connectRequested, m_runner, &TransferRunner::connectTo);
    connect(this, &ControllerPanel::disconnectRequested, m_runner, &TransferRunner::disconnectFrom);
    connect(this, &ControllerPanel::readRequested, m_runner, &TransferRunner::readProgram);
    connect(this, &ControllerPanel::writeRequested, m_runner, &TransferRunner::writeProgram);
    connect(m_runner, &TransferRunner::connected, this, &ControllerPanel::onConnected);
    connect(m_runner, &TransferRunner::disconnected, this, &ControllerPanel::onDisconnected);
    connect(m_runner, &TransferRunner::progressed, this, &ControllerPanel::onProgress);
    connect(m_runner, &TransferRunner::programRead, this, &ControllerPanel::onProgramRead);
    connect(m_runner, &TransferRunner::finished, this, &ControllerPanel::onFinished);
    m_thread->start();

    m_state = new QLabel(tr("Not connected"), window);
    m_progress = new QProgressBar(window);
    m_progress->setRange(0, 100);
    m_progress->setMaximumWidth(220);
    m_progress->hide();
    window->statusBar()->addPermanentWidget(m_progress);
    window->statusBar()->addPermanentWidget(m_state);
    m_dock = new QDockWidget(tr("Transfer log"), window);
    m_dock->setObjectName(QStringLiteral("transferLog"));
    m_log = new QPlainTextEdit(m_dock);
    m_log->setReadOnly(true);
    m_dock->setWidget(m_log);
    window->addDockWidget(Qt::BottomDockWidgetArea, m_dock);
    m_dock->hide();
    buildMenu();
}

ControllerPanel::~ControllerPanel()
{
    // The runner stops at its next pause; the thread's end deletes it and its session there.
    m_runner->cancel();
    m_thread->quit();
    m_thread->wait();
}

void ControllerPanel::buildMenu()
{
    QMenu *menu = m_window->menuBar()->addMenu(tr("&Controller"));
    m_connect = menu->addAction(tr("&Connect..."), this, &ControllerPanel::connectDialog);
    m_disconnect = menu->addAction(tr("&Disconnect"), this, &ControllerPanel::disconnectFrom);
    menu->addSeparator();
    m_read = menu->addAction(tr("&Read program..."), this, &ControllerPanel::readDialog);
    m_write = menu->addAction(tr("&Write program..."), this, &ControllerPanel::writeDialog);
    m_verify = menu->addAction(tr("&Verify after writing"));
    m_verify->setCheckable(true);
    m_verify->setChecked(true);
    menu->addSeparator();
    m_cancel = menu->addAction(tr("C&ancel transfer"), this, &ControllerPanel::cancel);
    m_cancel->setShortcut(Qt::Key_Escape);
    menu->addAction(m_dock->toggleViewAction());
    updateActions();
}

void ControllerPanel::updateActions()
{
    m_connect->setEnabled(!m_busy);
    m_disconnect->setEnabled(!m_busy && m_connected);
    m_read->setEnabled(!m_busy && m_connected);
    m_write->setEnabled(!m_busy && m_connected);
    m_cancel->setEnabled(m_busy);
}

void ControllerPanel::start(const QString &stage)
{
    m_busy = true;
    m_progress->setValue(0);
    m_progress->setFormat(stage + QStringLiteral(" %p%"));
    m_progress->show();
    m_window->statusBar()->showMessage(stage);
    updateActions();
}

bool ControllerPanel::connectTo(const QString &portText)
{
    if (m_busy)
        return false;
    start(tr("Connecting to %1").arg(portText));
    m_runner->handOver();
    emit connectRequested(portText);
    return true;
}

void ControllerPanel::disconnectFrom()
{
    if (m_busy || !m_connected)
        return;
    m_runner->handOver();
    emit disconnectRequested();
}

bool ControllerPanel::readProgram(int program)
{
    if (m_busy || !m_connected)
        return false;
    m_program = program;
    start(tr("Reading program %1").arg(program));
    m_runner->handOver();
    emit readRequested(program);
    return true;
}

bool ControllerPanel::writeProgram(int program)
{
    if (m_busy || !m_connected)
        return false;
    const QListWidget *problems = m_window->problemList();
    if (problems->count() > 0) {
        QStringList lines;
        for (int i = 0; i < problems->count(); ++i)
            lines << problems->item(i)->text();
        onFinished(
            false,
            tr("The program has %n problem(s), so nothing was written", nullptr, problems->count()),
            lines);
        return false;
    }
    m_program = program;
    start(tr("Writing program %1").arg(program));
    m_runner->handOver();
    emit writeRequested(program, m_window->model()->table(), m_verify->isChecked());
    return true;
}

void ControllerPanel::cancel()
{
    if (m_busy)
        m_runner->cancel();
}

void ControllerPanel::onConnected(const QString &name, const QList<qint32> &paras)
{
    m_runner->handOver();
    m_connected = true;
    m_state->setText(tr("Connected: %1").arg(name));
    m_window->rangeForm()->useController(paras);
}

void ControllerPanel::onDisconnected()
{
    m_runner->handOver();
    m_connected = false;
    m_state->setText(tr("Not connected"));
    m_window->rangeForm()->useHandEntered();
    updateActions();
}

void ControllerPanel::onProgress(const QString &stage, int percent)
{
    m_runner->handOver();
    m_progress->setFormat(stage + QStringLiteral(" %p%"));
    m_progress->setValue(percent);
}

void ControllerPanel::onProgramRead(int program, const QList<QStringList> &table)
{
    m_runner->handOver();
    m_window->showProgram(table, program);
}

void ControllerPanel::onFinished(bool ok, const QString &summary, const QStringList &details)
{
    m_runner->handOver();
    m_busy = false;
    m_progress->hide();
    updateActions();
    m_window->statusBar()->showMessage(summary);
    if (!ok) {
        m_log->setPlainText(summary + QStringLiteral(":\n") + details.join(QLatin1Char('\n')));
        m_dock->show();
    }
    emit finished(ok);
}

void ControllerPanel::connectDialog()
{
    QStringList ports{QStringLiteral("sim") + PortNote + tr("the built-in simulated controller")};
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << info.systemLocation() + PortNote + info.description();
    bool ok = false;
    const QString choice = QInputDialog::getItem(
        m_window, tr("Connect to a controller"),
        tr("Port: a serial port, sim, or tcp:HOST:PORT for a serial-to-Ethernet converter"), ports,
        0, true, &ok);
    if (ok)
        connectTo(choice.section(PortNote, 0, 0));
}

void ControllerPanel::readDialog()
{
    if (m_window->isModified() &&
        QMessageBox::question(m_window, tr("Unsaved changes"),
                              tr("Discard the changes that are not saved?")) != QMessageBox::Yes)
        return;
    bool ok = false;
    const int program = QInputDialog::getInt(m_window, tr("Read program"), tr("Program number:"),
                                             m_program, 1, 19, 1, &ok);
    if (ok)
        readProgram(program);
}

void ControllerPanel::writeDialog()
{
    bool ok = false;
    const int program = QInputDialog::getInt(m_window, tr("Write program"),
                                             tr("Program number (its contents are replaced):"),
                                             m_program, 1, 19, 1, &ok);
    if (ok)
        writeProgram(program);
}
