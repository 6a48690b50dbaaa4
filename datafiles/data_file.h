// The data file: plain text with one failure time on each data line, or a
// column of a delimited table (datafiles/data_table.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How a data file is to be read. The defaults are the desktop program's
// line reader; the command line's options set the rest.
struct ReadOptions {
    bool censored = false;  // status words (or the status column) mark suspensions
    bool counts = false;    // line reader: a second number on a data line counts the units with that value
    std::string column;  // "" = the line reader; else the table column of the times: a header name, or a 1-based number
    char delimiter = '\0';      // table: ',', ';' or '\t'; '\0' = found from the header line
    std::string statusColumn;   // table: column of S/F, suspended/failed or 0/1 (1 = failed); "" = none
    std::string countColumn;    // table: column of the counts; "" = none (each row counts 1)
    bool decimalComma = false;  // table: "12,5" is 12.5 (the delimiter is then ';' or tab)
};

// Lines the line reader passed over, or read only in part: how many, and the
// first one's line number (1-based; 0 when there is none).
struct PassedOver {
    std::uint64_t lines = 0;
    std::uint64_t firstLine = 0;
};

// What the line reader read differently from what such lines may have meant.
// Counted in every mode; the values read are the same with or without them.
struct ReaderNotes {
    PassedOver severalFields;     // data lines whose number is followed by , or ; and more ("1,1250,F"): only the first
                                  // number is read
    PassedOver separatorNumbers;  // numbers with a thousands separator or a decimal comma ("1,250", "12,5"): read as
                                  // the part before the comma
    PassedOver headings;          // skipped lines of text before the first value
    PassedOver textAmongValues;   // skipped lines of text after the first value
    PassedOver signedNumbers;     // skipped lines starting with a signed number ("-3", "+4"), which are never read
};

struct DataFileContents {
    bool opened = false;  // false: refused (not opened, not readable, a line or cell not readable, or the values cannot
                          // be held in memory)
    std::string cause;    // why it was refused, for the command line (the desktop program says "Invalid data type"); ""
                          // when opened
    std::vector<double> times;            // every value, file order (a counted value as often as its count)
    std::vector<std::uint8_t> suspended;  // censored reading only: 1 where the line's status word is S or s, else 0;
                                          // same size as times. Empty when not censored.
    std::uint32_t suspendedMarks = 0;     // values whose status word is S or s (counted in both modes)
    ReaderNotes notes;                    // line reader only
};

// Progress: called now and then (every few MB of text) with the count of values so far.
using ReadProgress = void (*)(std::uint64_t valuesSoFar, void* context);

// Reads the data file in one pass. A line whose first character after blanks
// and tabs is a digit, or a point or e/E followed by a digit, or the end of
// the text, gives one value (textToNumber of the line); other lines are
// skipped. Lines end with LF or CR LF; a Ctrl-Z byte ends the text; a UTF-8
// byte-order mark at the very start is skipped; lines are cut into pieces of
// at most 255 characters, each judged as a line of its own. The status word
// after the number (blanks or tabs, then S/s or F/f, then a blank, a tab or
// the end of the piece) marks a suspended line; lines without one are
// failures. At most UINT32_MAX values are read; later lines are ignored.
// A pipe or FIFO reads in the same single pass; a FIFO without a writer
// reads as empty. opened is false, and everything else empty but the cause,
// when the path cannot be opened, a read fails (a directory, for one) or the
// values would not fit in the memory the machine has available.
DataFileContents readDataFile(const char* path, bool censored, ReadProgress progress = nullptr,
                              void* context = nullptr);

// The command line's reader: the line reader above, or with options.counts
// the line reader with counts, or with options.column the table reader
// (readDataTable). With counts, a data line holds the value, then optionally
// blanks and a count (a whole number above 0, digits only), then optionally
// blanks and a status word, then nothing but blanks: the value is stored
// count times (a line without a count counts 1); any other line is refused,
// the cause naming it.
DataFileContents readData(const char* path, const ReadOptions& options, ReadProgress progress = nullptr,
                          void* context = nullptr);

// How a read is carried out: the defaults for real use; tests choose small
// blocks and a small memory budget, and may look at the work done.
struct ReadSettings {
    std::size_t blockSize = std::size_t{1} << 20;  // bytes read at a time (at least 1)
    std::uint64_t memoryBudget = 0;                // bytes the values may take; 0 = what the machine has available
    std::uint64_t* judgedCharacters =
        nullptr;  // line reader: receives the count of characters the judging of pieces read
};

// The line reader (with or without counts) with chosen settings.
DataFileContents readLinesWith(const char* path, const ReadOptions& options, const ReadSettings& settings,
                               ReadProgress progress, void* context);

// Warnings for the command line about what the line reader passed over, one
// per kind that occurred, in the order of ReaderNotes; empty for a table.
std::vector<std::string> readerWarnings(const DataFileContents& contents);
