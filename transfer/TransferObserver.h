#ifndef TRANSFEROBSERVER_H
#define TRANSFEROBSERVER_H

#include <QString>

// The two kinds of transfer; the numbers are also the error log's type (0 read, 1 write).
enum class TransferKind { Read = 0, Write = 1 };

// What a transfer tells its owner while it runs. The transfer engine calls it on the thread that
// runs the transfer; how the reports travel on is the owner's business.
class TransferObserver
{
public:
    virtual ~TransferObserver() = default;

    // Another share of the segments is done: percent of them, truncated.
    virtual void progressed(TransferKind kind, quint8 percent) = 0;
    // The program CSV file could not be saved (read) or loaded (write). messages is the CSV
    // class's report, lines joined with "\n", for the user; the transfer's flag goes down now.
    virtual void fileFailed(TransferKind kind, const QString &messages) = 0;
};

#endif
