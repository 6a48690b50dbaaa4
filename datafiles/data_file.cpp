// The data file reader.
//
// One pass over the file's text in large blocks (datafiles/text_blocks.h).
// The text is cut into the pieces a 256-byte line buffer would give (at most
// 255 characters, ending after a line feed), and each piece is judged as a
// line of its own, read as a C string (a NUL byte ends it).
//
// The line feed that ends a piece is looked for first, within the piece's
// 255 characters. A piece that ends with its line feed is judged where it
// lies in the block (every scan stops at the line feed); any other piece
// (cut at 255 characters, the last one of the text, or one that spans two
// blocks) is copied into a NUL-terminated buffer first. So no judging reads
// beyond its piece, and the work is linear in the text, a run of megabytes
// of blanks or digits without a line feed included. Each block is cooked in
// place and read once.
#include "datafiles/data_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "datafiles/data_table.h"
#include "datafiles/number_text.h"
#include "datafiles/text_blocks.h"
#include "datafiles/value_store.h"

namespace {

constexpr std::size_t pieceLength = 255;                            // characters a 256-byte line buffer holds
constexpr std::uint64_t progressInterval = std::uint64_t{4} << 20;  // bytes between reports
constexpr std::size_t quotedLength = 40;                            // characters of a refused line shown in the cause

// ---- One piece --------------------------------------------------------------

enum class PieceKind : int {
    data,          // gives a value
    empty,         // blanks only
    text,          // skipped text (a heading, a comment)
    signedNumber,  // skipped: starts with a sign and a number
    badCount,      // counts: more than a value, a count and a status word
};

// What one piece gives.
struct PieceValue {
    PieceKind kind;
    bool suspended;                 // its status word is S or s
    double value;                   // its number (data lines only)
    std::uint64_t count;            // counts: the units with the value (1 without a count)
    const char* stop;               // the judging ended here, at or before the first line feed or NUL
    PassedOver ReaderNotes::*note;  // data lines read only in part: which kind; else null
};

bool endsWord(char c) { return isBlank(c) || c == '\n' || c == '\0'; }

// True when the status word after the number is S or s: one or more blanks or
// tabs, the letter, then a blank, a tab, the line feed or the end of the
// piece. F or f (failed), no word and any other text all make a failure.
bool hasSuspendedMark(const char* numberEnd) {
    const char* word = skipBlanks(numberEnd);
    if (word == numberEnd || (*word != 'S' && *word != 's')) return false;
    return endsWord(word[1]);
}

// Counts: after the number, optionally a count, optionally a status word,
// then the end of the piece (blanks aside). Fills count and suspended;
// false for anything else.
bool readCountAndStatus(const char* numberEnd, PieceValue& piece) {
    const char* p = skipBlanks(numberEnd);
    if (p == numberEnd && !endsWord(*p)) return false;  // text right after the number ("12h", "1e")
    if (isDigit(*p)) {
        std::uint64_t count = 0;
        for (; isDigit(*p); ++p) {
            const auto digit = static_cast<std::uint64_t>(*p - '0');
            count = count > (UINT64_MAX - digit) / 10 ? UINT64_MAX : count * 10 + digit;
        }
        if (count == 0 || !endsWord(*p)) return false;
        piece.count = count;
        p = skipBlanks(p);
    }
    if ((*p == 'S' || *p == 's' || *p == 'F' || *p == 'f') && endsWord(p[1])) {
        piece.suspended = *p == 'S' || *p == 's';
        p = skipBlanks(p + 1);
    }
    piece.stop = p;
    return *p == '\n' || *p == '\0';
}

// A number of digits only directly followed by a thousands separator or a
// decimal comma: ",ddd" groups with an optional fraction, or "," and digits,
// then the end of the word.
bool hasSeparatorPart(const char* first, const char* numberEnd) {
    for (const char* p = first; p < numberEnd; ++p) {
        if (!isDigit(*p)) return false;
    }
    const char* p = numberEnd;
    if (*p != ',' || !isDigit(p[1])) return false;
    const char* digits = p + 1;
    while (isDigit(*digits)) ++digits;
    if (endsWord(*digits)) return true;  // "12,5", "1,250"
    while (*p == ',' && isDigit(p[1]) && isDigit(p[2]) && isDigit(p[3]) && !isDigit(p[4])) p += 4;
    if (*p == '.') {
        for (++p; isDigit(*p);) ++p;
    }
    return p > numberEnd && endsWord(*p);  // "1,250,000", "1,250.5"
}

// What a data line's number was followed by, when the reading took only part
// of what it may have meant.
PassedOver ReaderNotes::*noteAfterNumber(const char* first, const char* numberEnd) {
    const char* p = skipBlanks(numberEnd);
    if (*p != ',' && *p != ';') return nullptr;
    return hasSeparatorPart(first, numberEnd) ? &ReaderNotes::separatorNumbers : &ReaderNotes::severalFields;
}

// Judges the piece at `piece`, which ends at its first line feed or NUL; no
// character beyond that one is read. A data line: the first character after
// blanks and tabs is a digit, a point or e/E followed by a digit, or the end
// of the piece.
PieceValue judgePiece(const char* piece, bool counts) {
    const char* first = skipBlanks(piece);
    const char c = *first;
    const bool data = c == '\0' || isDigit(c) || ((c == '.' || c == 'e' || c == 'E') && isDigit(first[1]));
    if (!data) {
        const bool sign = (c == '+' || c == '-') && (isDigit(first[1]) || (first[1] == '.' && isDigit(first[2])));
        const PieceKind kind = c == '\n' ? PieceKind::empty : sign ? PieceKind::signedNumber : PieceKind::text;
        return {kind, false, 0.0, 0, first, nullptr};
    }
    const char* numberEnd = first;
    const double value = textToNumber(first, &numberEnd);
    PieceValue result{PieceKind::data, false, value, 1, numberEnd, nullptr};
    result.note = noteAfterNumber(first, numberEnd);
    if (counts) {
        if (!readCountAndStatus(numberEnd, result)) result.kind = PieceKind::badCount;
    } else {
        result.suspended = hasSuspendedMark(numberEnd);
    }
    return result;
}

// ---- Storing what pieces give -----------------------------------------------

struct ValueSink {
    DataFileContents& contents;
    ValueStore store;
    bool counts;
    std::uint64_t* judgedCharacters;
    std::uint64_t line = 1;  // the line the next piece belongs to
    bool refused = false;    // a line not readable, or no memory: contents.cause says which
};

void note(PassedOver& passed, std::uint64_t line) {
    if (passed.lines++ == 0) passed.firstLine = line;
}

// The piece as the cause quotes it: up to its line feed or NUL, at most
// quotedLength characters, control characters but the tab as '?'.
std::string quoted(const char* piece) {
    std::string text;
    for (const char* p = piece; *p != '\n' && *p != '\0' && text.size() < quotedLength; ++p) {
        text.push_back(static_cast<unsigned char>(*p) < 0x20 && *p != '\t' ? '?' : *p);
    }
    return "'" + text + (text.size() == quotedLength ? "...'" : "'");
}

// Stores what the piece at `piece` gives (judged in place or in the carry).
// False when the reading ends here: the count limit reached, or a refusal.
bool store(const char* piece, ValueSink& sink) {
    const PieceValue judged = judgePiece(piece, sink.counts);
    if (sink.judgedCharacters != nullptr) *sink.judgedCharacters += static_cast<std::uint64_t>(judged.stop - piece);
    ReaderNotes& notes = sink.contents.notes;
    switch (judged.kind) {
        case PieceKind::data: break;
        case PieceKind::empty: return true;
        case PieceKind::text:
            note(sink.contents.times.empty() ? notes.headings : notes.textAmongValues, sink.line);
            return true;
        case PieceKind::signedNumber: note(notes.signedNumbers, sink.line); return true;
        case PieceKind::badCount:
            sink.contents.cause = "line " + std::to_string(sink.line) + ": " + quoted(piece) +
                                  " is not a value, then a count (a whole number above 0) and a status word";
            sink.refused = true;
            return false;
    }
    if (judged.note != nullptr) note(notes.*judged.note, sink.line);
    switch (sink.store.append(judged.value, judged.suspended, judged.count)) {
        case StoreResult::stored: return true;
        case StoreResult::full: return false;
        case StoreResult::noMemory:
            sink.contents.cause = noMemoryCause;
            sink.refused = true;
            return false;
    }
    return false;
}

// ---- Pieces across blocks ---------------------------------------------------

struct PieceCutter {
    char carry[pieceLength + 1];  // a piece being gathered, NUL-terminated when judged
    std::size_t carryLength = 0;
};

bool storeCarry(PieceCutter& cutter, ValueSink& sink) {
    cutter.carry[cutter.carryLength] = '\0';
    cutter.carryLength = 0;
    return store(cutter.carry, sink);
}

// Cuts the text [p, end) into pieces and stores what each complete one gives;
// the start of a piece that runs past `end` stays in the carry for the next
// block. *end must be a NUL (it bounds the in-place judging). False when the
// reading ends (the count limit, a refusal).
bool cutPieces(PieceCutter& cutter, const char* p, const char* end, ValueSink& sink) {
    while (p < end) {
        const std::size_t room = pieceLength - cutter.carryLength;
        const std::size_t span = std::min(room, static_cast<std::size_t>(end - p));
        const char* lineFeed = static_cast<const char*>(std::memchr(p, '\n', span));
        if (lineFeed != nullptr && cutter.carryLength == 0) {
            if (!store(p, sink)) return false;
            ++sink.line;
            p = lineFeed + 1;
            continue;
        }
        const char* pieceEnd = lineFeed != nullptr ? lineFeed + 1 : p + span;
        const std::size_t length = static_cast<std::size_t>(pieceEnd - p);
        std::memcpy(cutter.carry + cutter.carryLength, p, length);
        cutter.carryLength += length;
        p = pieceEnd;
        if (lineFeed == nullptr && span < room) return true;  // the block ends inside the piece
        if (!storeCarry(cutter, sink)) return false;
        if (lineFeed != nullptr) ++sink.line;
    }
    return true;
}

// Reserves room for a value per line of a regular file, judged from the
// lines of its first block, before that block is stored: otherwise a file
// of one block would grow its vectors a dozen times, each growth a fresh
// block and a copy.
void reserveByLines(ValueSink& sink, const char* text, const char* end, std::uint64_t fileSize,
                    std::uint64_t firstBytes) {
    if (fileSize == unknownFileSize || firstBytes == 0 || fileSize < firstBytes) return;
    const auto lines = static_cast<double>(std::count(text, end, '\n') + 1);
    // A sixteenth more: a file whose later lines are a little shorter still
    // fits, while a wrong guess wastes little (the vectors grow as they must).
    const double estimate = lines * (static_cast<double>(fileSize) / static_cast<double>(firstBytes)) * 1.0625;
    sink.store.reserveHint(estimate < static_cast<double>(UINT32_MAX) ? static_cast<std::uint64_t>(estimate)
                                                                      : UINT32_MAX);
}

// Reads the whole text into the sink; false on a read error.
bool readText(TextBlocks& blocks, ValueSink& sink, ReadProgress progress, void* context) {
    PieceCutter cutter;
    std::uint64_t reported = 0;
    for (bool first = true;; first = false) {
        char* text = nullptr;
        char* end = nullptr;
        bool ended = false;
        if (!blocks.next(text, end, ended)) return false;
        if (first) reserveByLines(sink, text, end, blocks.fileSize(), blocks.bytesRead());
        if (!cutPieces(cutter, text, end, sink)) return true;
        if (ended) {
            if (cutter.carryLength > 0) storeCarry(cutter, sink);
            return true;
        }
        if (progress != nullptr && blocks.bytesRead() - reported >= progressInterval) {
            progress(sink.store.size(), context);
            reported = blocks.bytesRead();
        }
    }
}

DataFileContents refusal(const char* cause) {
    DataFileContents contents;
    contents.cause = cause;
    return contents;
}

std::string countText(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + (n == 1 ? one : many);
}

std::string firstLineText(const PassedOver& passed) {
    return " (first: line " + std::to_string(passed.firstLine) + ")";
}

}  // namespace

