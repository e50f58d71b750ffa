#ifndef FILELOCATIONS_H
#define FILELOCATIONS_H

#include <QString>

// Where the transfers keep their files: the program CSV files "PROG_<N>.txt" and the error logs
// "READ_PROG_<N>_ERROR.txt" and "WRITE_PROG_<N>_ERROR.txt".
//
// They live in the application's directory, unless the host sets the application property
// "dcp30_file_dir" to the path of another directory (a string; an empty one counts as not set).
// The HMI runtime never sets it; tools and tests use it to keep their files apart. The property
// is read afresh for every name, so a change applies to the next transfer.
class FileLocations
{
public:
    // The application property naming the directory of the program files and error logs.
    static constexpr const char *DirectoryProperty = "dcp30_file_dir";

    // The directory of the files: the property's path without a trailing separator, or
    // QCoreApplication::applicationDirPath() when the property is absent or empty.
    static QString directory();
    // directory() + QDir::separator() + "PROG_<program>.txt".
    static QString programFile(int program);
    // directory() + QDir::separator() + "<kind>_PROG_<program>_ERROR.txt", where kind is "WRITE"
    // for type 1 and "READ" for any other type.
    static QString errorLog(int type, int program);
};

#endif
