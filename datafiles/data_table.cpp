// The table reader.
//
// The text comes in blocks (datafiles/text_blocks.h) and runs through a
// small RFC 4180 state machine one character at a time. The header line is
// gathered whole first (at most headerLimit characters), as the delimiter
// may have to be found in it; then it and the rest of the text go through
// the machine. Only the cells of the columns in use are kept, each of at
// most cellLimit characters, so memory grows with the values alone, and
// those are checked against the memory available (datafiles/value_store.h).
#include "datafiles/data_table.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "datafiles/number_text.h"
#include "datafiles/text_blocks.h"
#include "datafiles/value_store.h"

namespace {

constexpr std::size_t headerLimit = std::size_t{1} << 20;
constexpr std::size_t cellLimit = 1024;
constexpr std::size_t namesShown = 8;  // header names listed when a name is not found
constexpr std::uint64_t progressInterval = std::uint64_t{4} << 20;
constexpr std::size_t unresolved = SIZE_MAX;

// The text as a whole number (digits only, saturating at UINT64_MAX); 0
// when it is empty or holds anything else.
std::uint64_t wholeNumber(const std::string& text) {
    std::uint64_t number = 0;
    for (const char c : text) {
        if (!isDigit(c)) return 0;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        number = number > (UINT64_MAX - digit) / 10 ? UINT64_MAX : number * 10 + digit;
    }
    return number;
}

// A column as given: a header name, or a 1-based number (all digits).
struct ColumnChoice {
    std::string given;               // as the options say it; "" = not in use
    std::size_t index = unresolved;  // 0-based, once known
    bool byName = false;

    explicit ColumnChoice(const std::string& text) : given(text) {
        if (given.empty()) return;
        // Digits only name a column by number; "0", which numbers none, is
        // looked for as a name.
        const std::uint64_t number = wholeNumber(given);
        byName = number == 0;
        if (!byName) index = static_cast<std::size_t>(std::min<std::uint64_t>(number - 1, unresolved - 1));
    }
    bool used() const { return !given.empty(); }
};

enum class FieldState : int { start, unquoted, quoted, quoteInQuoted };

class TableReader {
public:
    TableReader(DataFileContents& contents, const ReadOptions& options, const ReadSettings& settings)
        : contents_(contents), options_(options), store_(contents, options.censored, settings.memoryBudget),
          time_(options.column), status_(options.statusColumn), count_(options.countColumn) {}

    // Takes the next stretch of text; false once the reading ends (a refusal
    // or the count limit).
    bool take(const char* p, const char* end) {
        for (; p < end && !done_; ++p) {
            if (!haveHeader_) {
                gatherHeader(*p);
            } else {
                step(*p);
            }
        }
        return !done_;
    }

    // The end of the text.
    void finish() {
        if (done_) return;
        if (!haveHeader_) {
            if (header_.empty()) return;
            startBody();  // a header line without a line feed
            if (done_) return;
        }
        if (state_ == FieldState::quoted) {
            refuse("line " + std::to_string(recordLine_) + ": a quoted field is not closed");
            return;
        }
        if (recordStarted_) step('\n');
    }

    std::uint64_t values() const { return store_.size(); }
    bool refused() const { return refused_; }

private:
    // ---- The header line, gathered ----------------------------------------

    void gatherHeader(char c) {
        header_.push_back(c);
        if (c == '"') headerQuoted_ = !headerQuoted_;
        if (c == '\n' && !headerQuoted_) {
            if (std::all_of(header_.begin(), header_.end(), [](char b) { return isBlank(b) || b == '\n'; })) {
                header_.clear();  // a blank line before the header line
                ++line_;
                return;
            }
            startBody();
        } else if (header_.size() > headerLimit) {
            refuse("the header line is longer than " + std::to_string(headerLimit) + " characters");
        }
    }

    void startBody() {
        haveHeader_ = true;
        delimiter_ = options_.delimiter != '\0' ? options_.delimiter : foundDelimiter();
        const std::string header = std::move(header_);
        for (const char c : header) {
            if (done_) return;
            step(c);
        }
    }

    char foundDelimiter() const {
        std::size_t comma = 0, semicolon = 0, tab = 0;
        bool quoted = false;
        for (const char c : header_) {
            quoted = c == '"' ? !quoted : quoted;
            if (quoted) continue;
            comma += c == ',';
            semicolon += c == ';';
            tab += c == '\t';
        }
        if (options_.decimalComma) comma = 0;
        char best = options_.decimalComma ? ';' : ',';
        std::size_t most = 0;
        for (const auto& [count, c] : {std::pair{comma, ','}, std::pair{semicolon, ';'}, std::pair{tab, '\t'}}) {
            if (count > most) {
                most = count;
                best = c;
            }
        }
        return best;
    }

    // ---- Fields and records -------------------------------------------------

