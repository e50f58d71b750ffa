#include "ModalResponder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

ModalResponder::ModalResponder(int watchdogMs)
{
    connect(&m_poll, &QTimer::timeout, this, &ModalResponder::poll);
    m_poll.start(10);
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, [this] { m_watchdogFired = true; });
    m_watchdog.start(watchdogMs);
}

ModalResponder::Action ModalResponder::click(QMessageBox::StandardButton button)
{
    return [button](QWidget *widget) {
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->button(button))
            box->button(button)->click();
        else if (auto *dialog = qobject_cast<QDialog *>(widget))
            dialog->reject();
    };
}

ModalResponder::Action ModalResponder::pressEscape()
{
    return [](QWidget *widget) { QTest::keyClick(widget, Qt::Key_Escape); };
}

ModalResponder::Action ModalResponder::chooseFile(const QString &path)
{
    return [path](QWidget *widget) {
        if (auto *dialog = qobject_cast<QFileDialog *>(widget)) {
            // Typed like a user would: selectFile() leaves a focused name field untouched.
            if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                edit->setText(path);
            static_cast<QDialog *>(dialog)->accept(); // public in QDialog
        } else if (auto *other = qobject_cast<QDialog *>(widget)) {
            other->reject();
        }
    };
}

ModalResponder::Action ModalResponder::cancel()
{
    return [](QWidget *widget) {
        if (auto *dialog = qobject_cast<QDialog *>(widget))
            dialog->reject();
        else
            widget->close();
    };
}

void ModalResponder::poll()
{
    QWidget *widget = QApplication::activeModalWidget();
    if (!widget || !widget->isVisible())
        return;
    if (m_watchdogFired) {
        cancel()(widget);
        return;
    }
    for (const QPointer<QWidget> &done : qAsConst(m_handled)) {
        if (done == widget)
            return;
    }
    m_handled.append(widget);

    SeenModal seen;
    seen.title = widget->windowTitle();
    seen.parent = widget->parentWidget();
    if (auto *box = qobject_cast<QMessageBox *>(widget)) {
        seen.kind = QStringLiteral("QMessageBox");
        seen.text = box->text();
        seen.informativeText = box->informativeText();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        seen.defaultButton = box->standardButton(box->defaultButton());
    } else if (auto *dialog = qobject_cast<QFileDialog *>(widget)) {
        seen.kind = QStringLiteral("QFileDialog");
        seen.directory = dialog->directory().absolutePath();
        seen.nameFilters = dialog->nameFilters();
        seen.acceptMode = dialog->acceptMode();
    } else {
        seen.kind = QString::fromLatin1(widget->metaObject()->className());
    }
    m_seen.append(seen);

    if (m_actions.isEmpty())
        cancel()(widget);
    else
        m_actions.takeFirst()(widget);
}
