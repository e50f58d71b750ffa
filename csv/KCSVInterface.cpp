#include "KCSVInterface.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QTextCodec>
#include <QThread>

namespace {

const char DefaultCodecName[] = "UTF-16LE";
const char DefaultDirKey[] = "default_dir";

QTextCodec *defaultCodec()
{
    return QTextCodec::codecForName(DefaultCodecName);
}

} // namespace

KCSVInterface::KCSVInterface(QWidget *parentWidget)
    : QObject(nullptr), parentWidget(parentWidget), m_codec(defaultCodec()),
      fileFilter(tr("Text File (*.txt)"))
{
}

QTextCodec *KCSVInterface::codec() const
{
    return m_codec;
}

void KCSVInterface::setCodec(QTextCodec *codec)
{
    m_codec = codec;
}

QString KCSVInterface::delimiter() const
{
    return m_delimiter;
}

void KCSVInterface::setDelimiter(const QString &delimiter)
{
    m_delimiter = delimiter;
}

bool KCSVInterface::promptFormat() const
{
    return m_promptFormat;
}

void KCSVInterface::setPromptFormat(bool prompt)
{
    m_promptFormat = prompt;
}

void KCSVInterface::setFileType(int type)
{
    fileType = type;
    if (type == TextFile) {
        m_delimiter = QStringLiteral("\t");
        fileFilter = tr("Text File (*.txt)");
    } else if (type == CsvFile) {
        m_delimiter = QStringLiteral(",");
        fileFilter = tr("CSV File (*.csv)");
    }
}

void KCSVInterface::setDefaultCodec()
{
    m_codec = defaultCodec();
}

void KCSVInterface::setGenerateByteOrderMark(bool generate)
{
    generateByteOrderMark = generate;
}

bool KCSVInterface::confirmFormat()
{
    if (!m_promptFormat)
        return true;

    QCoreApplication *app = QCoreApplication::instance();
    if (!qobject_cast<QApplication *>(app) || QThread::currentThread() != app->thread())
        return false; // nobody can answer here; never create widgets off the GUI thread

    QString format;
    if (fileType == TextFile)
        format = tr("TXT");
    else if (fileType == CsvFile)
        format = tr("CSV");

    QMessageBox box(QMessageBox::Question, tr("Import/Export File"),
                    tr("The import/export file will process as %1 format.").arg(format),
                    QMessageBox::Ok | QMessageBox::Cancel);
    box.setInformativeText(tr("Do you want to procced?"));
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() != QMessageBox::Cancel;
}

bool KCSVInterface::isOnGuiThread() const
{
    // The caller's thread is checked too: an object left on the GUI thread but used from a worker
    // must not create widgets there.
    QCoreApplication *app = QCoreApplication::instance();
    return qobject_cast<QApplication *>(app) && thread() == app->thread() &&
           QThread::currentThread() == app->thread();
}

QString KCSVInterface::startDirectory() const
{
    // The application's own settings store; the host application names it.
    QSettings settings(QCoreApplication::organizationName(), QCoreApplication::applicationName());
    const QString stored = settings.value(QLatin1String(DefaultDirKey)).toString();
    return stored.isEmpty() ? QCoreApplication::applicationDirPath() : stored;
}

void KCSVInterface::storeDirectory(const QString &fileName) const
{
    QSettings settings(QCoreApplication::organizationName(), QCoreApplication::applicationName());
    const QString key = QLatin1String(DefaultDirKey);
    const QString directory = QFileInfo(fileName).path();
    // Writing the store costs a lock file, a sync to disk and a rename on every call; a value
    // that is already there is left alone.
    const QVariant stored = settings.value(key);
    if (stored.type() == QVariant::String && stored.toString() == directory)
        return;
    settings.setValue(key, directory);
}

QTextCodec *KCSVInterface::streamCodec() const
{
    QTextCodec *current = codec();
    return current ? current : defaultCodec();
}
