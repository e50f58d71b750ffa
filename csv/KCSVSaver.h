#ifndef KCSVSAVER_H
#define KCSVSAVER_H

#include "KCSVInterface.h"

#include <QIODevice>
#include <QList>
#include <QStringList>

// Writes a table of rows as a CSV text file that KCSVLoader reads back: cells joined by the
// delimiter, a cell holding a line feed, the delimiter or a double quote enclosed in double quotes
// with inner quotes doubled, rows ending in CR LF. Every line feed reaches the file as CR LF, also
// inside quoted cells, so the bytes are the same on every platform.
//
// The file is written to a temporary file and renamed over the target only when everything was
// written: a crash or a full disk leaves the previous file intact. Only where the directory takes
// no new file but the file itself is writable is it written in place.
class KCSVSaver : public KCSVInterface
{
    Q_OBJECT

public:
    explicit KCSVSaver(QWidget *parentWidget = nullptr);

public slots:
    QStringList errorMessageList();
    // Writes datas to fileName, or asks for a name on the GUI thread when it is empty. True when
    // the complete file is in place.
    bool saveFile(QList<QStringList> datas, QString fileName = QString());

private:
    // Encodes and writes datas to file; true when every byte was taken.
    bool writeRows(QIODevice &file, const QList<QStringList> &datas);
    // True when the cell holds a line feed, the delimiter or a double quote and is written quoted.
    static bool needsQuotes(const QString &cell, const QString &delimiter);
    // Warning box on the GUI thread, otherwise an entry in the error list.
    void reportOpenFailure();

    QStringList errors;
};

#endif