DataFileContents readLinesWith(const char* path, const ReadOptions& options, const ReadSettings& settings,
                               ReadProgress progress, void* context) {
    TextBlocks blocks;
    if (!blocks.open(path, settings.blockSize)) return refusal("the file cannot be opened");
    DataFileContents contents;
    ValueSink sink{contents, ValueStore(contents, options.censored, settings.memoryBudget), options.counts,
                   settings.judgedCharacters};
    bool readable = false;
    // A failed allocation outside the checked growth (a block buffer, the
    // vectors' elements) is a refusal for memory too.
    try {
        readable = readText(blocks, sink, progress, context);
    } catch (const std::bad_alloc&) {
        return refusal(noMemoryCause);
    }
    if (!readable) return refusal("the file cannot be read");
    if (sink.refused) return refusal(contents.cause.c_str());
    contents.opened = true;
    return contents;
}

DataFileContents readDataFile(const char* path, bool censored, ReadProgress progress, void* context) {
    ReadOptions options;
    options.censored = censored;
    return readLinesWith(path, options, ReadSettings{}, progress, context);
}

DataFileContents readData(const char* path, const ReadOptions& options, ReadProgress progress, void* context) {
    if (!options.column.empty()) return readDataTable(path, options, ReadSettings{}, progress, context);
    return readLinesWith(path, options, ReadSettings{}, progress, context);
}

