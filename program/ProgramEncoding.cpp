#include "ProgramEncoding.h"

#include <QStringList>
#include <QTextCodec>

namespace {

// Zero bytes at even and at odd offsets among the first bytes: text of ASCII characters in
// UTF-16 has one zero in every pair, on the side its byte order puts the high byte.
void countZeros(const QByteArray &head, int &even, int &odd)
{
    even = odd = 0;
    const int size = qMin(head.size(), 4096) & ~1;
    for (int i = 0; i < size; ++i) {
        if (head.at(i) == 0)
            (i % 2 == 0 ? even : odd)++;
    }
}

bool isAscii(const QByteArray &head)
{
    for (const char c : head) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool isUtf8(const QByteArray &head)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(head.constData(), head.size(), &state);
    // A sequence cut at the end of head is still UTF-8.
    return state.invalidChars == 0;
}

// The name iconv knows the encoding by, for the conversion hint.
QString iconvName(ProgramEncoding::Encoding encoding)
{
    switch (encoding) {
    case ProgramEncoding::Encoding::Utf16BeNoBom:
        return QStringLiteral("UTF-16BE");
    case ProgramEncoding::Encoding::Utf32:
        return QStringLiteral("UTF-32");
    case ProgramEncoding::Encoding::EightBit:
        return QStringLiteral("WINDOWS-1252");
    default:
        return QStringLiteral("UTF-8");
    }
}

} // namespace

ProgramEncoding::Encoding ProgramEncoding::detect(const QByteArray &head)
{
    if (head.isEmpty())
        return Encoding::Empty;
    if (head.startsWith(QByteArray("\xFF\xFE\x00\x00", 4)) ||
        head.startsWith(QByteArray("\x00\x00\xFE\xFF", 4)))
        return Encoding::Utf32;
    if (head.startsWith("\xFF\xFE"))
        return Encoding::Utf16Le;
    if (head.startsWith("\xFE\xFF"))
        return Encoding::Utf16Be;
    if (head.startsWith("\xEF\xBB\xBF"))
        return Encoding::Utf8Bom;
    int even = 0;
    int odd = 0;
    countZeros(head, even, odd);
    const int pairs = qMin(head.size(), 4096) / 2;
    if (pairs > 0 && odd * 2 > pairs && even < odd)
        return Encoding::Utf16Le;
    if (pairs > 0 && even * 2 > pairs && odd < even)
        return Encoding::Utf16BeNoBom;
    if (isAscii(head))
        return Encoding::Ascii;
    return isUtf8(head) ? Encoding::Utf8 : Encoding::EightBit;
}

bool ProgramEncoding::isProgramEncoding(Encoding encoding)
{
    return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be;
}

QString ProgramEncoding::name(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Empty:
        return QStringLiteral("empty");
    case Encoding::Utf16Le:
        return QStringLiteral("UTF-16");
    case Encoding::Utf16Be:
        return QStringLiteral("UTF-16 big-endian");
    case Encoding::Utf16BeNoBom:
        return QStringLiteral("UTF-16 big-endian without a byte-order mark");
    case Encoding::Utf32:
        return QStringLiteral("UTF-32");
    case Encoding::Utf8Bom:
        return QStringLiteral("UTF-8 with a byte-order mark");
    case Encoding::Utf8:
        return QStringLiteral("UTF-8 without a byte-order mark");
    case Encoding::Ascii:
        return QStringLiteral("plain ASCII text (8-bit, not UTF-16)");
    case Encoding::EightBit:
        return QStringLiteral("8-bit text such as Latin-1 or Windows-1252");
    }
    return QString();
}

QStringList ProgramEncoding::advice(Encoding encoding, const QString &fileName)
{
    if (encoding == Encoding::Empty || isProgramEncoding(encoding))
        return {};
    return {QStringLiteral("%1 is %2, but a program file is UTF-16 text.")
                .arg(fileName, name(encoding)),
            QStringLiteral("Save it from the spreadsheet as \"Unicode text\" (UTF-16, separated by "
                           "tabs), or convert it with: iconv -f %1 -t UTF-16 %2 > PROG_<N>.txt")
                .arg(iconvName(encoding), fileName)};
}
