#include "ErrorLog.h"

#include "TransferLogging.h"

#include <QSaveFile>

// Lines end with CR LF, as on the controller's engineering PCs, so a log reads the same
// everywhere.
bool ErrorLog::write(const QString &fileName, const QStringList &lines)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcTransfer) << "cannot create error log" << fileName << file.errorString();
        return false;
    }
    QString text = lines.join(QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qCWarning(lcTransfer) << "cannot write error log" << fileName << file.errorString();
        return false;
    }
    return true;
}