    void step(char c) {
        if (!recordStarted_) {
            recordStarted_ = true;
            recordLine_ = line_;
        }
        if (c == '\n') ++line_;
        switch (state_) {
            case FieldState::start:
                if (c == '"') {
                    state_ = FieldState::quoted;
                    blankRecord_ = false;
                    return;
                }
                if (isBlank(c) && c != delimiter_) return;
                state_ = FieldState::unquoted;
                break;
            case FieldState::unquoted: break;
            case FieldState::quoted:
                if (c == '"') {
                    state_ = FieldState::quoteInQuoted;
                } else {
                    append(c);
                }
                return;
            case FieldState::quoteInQuoted:
                if (c == '"') {  // "" inside quotes
                    append(c);
                    state_ = FieldState::quoted;
                    return;
                }
                if (isBlank(c) && c != delimiter_) return;  // blanks after the closing quote
                state_ = FieldState::unquoted;
                break;
        }
        if (c == delimiter_) {
            endField();
        } else if (c == '\n') {
            endField();
            endRecord();
        } else {
            append(c);
        }
    }

    void append(char c) {
        if (!isBlank(c)) {
            blankRecord_ = false;
            extraContent_ = extraContent_ || field_ >= headerFields_;
        }
        if (!keepField_) return;
        if (cell_.size() < cellLimit) {
            cell_.push_back(c);
        } else {
            cellTooLong_ = true;
        }
    }

    // The cell as kept: blanks and tabs at either end dropped.
    static std::string trimmed(const std::string& text) {
        std::size_t first = 0, last = text.size();
        while (first < last && isBlank(text[first])) ++first;
        while (last > first && isBlank(text[last - 1])) --last;
        return text.substr(first, last - first);
    }

    void endField() {
        if (keepField_) {
            cells_.push_back({field_, trimmed(cell_), cellTooLong_});
        }
        cell_.clear();
        cellTooLong_ = false;
        state_ = FieldState::start;
        ++field_;
        keepField_ = wanted(field_);
    }

    // Whether the cells of field `index` are kept: every one of the header
    // line (names are compared as they end), then those in use.
    bool wanted(std::size_t index) const {
        return !headerDone_ || index == time_.index || index == status_.index || index == count_.index;
    }

    void endRecord() {
        if (!blankRecord_) {
            if (!headerDone_) {
                header();
            } else {
                row();
            }
        }
        cells_.clear();
        field_ = 0;
        keepField_ = wanted(0);
        recordStarted_ = false;
        blankRecord_ = true;
        extraContent_ = false;
    }

    // ---- The header line's names --------------------------------------------

    void header() {
        headerDone_ = true;
        const bool anyByName = time_.byName || status_.byName || count_.byName;
        if (!anyByName && isNumberCell(cellAt(time_.index))) {
            row();  // no header line: the first row is data
            return;
        }
        headerFields_ = field_;
        for (ColumnChoice* choice : {&time_, &status_, &count_}) {
            if (!choice->byName) continue;
            for (const Cell& cell : cells_) {
                if (cell.text == choice->given) {
                    choice->index = cell.field;
                    break;
                }
            }
            if (choice->index == unresolved) {
                std::string names;
                for (std::size_t i = 0; i < cells_.size() && i < namesShown; ++i) {
                    names += (i > 0 ? ", " : "") + cells_[i].text;
                }
                if (cells_.size() > namesShown) names += ", ...";
                refuse("no column named '" + choice->given + "' in the header line (line " +
                       std::to_string(recordLine_) + ": " + names + ")");
                return;
            }
        }
        if ((status_.used() && status_.index == time_.index) || (count_.used() && count_.index == time_.index) ||
            (status_.used() && count_.used() && status_.index == count_.index)) {
            refuse("the time, status and count columns must be different columns");
        }
    }

    // ---- One data row ---------------------------------------------------------

    struct Cell {
        std::size_t field;
        std::string text;
        bool tooLong;
    };

    const Cell* cellAt(std::size_t field) const {
        for (const Cell& cell : cells_) {
            if (cell.field == field) return &cell;
        }
        return nullptr;
    }

    bool isNumberCell(const Cell* cell) const {
        if (cell == nullptr || cell->text.empty()) return false;
        double value = 0;
        return numberOf(cell->text, value);
    }

    // The cell as a time: an unsigned decimal number, all of the cell.
    bool numberOf(std::string text, double& value) const {
        if (options_.decimalComma) std::replace(text.begin(), text.end(), ',', '.');
        const char* first = text.c_str();
        const bool starts = isDigit(first[0]) || (first[0] == '.' && isDigit(first[1]));
        if (!starts) return false;
        const char* end = nullptr;
        value = textToNumber(first, &end);
        return end == first + text.size();
    }

    std::string where(const ColumnChoice& choice) const {
        return "line " + std::to_string(recordLine_) + ", column " + choice.given + ": ";
    }

