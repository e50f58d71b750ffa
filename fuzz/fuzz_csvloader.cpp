// Arbitrary bytes as a program CSV file: the loader must parse or reject them without crashing,
// and must hand out rows only for a parse that got past the file checks.

#include "FuzzSupport.h"
#include "KCSVLoader.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Bigger files only make each run slower: the parse is linear and its paths are all reached
    // by small inputs.
    if (size > 64 * 1024)
        return 0;
    FuzzSupport::app();
    static const QString fileName = FuzzSupport::scratchDir().filePath(QStringLiteral("in.csv"));
    {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            FuzzSupport::fail("cannot write the input file");
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    KCSVLoader loader;
    loader.openFile(fileName);
    const int status = loader.statusCode();
    FuzzSupport::check(status >= KCSVLoader::NoFileName && status <= KCSVLoader::ColumnMismatch,
                       "status code out of range");
    const QList<QStringList> rows = loader.loadedData();
    if (status == KCSVLoader::NoFileName || status == KCSVLoader::OpenFailed ||
        status == KCSVLoader::FormatError)
        FuzzSupport::check(rows.isEmpty(), "rows handed out for a rejected file");
    loader.errorMessageList();
    loader.warningMessageList();
    return 0;
}