std::vector<std::string> readerWarnings(const DataFileContents& contents) {
    const ReaderNotes& notes = contents.notes;
    std::vector<std::string> warnings;
    if (notes.severalFields.lines > 0) {
        warnings.push_back(countText(notes.severalFields.lines, " line holds", " lines hold") +
                           " several fields separated by , or ;" + firstLineText(notes.severalFields) +
                           "; only the first is read; --column picks another");
    }
    if (notes.separatorNumbers.lines > 0) {
        warnings.push_back(countText(notes.separatorNumbers.lines, " number has", " numbers have") +
                           " a thousands separator or a decimal comma (as 1,250 or 12,5)" +
                           firstLineText(notes.separatorNumbers) +
                           "; only the part before the comma is read; write them without the separator, with a "
                           "decimal point, or read a table with --column and --decimal-comma");
    }
    if (notes.textAmongValues.lines > 0) {
        warnings.push_back(countText(notes.textAmongValues.lines, " line", " lines") + " of text among the values" +
                           firstLineText(notes.textAmongValues) +
                           (notes.textAmongValues.lines == 1 ? " was" : " were") + " skipped");
    }
    if (notes.signedNumbers.lines > 0) {
        warnings.push_back(countText(notes.signedNumbers.lines, " line starts", " lines start") +
                           " with a signed number (as -3 or +4)" + firstLineText(notes.signedNumbers) +
                           "; such lines are skipped: a time is written without a sign");
    }
    return warnings;
}
