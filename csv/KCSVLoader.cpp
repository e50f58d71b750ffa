#include "KCSVLoader.h"

#include "CsvLogging.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringView>
#include <QTextStream>
#include <QVector>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

const QChar Quote = QLatin1Char('"');
// Characters taken from the stream at a time while the file is read.
const int ReadSlice = 256 * 1024;

// A quoted field is complete once it ends in a quote, is at least two characters long and holds an
// even number of quotes; the count is kept by the caller so the growing field is never rescanned.
bool isClosedField(QStringView field, qsizetype quotes)
{
    return field.size() >= 2 && field.back() == Quote && quotes % 2 == 0;
}

// Drops the enclosing quotes and turns every doubled quote into one, in a single pass.
QString unquoteField(QStringView field)
{
    QString cell;
    cell.reserve(int(field.size()) - 2);
    const QChar *ch = field.data() + 1;
    const QChar *end = field.data() + field.size() - 1;
    while (ch < end) {
        cell.append(*ch);
        if (*ch == Quote && ch + 1 < end && ch[1] == Quote)
            ++ch;
        ++ch;
    }
    return cell;
}

qsizetype countQuotes(QStringView text)
{
    return std::count(text.begin(), text.end(), Quote);
}

// A piece of the decoded text: where it starts and how many characters it holds.
struct Span
{
    int start;
    int size;
};

// Index of the first delimiter at or after from in line, -1 if there is none; an empty delimiter
// is found at every position up to the end of the line, as QString::split() finds it.
int findDelimiter(QStringView line, int from, QStringView delimiter)
{
    if (delimiter.isEmpty())
        return from <= line.size() ? from : -1;
    if (delimiter.size() == 1) {
        const QChar d = delimiter.front();
        const QChar *begin = line.data();
        for (const QChar *ch = begin + from, *end = begin + line.size(); ch < end; ++ch) {
            if (*ch == d)
                return int(ch - begin);
        }
        return -1;
    }
    return int(line.indexOf(delimiter, from, Qt::CaseSensitive));
}

// Cuts the line that starts at lineStart in the text at the delimiter, keeping empty pieces,
// exactly as QString::split() with Qt::KeepEmptyParts does, but without building the pieces.
void splitLine(QStringView line, int lineStart, QStringView delimiter, QVector<Span> &pieces)
{
    pieces.clear();
    const int step = delimiter.size();
    int start = 0;
    int extra = 0;
    int end;
    while ((end = findDelimiter(line, start + extra, delimiter)) != -1) {
        pieces.append({lineStart + start, end - start});
        start = end + step;
        extra = step == 0 ? 1 : 0;
    }
    pieces.append({lineStart + start, int(line.size()) - start});
}

// A cell of the row; an empty piece is an empty, not a null, string, as QString::split() makes it.
QString cellOf(QStringView piece)
{
    return piece.isEmpty() ? QString(QLatin1String("")) : piece.toString();
}

// The last few distinct values seen in one column. Columns of a program file hold a handful of
// values ("----", small numbers) over and over; a cell equal to one of them shares that string
// instead of allocating a copy, which saves most of the allocations and memory of a large load.
class RecentCells
{
public:
    // The cell for a non-empty piece; the reference stays valid until the next call.
    const QString &cell(QStringView piece)
    {
        const qsizetype size = piece.size();
        // The value that matched last is the likeliest, usually the cell right above.
        for (int k = 0; k < Size; ++k) {
            const int slot = (last + k) % Size;
            const QString &known = values[slot];
            if (known.size() == size &&
                std::memcmp(known.constData(), piece.data(), size_t(size) * sizeof(QChar)) == 0) {
                last = slot;
                return known;
            }
        }
        last = next;
        next = (next + 1) % Size;
        values[last] = piece.toString();
        return values[last];
    }

private:
    static constexpr int Size = 8;
    QString values[Size];
    int last = 0;
    int next = 0;
};

// Columns beyond this many make their cells without looking for an equal one, so that a line of
// a million delimiters does not bring a million caches with it.
constexpr size_t MaxRecentColumns = 1024;

