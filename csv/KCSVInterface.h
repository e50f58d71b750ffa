#ifndef KCSVINTERFACE_H
#define KCSVINTERFACE_H

#include <QObject>
#include <QString>
#include <QVariant>

class QTextCodec;
class QWidget;

// Settings shared by the CSV reader and writer, the progress signal and the pieces of the import
// and export flows that both use (format confirmation, the GUI-thread rule, the remembered
// directory).
//
// The CSV text format: UTF-16LE with a byte-order mark (another Unicode byte-order mark at the
// start of a file decides its encoding when reading), lines ending in CR LF or LF with every
// carriage return dropped when reading, a tab between fields by default, fields holding the
// delimiter, a line feed or a double quote enclosed in double quotes with inner quotes doubled,
// and the header row first.
//
// Dialogs and message boxes appear only when the object lives on the GUI thread of a widget
// application; anywhere else the same information goes into the object's message lists.
class KCSVInterface : public QObject
{
    Q_OBJECT

public:
    enum FileType { TextFile = 0, CsvFile = 1 };

    // The QObject parent is always null; parentWidget only parents the dialogs.
    explicit KCSVInterface(QWidget *parentWidget = nullptr);

    virtual QTextCodec *codec() const;
    // A null codec is accepted; reading and writing then use UTF-16LE.
    virtual void setCodec(QTextCodec *codec);
    virtual QString delimiter() const;
    virtual void setDelimiter(const QString &delimiter);
    virtual bool promptFormat() const;
    virtual void setPromptFormat(bool prompt);

    // 0 (TextFile) selects the tab and the text filter, 1 (CsvFile) the comma and the CSV filter;
    // any other value only changes the stored type.
    void setFileType(int type);
    void setDefaultCodec();
    void setGenerateByteOrderMark(bool generate);

    // Asks "Import/Export File" when promptFormat is set; false when the user cancelled.
    // Only the GUI thread of a widget application can ask: called anywhere else with promptFormat
    // set, the confirmation counts as declined instead of creating widgets on a wrong thread.
    bool confirmFormat();

signals:
    void updateStatus(QString description, QVariant value);

protected:
    // True when this object lives on the application object's thread, is used from it, and that
    // application can show widgets (a QApplication); only then may the library show dialogs.
    bool isOnGuiThread() const;
    // The directory the file dialogs start in: "default_dir" when it holds a path, otherwise the
    // application's directory.
    QString startDirectory() const;
    // Remembers the directory part of fileName under "default_dir".
    void storeDirectory(const QString &fileName) const;
    // The codec the streams use: codec(), or UTF-16LE when that is null.
    QTextCodec *streamCodec() const;

    // The members keep the names of the format's settings; the three whose accessors carry the
    // plain name are prefixed with m_.
    QWidget *parentWidget;
    QTextCodec *m_codec;
    bool generateByteOrderMark = true;
    QString m_delimiter = QStringLiteral("\t");
    int fileType = TextFile;
    QString fileFilter;
    bool m_promptFormat = false;
};

#endif
