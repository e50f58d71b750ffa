#ifndef PROGRAMCOLUMNS_H
#define PROGRAMCOLUMNS_H

#include <QString>
#include <QStringList>

// The 26 columns of a program CSV row and where each one sits in a segment record: the single
// place that knows the column order, the titles, the record offsets, which columns belong to the
// program as a whole and the fixed value ranges. The header row, both conversions and the range
// check are driven by this table.
class ProgramColumns
{
public:
    // Characters of the Tag; each takes 2 hex digits in segment 1's record.
    static constexpr int TagCharacters = 8;

    // How a column's cell is converted. Number covers PID1, G.S, G.S.TO, P.STA, CYCL and P.LIN,
    // which differ only in their data (range, unset marker on read, program-wide).
    enum class Kind {
        Label,     // "SEG<n>", dropped unread when a row is converted
        Setpoint,  // SP1, ranged by the controller's SP1 limits
        Time,      // hours:minutes
        Event,     // EV<n> 1st/2nd, ranged by the event's type
        TimeEvent, // T<n> 1st/2nd, hours.minutes
        Number,    // a plain signed word
        Tag        // 8 characters, 2 hex digits each
    };

    struct Column
    {
        const char *header; // title in the header row
        const char *title; // title in range checks and messages ("G.S." where the header has "G.S")
        Kind kind;
        int pair;         // event (1..3) or time event (1..5) number; 0 for other kinds
        bool second;      // the 2nd cell of its pair
        int offset;       // first hex digit in the record; -1 for the label
        int digits;       // hex digits in the record; 0 for the label
        bool programWide; // only segment 1's record holds it
        bool unsetOnRead; // a record word "7FFF" reads back as "----"
        bool fixedRange;  // low..high applies; otherwise the range is none or a parameter's
        qint32 low;
        qint32 high;

        QString headerTitle() const { return QLatin1String(header); }
        QString checkTitle() const { return QLatin1String(title); }
    };

    // Number of columns (26).
    static int count();
    // Column index (0..count()-1); the caller keeps index in range.
    static const Column &at(int index);
    // Index of the first program-wide column; the program-wide columns run from there to the end.
    static int firstProgramWide();
    // The column whose check title is title, or nullptr when there is none ("G.S" has none).
    static const Column *byCheckTitle(const QString &title);
    // Index of the column whose header title is title, or -1.
    static int indexOfHeader(const QString &title);
    // The header titles in column order.
    static QStringList headerRow();
};

#endif
