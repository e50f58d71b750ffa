#ifndef PROGRAMENCODING_H
#define PROGRAMENCODING_H

#include <QByteArray>
#include <QString>

// The text encoding of a program CSV file, judged from its first bytes. Program files are UTF-16
// text; the loader reads anything else as UTF-16 little-endian and finds a single garbled line
// ("No content found"), so a file in another encoding is named for what it is instead.
class ProgramEncoding
{
public:
    enum class Encoding {
        Empty,        // no bytes at all
        Utf16Le,      // byte-order mark FF FE, or none and the zero bytes of little-endian text
        Utf16Be,      // byte-order mark FE FF
        Utf16BeNoBom, // no byte-order mark and the zero bytes of big-endian text
        Utf32,        // a UTF-32 byte-order mark
        Utf8Bom,      // byte-order mark EF BB BF
        Utf8,         // no byte-order mark, valid UTF-8 with characters beyond ASCII
        Ascii,        // no byte-order mark, nothing beyond 7-bit ASCII
        EightBit      // no byte-order mark and not UTF-8: Latin-1, Windows-1252 and the like
    };

    // The encoding of a file that begins with head (a few kilobytes are plenty).
    static Encoding detect(const QByteArray &head);
    // True for the encodings the plugin reads a program file in: UTF-16 with a byte-order mark,
    // and UTF-16 little-endian without one.
    static bool isProgramEncoding(Encoding encoding);
    // How the encoding is named in messages ("UTF-8 without a byte-order mark").
    static QString name(Encoding encoding);
    // The lines telling the user what was found in fileName and how to save it as a program
    // file; empty for the encodings a program file may have and for an empty file.
    static QStringList advice(Encoding encoding, const QString &fileName);
};

#endif