// The piece of text that span marks.
QStringView textOf(QStringView text, Span span)
{
    return text.mid(span.start, span.size);
}

// The whole text of the stream, decoded in one go; the stream drops every carriage return, as it
// does line by line.
QString readText(QTextStream &stream)
{
    QString text;
    if (const QIODevice *device = stream.device()) {
        // Room for a UTF-16 file (two bytes a character); other encodings grow the text as needed.
        const qint64 bytes = device->size() - device->pos();
        if (bytes > 0 && bytes < std::numeric_limits<int>::max())
            text.reserve(int(bytes / 2 + 1));
    }
    // Read in slices so that the stream's own buffer stays small; nothing is lost between them.
    while (!stream.atEnd())
        text += stream.read(ReadSlice);
    return text;
}

// The lines of text, cut at each line feed, which is not part of its line; the last line needs no
// line feed.
QVector<Span> cutLines(const QString &text)
{
    QVector<Span> lines;
    const QChar *begin = text.constData();
    const QChar *end = begin + text.size();
    const QChar *start = begin;
    for (const QChar *ch = begin; ch < end; ++ch) {
        if (*ch == QLatin1Char('\n')) {
            lines.append({int(start - begin), int(ch - start)});
            start = ch + 1;
        }
    }
    if (start < end)
        lines.append({int(start - begin), int(end - start)});
    return lines;
}

// The number of cells line holds when cut at delimiter.
int cellCount(QStringView line, QStringView delimiter)
{
    QVector<Span> pieces;
    splitLine(line, 0, delimiter, pieces);
    return pieces.size();
}

// Where the parse of the rows stands: the decoded text, its lines, the delimiter of this load and
// the line being read. The pieces of that line are kept apart: the cutting takes their address,
// so the compiler can keep a cursor whose address is never taken in registers while the cells
// are made.
struct RowCursor
{
    QStringView text;
    const QVector<Span> &lines;
    QStringView delimiter;
    int line;
};

// Cuts the cursor's line into pieces.
inline void splitCurrentLine(const RowCursor &at, QVector<Span> &pieces)
{
    const Span line = at.lines.at(at.line);
    splitLine(textOf(at.text, line), line.start, at.delimiter, pieces);
}

// Appends the cell of an unquoted piece, shared with an equal recent cell of its column.
void appendPlainCell(QStringList &row, QStringView piece, std::vector<RecentCells> &recent)
{
    const size_t column = size_t(row.size());
    if (piece.isEmpty() || column >= MaxRecentColumns) {
        row.append(cellOf(piece));
        return;
    }
    if (column >= recent.size())
        recent.resize(column + 1);
    row.append(recent[column].cell(piece));
}

// Appends the quoted field that opens with piece j of the cursor's line, taking further pieces and
// lines until it is closed; j, pieces and the cursor end at its last piece. False when the text
// ends first.
bool appendQuotedField(QStringList &row, RowCursor &at, QVector<Span> &pieces, int &j)
{
    // The pieces of a quoted field, with the delimiters and line feeds between them, lie next to
    // each other in the text: the field is the text from its first piece to the last one taken,
    // so nothing is copied until the cell is made.
    const int fieldStart = pieces.at(j).start;
    auto fieldUpTo = [&](const Span &last) {
        return at.text.mid(fieldStart, last.start + last.size - fieldStart);
    };
    qsizetype quotes = countQuotes(textOf(at.text, pieces.at(j)));
    while (!isClosedField(fieldUpTo(pieces.at(j)), quotes)) {
        if (j + 1 < pieces.size()) {
            ++j;
            quotes += countQuotes(textOf(at.text, pieces.at(j)));
            continue;
        }
        // The field goes on in the next line, whose remaining pieces follow it.
        if (at.line + 1 >= at.lines.size())
            return false;
        ++at.line;
        splitCurrentLine(at, pieces);
        j = 0;
        quotes += countQuotes(textOf(at.text, pieces.at(0)));
    }
    row.append(unquoteField(fieldUpTo(pieces.at(j))));
    return true;
}

