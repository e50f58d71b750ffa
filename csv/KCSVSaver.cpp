#include "KCSVSaver.h"

#include "CsvLogging.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>
#include <QTextCodec>

namespace {

const QChar Quote = QLatin1Char('"');
const QChar LineFeed = QLatin1Char('\n');
const QChar CarriageReturn = QLatin1Char('\r');
// Characters collected before they are encoded and written.
const int ChunkSize = 64 * 1024;

// Appends text with every line feed written as CR LF, as a text-mode device on the Windows target
// stores it; a carriage return already in front of a line feed is kept, as that target does.
// In a quoted cell every double quote is doubled as well.
void appendCellText(QString &out, const QChar *begin, const QChar *end, bool quoted)
{
    const QChar *run = begin;
    for (const QChar *ch = begin; ch < end; ++ch) {
        if (*ch == LineFeed) {
            out.append(run, int(ch - run));
            out.append(CarriageReturn);
            run = ch; // the line feed itself starts the next run
        } else if (quoted && *ch == Quote) {
            out.append(run, int(ch + 1 - run));
            out.append(Quote);
            run = ch + 1;
        }
    }
    out.append(run, int(end - run));
}

// Where the next slice of a long cell ends: at most ChunkSize characters on, never between the
// two halves of a surrogate pair, so that every codec sees whole characters.
const QChar *sliceEnd(const QChar *from, const QChar *end)
{
    if (end - from <= ChunkSize)
        return end;
    const QChar *cut = from + ChunkSize;
    return cut[-1].isHighSurrogate() ? cut + 1 : cut;
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
    if (file.open(QIODevice::WriteOnly)) {
        // Only a complete file replaces the previous one; a failed commit (a full disk, say)
        // leaves it as it was and is reported like a file that could not be opened.
        // commit() does not see a failure of the final flush (a full disk, say): checked here.
        if (!writeRows(file, datas) || !file.flush())
            file.cancelWriting();
        if (file.commit())
            return true;
    } else if (QFileInfo(fileName).isFile() && QFileInfo(fileName).isWritable()) {
        // A directory that takes no new file (a shared folder the user may not write, holding a
        // file the user may) leaves no room for the temporary file: the file is then written in
        // place, which beats refusing a save the user is allowed to make.
        QFile direct(fileName);
        if (direct.open(QIODevice::WriteOnly | QIODevice::Truncate) && writeRows(direct, datas) &&
            direct.flush()) {
            direct.close();
            return direct.error() == QFileDevice::NoError;
        }
    }
    qCWarning(lcCsv) << "cannot write" << fileName << ":" << file.errorString();
    reportOpenFailure();
    return false;
}

// The rows are encoded here rather than through a text stream, which would swallow a short
// write: every write is checked. Nothing is encoded for a table without cells, so not even the
// byte-order mark is written and the file ends up empty.
bool KCSVSaver::writeRows(QIODevice &file, const QList<QStringList> &datas)
{
    QTextEncoder encoder(streamCodec(), generateByteOrderMark ? QTextCodec::DefaultConversion
                                                              : QTextCodec::IgnoreHeader);
    bool written = true;
    QString chunk;
    chunk.reserve(ChunkSize + 1024);
    auto writeChunk = [&] {
        if (chunk.isEmpty())
            return;
        const QByteArray bytes = encoder.fromUnicode(chunk);
        written = file.write(bytes) == bytes.size();
        chunk.resize(0); // keeps the buffer for the next chunk
    };

    const QString delim = delimiter();
    QString delimInFile;
    appendCellText(delimInFile, delim.constData(), delim.constData() + delim.size(), false);
    for (const QStringList &row : datas) {
        if (row.isEmpty())
            continue;
        for (int k = 0; k < row.size() && written; ++k) {
            if (k > 0)
                chunk += delimInFile;
            const QString &cell = row.at(k);
            const bool quoted = needsQuotes(cell, delim);
            if (quoted)
                chunk += Quote;
            // A long cell goes out in slices, so the text waiting to be written stays small
            // whatever the cell's size.
            const QChar *end = cell.constData() + cell.size();
            for (const QChar *from = cell.constData(); from < end && written;) {
                const QChar *to = sliceEnd(from, end);
                if (quoted)
                    appendCellText(chunk, from, to, true);
                else
                    chunk.append(from, int(to - from)); // holds no line feed
                from = to;
                if (chunk.size() >= ChunkSize)
                    writeChunk();
            }
            if (quoted)
                chunk += Quote;
        }
        if (!written)
            return false;
        chunk += QLatin1String("\r\n");
        if (chunk.size() >= ChunkSize)
            writeChunk();
    }
    if (written)
        writeChunk();
    if (!written)
        qCWarning(lcCsv) << "cannot write:" << file.errorString();
    return written;
}

bool KCSVSaver::needsQuotes(const QString &cell, const QString &delimiter)
{
    if (delimiter.size() != 1)
        return cell.contains(LineFeed) || cell.contains(delimiter) || cell.contains(Quote);
    // One pass for the usual one-character delimiter.
    const QChar d = delimiter.at(0);
    for (const QChar ch : cell) {
        if (ch == LineFeed || ch == d || ch == Quote)
            return true;
    }
    return false;
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