    // The cell of a column in use, or a refusal when the row has none.
    const Cell* cellFor(const ColumnChoice& choice) {
        const Cell* cell = cellAt(choice.index);
        if (cell == nullptr) {
            refuse("line " + std::to_string(recordLine_) + ": no column " + choice.given + " (the line has " +
                   std::to_string(field_) + (field_ == 1 ? " field)" : " fields)"));
        } else if (cell->tooLong) {
            refuse(where(choice) + "the cell is longer than " + std::to_string(cellLimit) + " characters");
            cell = nullptr;
        }
        return cell;
    }

    static std::string lowered(std::string text) {
        for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        return text;
    }

    void row() {
        // More filled fields than names: a delimiter inside a number, most
        // likely ("1,250" unquoted), which would shift the columns.
        if (extraContent_) {
            return refuse("line " + std::to_string(recordLine_) + ": more fields (" + std::to_string(field_) +
                          ") than the header line has (" + std::to_string(headerFields_) +
                          "); a number with the delimiter in it needs quotes");
        }
        const Cell* timeCell = cellFor(time_);
        if (timeCell == nullptr) return;
        double value = 0;
        if (timeCell->text.empty()) return refuse(where(time_) + "the cell is empty");
        if (!numberOf(timeCell->text, value)) {
            const char sign = timeCell->text[0];
            return refuse(where(time_) + "'" + timeCell->text + "' is not a number" +
                          (sign == '-' || sign == '+' ? " (a time is written without a sign)" : ""));
        }
        bool suspended = false;
        if (status_.used()) {
            const Cell* cell = cellFor(status_);
            if (cell == nullptr) return;
            const std::string word = lowered(cell->text);
            if (word == "s" || word == "suspended" || word == "0") {
                suspended = true;
            } else if (word != "f" && word != "failed" && word != "1") {
                return refuse(where(status_) + "'" + cell->text +
                              "' is not a status (S or suspended or 0; F or failed or 1)");
            }
        }
        std::uint64_t count = 1;
        if (count_.used()) {
            const Cell* cell = cellFor(count_);
            if (cell == nullptr) return;
            count = wholeNumber(cell->text);
            if (count == 0)
                return refuse(where(count_) + "'" + cell->text + "' is not a count (a whole number above 0)");
        }
        switch (store_.append(value, suspended, count)) {
            case StoreResult::stored: return;
            case StoreResult::full: done_ = true; return;
            case StoreResult::noMemory: return refuse(noMemoryCause);
        }
    }

    void refuse(const std::string& cause) {
        contents_.cause = cause;
        refused_ = true;
        done_ = true;
    }

    bool refused_ = false;

    DataFileContents& contents_;
    const ReadOptions& options_;
    ValueStore store_;
    ColumnChoice time_, status_, count_;
    std::string header_;  // the header line while it is gathered
    bool headerQuoted_ = false;
    bool haveHeader_ = false;  // the header line gathered, the delimiter chosen
    bool headerDone_ = false;  // the header line's names read
    char delimiter_ = ',';
    FieldState state_ = FieldState::start;
    std::string cell_;  // the field being read, when kept
    bool cellTooLong_ = false;
    bool keepField_ = true;
    std::size_t field_ = 0;    // 0-based field of the record
    std::vector<Cell> cells_;  // the kept cells of the record
    bool recordStarted_ = false;
    bool blankRecord_ = true;              // nothing but blanks so far in the record
    std::size_t headerFields_ = SIZE_MAX;  // fields of the header line; SIZE_MAX while unknown or without one
    bool extraContent_ = false;            // a field beyond the header line's is not blank
    std::uint64_t line_ = 1;               // the line of the next character
    std::uint64_t recordLine_ = 1;
    bool done_ = false;
};

DataFileContents refusal(const std::string& cause) {
    DataFileContents contents;
    contents.cause = cause;
    return contents;
}

}  // namespace

DataFileContents readDataTable(const char* path, const ReadOptions& options, const ReadSettings& settings,
                               ReadProgress progress, void* context) {
    TextBlocks blocks;
    if (!blocks.open(path, settings.blockSize)) return refusal("the file cannot be opened");
    DataFileContents contents;
    try {
        TableReader reader(contents, options, settings);
        std::uint64_t reported = 0;
        for (;;) {
            char* text = nullptr;
            char* end = nullptr;
            bool ended = false;
            if (!blocks.next(text, end, ended)) return refusal("the file cannot be read");
            if (!reader.take(text, end)) break;
            if (ended) {
                reader.finish();
                break;
            }
            if (progress != nullptr && blocks.bytesRead() - reported >= progressInterval) {
                progress(reader.values(), context);
                reported = blocks.bytesRead();
            }
        }
        if (reader.refused()) return refusal(contents.cause);
    } catch (const std::bad_alloc&) {
        return refusal(noMemoryCause);
    }
    contents.opened = true;
    return contents;
}