// Reads the row that starts at the cursor's line into row; the cursor ends at the last line the
// row used. False when a quoted field is still open at the end of the text.
bool readRow(RowCursor &at, QVector<Span> &pieces, std::vector<RecentCells> &recent,
             QStringList &row)
{
    splitCurrentLine(at, pieces);
    row.reserve(pieces.size());
    for (int j = 0; j < pieces.size(); ++j) {
        const QStringView piece = textOf(at.text, pieces.at(j));
        if (piece.isEmpty() || piece.front() != Quote)
            appendPlainCell(row, piece, recent);
        else if (!appendQuotedField(row, at, pieces, j))
            return false;
    }
    return true;
}

} // namespace

KCSVLoader::KCSVLoader(QWidget *parentWidget) : KCSVInterface(parentWidget) {}

QStringList KCSVLoader::errorMessageList()
{
    return errors;
}

QStringList KCSVLoader::warningMessageList()
{
    return warnings;
}

bool KCSVLoader::openFile(QString fileName)
{
    if (!confirmFormat()) {
        errors.append(tr("User canceled operation."));
        return false;
    }

    errors.clear();
    warnings.clear();

    if (fileName.isEmpty()) {
        if (!isOnGuiThread()) {
            status = NoFileName;
            errors.append(tr("The file name is empty."));
            return false;
        }
        fileName = QFileDialog::getOpenFileName(parentWidget, tr("Import File"), startDirectory(),
                                                fileFilter);
        if (fileName.isEmpty()) {
            status = OpenFailed;
            return false;
        }
    }

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qCWarning(lcCsv) << "cannot open" << fileName << "for reading:" << file.errorString();
        status = OpenFailed;
        return false;
    }
    storeDirectory(fileName);

    // Text mode: the stream drops every carriage return after decoding. Automatic Unicode
    // detection stays on, so a byte-order mark of another Unicode encoding overrides the codec.
    QTextStream stream(&file);
    stream.setCodec(streamCodec());
    readContent(stream, errors, warnings);

    if (!errors.isEmpty()) {
        if (isOnGuiThread()) {
            QStringList entries;
            for (int k = 0; k < errors.size(); ++k)
                entries.append(QString::number(k + 1) + QLatin1String(". ") + errors.at(k));
            QMessageBox box(QMessageBox::Warning, tr("File Format Error."),
                            entries.join(QLatin1Char('\n')), QMessageBox::Ok);
            box.exec();
        }
        status = FormatError;
    }
    // A parse that failed without warnings ends as Loaded: callers must rely on the result.
    if (warnings.isEmpty())
        status = Loaded;
    return errors.isEmpty();
}

QList<QStringList> KCSVLoader::loadedData()
{
    switch (status) {
    case NoFileName:
        report(tr("File cannot be loaded."), tr("Please select a file."));
        return {};
    case OpenFailed:
        report(tr("File cannot be opened."), tr("Please select the right file."));
        return {};
    case FormatError:
        report(tr("File cannot be loaded."), tr("Please check file format."));
        return {};
    case DelimiterReplaced:
    case ColumnMismatch: {
        QString text;
        if (delimiterReplaced)
            text = tr("The file format has been modified. We strongly recommend you to export the "
                      "file again after final edits.") +
                   QLatin1Char('\n');
        text += warnings.value(0);
        if (warnings.size() >= 2)
            text += QLatin1Char('\n') + warnings.at(1);
        if (warnings.size() > 2)
            text += QLatin1String("\n...");
        report(tr("Warning: Incorrect File Format"), text);
        return rows;
    }
    default:
        return rows;
    }
}

void KCSVLoader::report(const QString &title, const QString &text)
{
    if (isOnGuiThread()) {
        QMessageBox::information(parentWidget, title, text, QMessageBox::Ok);
    } else {
        errors.append(title);
        errors.append(text);
    }
}

