#ifndef MESSAGECENTER_H
#define MESSAGECENTER_H

#include <QObject>
#include <QString>
#include <QStringList>

#include <mutex>

// The host's message centre as the plugin finds it through the application property
// "MessageCenter": the plugin's worker connects its showMessage signal to showMessageAsync, so
// the slot runs in this object's thread (the main thread) while the tool keeps count of the
// reports; a transfer that produced one did not end cleanly.
class MessageCenter : public QObject
{
    Q_OBJECT
public:
    explicit MessageCenter(QObject *parent = nullptr);

    int reportCount() const;
    QStringList reports() const;

public slots:
    // Prints "<source>: <text>" ("DCP30: ..." for the plugin) on stderr.
    void showMessageAsync(QString source, QString text, bool flag);

private:
    mutable std::mutex m_lock;
    QStringList m_reports;
};

#endif
