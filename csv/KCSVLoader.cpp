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
    // All lines first: the text is decoded in one go (the stream drops every carriage return, as
    // it does line by line) and cut at each line feed, which is not part of its line; the last
    // line needs no line feed. The lines stay pieces of that one text.
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
    const QStringView all(text);
    QVector<Span> lines;
    {
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
    }
    auto lineAt = [&](int index) {
        const Span line = lines.at(index);
        return all.mid(line.start, line.size);
    };

    if (lines.size() < 2) {
        errors.append(tr("No content found in the imported file."));
        return;
    }
    emit updateStatus(QStringLiteral("total lines"), lines.size());

    rows.clear();
    rows.reserve(lines.size());

    // A replacement chosen by the header check applies to this load only.
    QString delim = delimiter();
    QVector<Span> pieces;
    const QString firstLine = lineAt(0).toString();
    splitLine(firstLine, 0, delim, pieces);
    int headerCount = pieces.size();
    if (firstLine.size() / 5 > headerCount) {
        if (checkHeaderDelimiter(firstLine, errors, delim))
            return;
    }
    if (delimiterReplaced) {
        splitLine(firstLine, 0, delim, pieces);
        headerCount = pieces.size();
    }

    auto pieceAt = [&](int index) {
        const Span piece = pieces.at(index);
        return all.mid(piece.start, piece.size);
    };
    const int lineCount = lines.size();
    std::vector<RecentCells> recent;
    int i = 0;
    while (i < lineCount) {
        if (lines.at(i).size == 0) {
            ++i;
            continue;
        }

        splitLine(lineAt(i), lines.at(i).start, delim, pieces);
        QStringList row;
        row.reserve(pieces.size());
        for (int j = 0; j < pieces.size(); ++j) {
            const QStringView piece = pieceAt(j);
            if (piece.isEmpty() || piece.front() != Quote) {
                const size_t column = size_t(row.size());
                if (piece.isEmpty() || column >= MaxRecentColumns) {
                    row.append(cellOf(piece));
                    continue;
                }
                if (column >= recent.size())
                    recent.resize(column + 1);
                row.append(recent[column].cell(piece));
                continue;
            }

            // The pieces of a quoted field, with the delimiters and line feeds between them, lie
            // next to each other in the text: the field is the text from its first piece to the
            // last one taken, so nothing is copied until the cell is made.
            const int fieldStart = pieces.at(j).start;
            auto fieldUpTo = [&](const Span &last) {
                return all.mid(fieldStart, last.start + last.size - fieldStart);
            };
            qsizetype quotes = countQuotes(piece);
            while (!isClosedField(fieldUpTo(pieces.at(j)), quotes)) {
                if (j + 1 < pieces.size()) {
                    ++j;
                    quotes += countQuotes(pieceAt(j));
                    continue;
                }
                // The field goes on in the next line, whose remaining pieces follow it.
                if (i + 1 >= lineCount) {
                    errors.append(tr("Format error at line %1").arg(i + 2));
                    return;
                }
                ++i;
                splitLine(lineAt(i), lines.at(i).start, delim, pieces);
                j = 0;
                quotes += countQuotes(pieceAt(0));
            }
            row.append(unquoteField(fieldUpTo(pieces.at(j))));
        }

        // i is the last line this row used; the header's own line is never compared.
        if (i >= 1 && row.size() != headerCount) {
            status = ColumnMismatch;
            if (row.size() > headerCount) {
                warnings.append(tr("Line %1 is %2 columns more of header.")
                                    .arg(i + 1)
                                    .arg(row.size() - headerCount));
            } else {
                const int added = headerCount - row.size();
                for (int k = 0; k < added; ++k)
                    row.append(QString());
                warnings.append(tr("Line %1 is %2 columns short of header.").arg(i + 1).arg(added));
            }
        }
        rows.append(row);
        ++i;
        emit updateStatus(QStringLiteral("current line"), i);
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
