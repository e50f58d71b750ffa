#ifndef TAGCOMMAND_H
#define TAGCOMMAND_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// "dcp30 tag get" and "dcp30 tag set": one tag through the plugin's readTag/writeTag, its own
// tags answered from the driver's status block and "RAM<word>" passed to the link driver, which
// reads and writes the controller's word memory. Any other address, or a value the element or
// the controller word cannot hold, is refused before the plugin is loaded.
class TagCommand
{
public:
    // The exit status (ExitCode) of the command run with arguments, the words after "tag".
    static int run(const QStringList &arguments);

    // Element values of a tag answer by data type code: 0 bits (lowest bit first), 1 and 5
    // unsigned bytes, 2, 3 and 4 signed little-endian 16, 32 and 64-bit integers. Only whole
    // elements are decoded, at most count of them.
    static QList<qint64> decode(const QByteArray &bytes, int dataType, quint64 count);
    // The bytes of values for a data type code; false with a reason when a value does not fit,
    // i.e. when decode() would give another value back (4294967295 as a 32-bit element).
    static bool encode(const QList<qint64> &values, int dataType, QByteArray &bytes,
                       QString *error);
};

#endif
