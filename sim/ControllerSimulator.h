#ifndef CONTROLLERSIMULATOR_H
#define CONTROLLERSIMULATOR_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <mutex>

// A protocol model of one DCP31/32 program controller at station "01": it takes one request
// frame (STX text ETX CR LF) and answers the reply bytes. No I/O and no timing; every public
// operation takes an internal lock, so one model may be shared by several threads and ports.
//
// Frames and replies
// - A request is STX, "01" (station), "00" (sub-address), "X" (device code), the command text,
//   ETX, CR, LF. A frame without that framing, or addressed to another station, is not a message
//   for us: it gets no reply at all (an empty result), as on a shared RS-485 line.
// - A reply is STX, "0100X", a two-character end code, an optional payload, ETX, CR, LF. Only a
//   successful block read ("XFR,<program>,<segment>," + record) and a successful data read
//   ("," + values) carry a payload; every other reply has nothing between end code and ETX.
//   Numbers in replies are decimal without leading zeros, so a block read's record starts at
//   character 16, plus one for a two-digit program, plus one for a two-digit segment.
//
// File commands and the file state (one file at a time)
// - "FO,<p>,R,0" / "FO,<p>,W,0" open program p (1..19) for reading / writing.
//   Opening for write deletes the old program at once (the controller rebuilds a program from
//   the blocks written after the open): segments written afterwards form the new program, and
//   segments not written stay empty. Opening an empty program for reading is allowed; its block
//   reads answer "52".
// - "FR,<p>,<s>" reads segment s (1..30) of the open program.
// - "FW,<p>,<s>,<record>" writes segment s; the record must be 120 hex digits for segment 1 and
//   92 otherwise. Record contents are not range-checked (the driver validates before sending);
//   digits are stored in upper case, as the controller keeps words, not text.
// - "FC,<p>" closes the open file.
// - End codes, checked in this order: "40" malformed arguments (wrong argument count, a number
//   that is not plain decimal digits, mode other than R/W, last open argument not "0"); "50" an
//   open while a file is open; "51" a read, write or close while no file or another program is
//   open; "54" a block read on a file open for writing or a block write on one open for reading;
//   "52" a program number outside 1..19, a segment number outside 1..30, or a block read of a
//   segment holding no record; "58" opening for write the program marked as running; "59"
//   opening for write while file writes are inhibited; "57" a block record of the wrong length or
//   with a character that is not a hex digit; "99" any other command.
//
// Data commands of the link driver (16-bit signed word memory, addresses 0..65535, all 0 except
// the presets below)
// - "RS,<addr>W,<count>": answers "00" "," and count values in signed decimal separated by ",".
// - "WS,<addr>W,<v1>[,<v2>...]": writes consecutive words and answers "00".
// - End codes: "40" malformed request (missing "W" suffix, non-decimal address or value, count
//   0); "41" more than 16 words; "42" an address range reaching beyond 65535 (nothing written);
//   "44" a value outside -32768..32767: the other values are written, that address keeps its old
//   value.
//
// Defaults (resetToDefaults(), also the state after construction)
// - Range parameters: word 4509 (SP1 low limit) -200, word 4510 (SP1 high limit) 1300, word
//   3501 (event 1 type) 0 = PV type event, word 3505 (event 2 type) 50 = time event, word 3509
//   (event 3 type) 8 = MV event. Every other word is 0.
// - Programs 1 to 3 hold the demo profiles of DemoPrograms (an anneal, a ceramic firing and a
//   climate-chamber cycle, 8 to 10 segments each, all valid under the ranges above); programs 4
//   to 19 are empty. No file is open, no program is running, writes are not inhibited.
class ControllerSimulator
{
public:
    enum class FileMode { Closed, Read, Write };