void KCSVLoader::readContent(QTextStream &stream, QStringList &errors, QStringList &warnings)
{
    // All lines first: the lines stay pieces of the one decoded text.
    const QString text = readText(stream);
    const QVector<Span> lines = cutLines(text);
    const int lineCount = lines.size();
    if (lineCount < 2) {
        errors.append(tr("No content found in the imported file."));
        return;
    }
    emit updateStatus(QStringLiteral("total lines"), lineCount);

    rows.clear();
    rows.reserve(lineCount);
    // A replacement chosen by the header check applies to this load only.
    QString delim = delimiter();
    int headerCount = 0;
    if (!readHeaderCount(textOf(text, lines.at(0)), errors, delim, headerCount))
        return;

    RowCursor at{text, lines, delim, 0};
    QVector<Span> pieces;
    std::vector<RecentCells> recent;
    while (at.line < lineCount) {
        if (lines.at(at.line).size == 0) {
            ++at.line;
            continue;
        }
        QStringList row;
        if (!readRow(at, pieces, recent, row)) {
            errors.append(tr("Format error at line %1").arg(at.line + 2));
            return;
        }
        // at.line is the last line this row used; the header's own line is never compared.
        if (at.line >= 1 && row.size() != headerCount)
            fitToHeader(row, at.line + 1, headerCount, warnings);
        rows.append(row);
        ++at.line;
        emit updateStatus(QStringLiteral("current line"), at.line);
    }
}

bool KCSVLoader::readHeaderCount(QStringView header, QStringList &errors, QString &delimiter,
                                 int &headerCount)
{
    const QString firstLine = header.toString();
    headerCount = cellCount(firstLine, delimiter);
    if (firstLine.size() / 5 > headerCount) {
        if (checkHeaderDelimiter(firstLine, errors, delimiter))
            return false;
    }
    if (delimiterReplaced)
        headerCount = cellCount(firstLine, delimiter);
    return true;
}

void KCSVLoader::fitToHeader(QStringList &row, int lineNumber, int headerCount,
                             QStringList &warnings)
{
    status = ColumnMismatch;
    if (row.size() > headerCount) {
        warnings.append(tr("Line %1 is %2 columns more of header.")
                            .arg(lineNumber)
                            .arg(row.size() - headerCount));
    } else {
        const int added = headerCount - row.size();
        for (int k = 0; k < added; ++k)
            row.append(QString());
        warnings.append(tr("Line %1 is %2 columns short of header.").arg(lineNumber).arg(added));
    }
}

bool KCSVLoader::checkHeaderDelimiter(const QString &line, QStringList &errors, QString &delimiter)
{
    const int d = line.indexOf(delimiter);
    const int q1 = line.indexOf(Quote);
    const int q2 = q1 < 0 ? -1 : line.indexOf(Quote, q1 + 1);
    // One character compared with the whole delimiter: only a one-character delimiter can match.
    auto isDelimiterAt = [&](int index) {
        return index >= 0 && index < line.size() && QString(line.at(index)) == delimiter;
    };

    bool plausible;
    if (d < 0) {
        plausible = false;
    } else if (q1 < 0) {
        plausible = true;
    } else if (d <= q1) {
        plausible = false;
    } else if (d >= q2) {
        plausible = q2 + 1 == d;
    } else if (q1 > 0) {
        plausible = isDelimiterAt(q2 + 1) || isDelimiterAt(q1 - 1);
    } else {
        // The line opens with a quoted field that holds the delimiter: it is the first header
        // cell, as the saver writes it, when the delimiter or the line end follows its closing
        // quote.
        plausible = q2 + 1 == line.size() || isDelimiterAt(q2 + 1);
    }
    if (plausible)
        return false;

    delimiterReplaced = detectDelimiter(delimiter, line);
    if (delimiterReplaced) {
        status = DelimiterReplaced;
        return false;
    }
    errors.append(tr("File format error.") + QLatin1Char('\n') + tr("Cannot detect delimiter."));
    return true;
}

bool KCSVLoader::detectDelimiter(QString &delimiter, const QString &line)
{
    const QString current = this->delimiter();
    for (const QChar candidate : {QLatin1Char('\t'), QLatin1Char(',')}) {
        if (current == QString(candidate))
            continue;
        if (line.count(candidate) >= 2) {
            delimiter = QString(candidate);
            return true;
        }
    }
    return false;
}
