#include "KCSVSaver.h"

#include "CsvLogging.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>
#include <QTextStream>

namespace {

const QChar Quote = QLatin1Char('"');
const QChar LineFeed = QLatin1Char('\n');
const QChar CarriageReturn = QLatin1Char('\r');

// Appends text with every line feed written as CR LF, as a text-mode device on the Windows target
// stores it; a carriage return already in front of a line feed is kept, as that target does.
void appendWithCrLf(QString &out, const QString &text)
{
    for (const QChar ch : text) {
        if (ch == LineFeed)
            out.append(CarriageReturn);
        out.append(ch);
    }
}

} // namespace

KCSVSaver::KCSVSaver(QWidget *parentWidget) : KCSVInterface(parentWidget) {}

QStringList KCSVSaver::errorMessageList()
{
    return errors;
}

bool KCSVSaver::saveFile(QList<QStringList> datas, QString fileName)
{
    if (!confirmFormat()) {
        errors.append(tr("User canceled operation."));
        return false;
    }

    errors.clear();

    if (fileName.isEmpty()) {
        if (!isOnGuiThread()) {
            errors.append(tr("The file name is empty."));
            return false;
        }
        fileName = QFileDialog::getSaveFileName(parentWidget, tr("Export File"), startDirectory(),
                                                fileFilter);
        if (fileName.isEmpty())
            return false;
    }

    // Remembered before opening, so a failed save still points the next dialog there.
    storeDirectory(fileName);

    // Binary mode: the line ends are written as CR LF below on every platform.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcCsv) << "cannot open" << fileName << "for writing:" << file.errorString();
        reportOpenFailure();
        return false;
    }

    {
        // Nothing reaches the stream for a table without cells, so not even the byte-order mark
        // is written and the file ends up empty.
        QTextStream stream(&file);
        stream.setCodec(streamCodec());
        stream.setGenerateByteOrderMark(generateByteOrderMark);

        const QString delim = delimiter();
        QString line;
        QString fileText;
        for (const QStringList &row : qAsConst(datas)) {
            if (row.isEmpty())
                continue;
            line.clear();
            for (int k = 0; k < row.size(); ++k) {
                if (k > 0)
                    line += delim;
                line += encodeCell(row.at(k), delim);
            }
            line += LineFeed;
            fileText.clear();
            appendWithCrLf(fileText, line);
            stream << fileText;
        }
        stream.flush();
    }

    // Only a complete file replaces the previous one; a failed commit (a full disk, say) leaves it
    // as it was and is reported like a file that could not be opened.
    if (!file.commit()) {
        qCWarning(lcCsv) << "cannot write" << fileName << ":" << file.errorString();
        reportOpenFailure();
        return false;
    }
    return true;
}

QString KCSVSaver::encodeCell(const QString &cell, const QString &delimiter) const
{
    const bool needsQuotes =
        cell.contains(LineFeed) || cell.contains(delimiter) || cell.contains(Quote);
    if (!needsQuotes)
        return cell;

    QString quoted;
    quoted.reserve(cell.size() + 2);
    quoted.append(Quote);
    for (const QChar ch : cell) {
        quoted.append(ch);
        if (ch == Quote)
            quoted.append(Quote);
    }
    quoted.append(Quote);
    return quoted;
}

void KCSVSaver::reportOpenFailure()
{
    if (isOnGuiThread()) {
        QMessageBox::warning(parentWidget, tr("File cannot be opened."),
                             tr("File cannot be opened."), QMessageBox::Ok);
    } else {
        errors.append(tr("File cannot be opened."));
    }
}