    static constexpr int ProgramCount = 19;
    static constexpr int SegmentCount = 30;
    static constexpr int FirstSegmentRecordLength = 120;
    static constexpr int SegmentRecordLength = 92;
    static constexpr int WordMemorySize = 65536;
    static constexpr int MaxDataCount = 16;

    static constexpr int SpLowLimitAddress = 4509;
    static constexpr int SpHighLimitAddress = 4510;
    static constexpr int Event1TypeAddress = 3501;
    static constexpr int Event2TypeAddress = 3505;
    static constexpr int Event3TypeAddress = 3509;

    static constexpr qint16 DefaultSpLowLimit = -200;
    static constexpr qint16 DefaultSpHighLimit = 1300;
    static constexpr qint16 DefaultEvent1Type = 0;
    static constexpr qint16 DefaultEvent2Type = 50;
    static constexpr qint16 DefaultEvent3Type = 8;

    ControllerSimulator();

    // Answers one request frame; an empty result means the controller stays silent.
    QByteArray handleFrame(const QByteArray &frame);

    // Builds a reply frame: STX "0100X" endCode payload ETX CR LF.
    static QByteArray buildReply(const QByteArray &endCode, const QByteArray &payload = {});
    // Builds a request frame: STX text ETX CR LF.
    static QByteArray buildRequest(const QString &text);
    // The record length the controller expects for a segment (120 for segment 1, 92 otherwise).
    static int recordLength(int segment)
    {
        return segment == 1 ? FirstSegmentRecordLength : SegmentRecordLength;
    }

    // Program memory. Program 1..19, segment 1..30; an empty text means no record.
    QString segmentRecord(int program, int segment) const;
    // Stores a record as given (upper or lower case digits); false with a reason in *error when
    // the numbers are out of range, the length is wrong or a character is not a hex digit.
    bool setSegmentRecord(int program, int segment, const QString &record,
                          QString *error = nullptr);
    void clearSegment(int program, int segment);
    // Records of segments 1..n where n is the last segment holding a record; empty texts for gaps.
    QStringList programRecords(int program) const;
    // Replaces the program by records for segments 1..records.size(); an empty text leaves a gap.
    bool setProgramRecords(int program, const QStringList &records, QString *error = nullptr);
    void clearProgram(int program);
    void clearAllPrograms();

    // Word memory (address 0..65535; other addresses read 0 and are not written).
    qint16 word(int address) const;
    void setWord(int address, qint16 value);
    // The five range parameters in the order the driver reads them: SP1 low, SP1 high, event
    // types 1..3.
    QList<qint32> rangeParameters() const;

    // File state, for tests and for the command-line tool's status output.
    int openProgram() const;
    FileMode openMode() const;
    // Forgets an open file, as a power cycle of the controller would.
    void closeAnyFile();
    // The program marked as running (0: none) cannot be opened for write ("58").
    void setRunningProgram(int program);
    // While inhibited, opening for write answers "59".
    void setFileWriteInhibited(bool inhibited);

    // Number of frames handled so far (including those that got no reply).
    int frameCount() const;

    // Demo programs, range parameters and word presets; closes any file; frame count back to 0.
    void resetToDefaults();

private:
    QByteArray handleText(const QString &text);
    QByteArray fileOpen(const QStringList &args);
    QByteArray blockRead(const QStringList &args);
    QByteArray blockWrite(const QStringList &args);
    QByteArray fileClose(const QStringList &args);
    QByteArray dataRead(const QStringList &args);
    QByteArray dataWrite(const QStringList &args);
    static bool validIndex(int program, int segment);
    static bool checkRecord(int segment, const QString &record, QString *error);
    void resetLocked();

    mutable std::mutex m_mutex;
    QVector<QStringList> m_programs; // [program - 1][segment - 1]
    QVector<qint16> m_words;
    int m_openProgram = 0;
    FileMode m_openMode = FileMode::Closed;
    int m_runningProgram = 0;
    bool m_writeInhibited = false;
    int m_frameCount = 0;
};

#endif
