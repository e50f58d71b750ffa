#ifndef FILEDROPFILTER_H
#define FILEDROPFILTER_H

#include <QObject>

class QWidget;

// Lets a window open a file dropped on it: the window accepts a drag that carries exactly one
// local file and reports the file when it is dropped.
class FileDropFilter : public QObject
{
    Q_OBJECT
public:
    // Makes window accept file drops; the filter is a child of window.
    explicit FileDropFilter(QWidget *window);

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void fileDropped(const QString &fileName);
};

#endif
