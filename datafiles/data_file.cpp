// The data file reader.
//
// The file is read in binary and the platform's text mode is emulated, so the
// same bytes give the same sample everywhere: a carriage return directly
// before a line feed is dropped, and a Ctrl-Z byte ends the text. A UTF-8
// byte-order mark at the very start is skipped. The text is cut into pieces
// as a 256-byte line buffer would cut it (at most 255 characters, ending
// after a line feed), and each piece is one line as far as classification
// and conversion go. Two passes: count, allocate once, convert.
#include "datafiles/data_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "datafiles/number_text.h"

namespace {

constexpr int ctrlZ = 0x1A;

// A read-only text stream over a FILE opened in binary mode.
struct TextReader {
    std::FILE* file;
    bool ended;  // Ctrl-Z or end of file seen
};

void skipByteOrderMark(std::FILE* file) {
    unsigned char mark[3] = {0, 0, 0};
    const std::size_t got = std::fread(mark, 1, 3, file);
    if (got == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) return;
    std::rewind(file);
}

void restart(TextReader& reader) {
    std::rewind(reader.file);  // also clears the end-of-file and error state
    reader.ended = false;
    skipByteOrderMark(reader.file);
}

// The next character of the text, or EOF.
int nextChar(TextReader& reader) {
    if (reader.ended) return EOF;
    int c = std::getc(reader.file);
    if (c == '\r') {
        const int following = std::getc(reader.file);
        if (following == '\n') return '\n';
        if (following != EOF) std::ungetc(following, reader.file);
        return '\r';
    }
    if (c == EOF || c == ctrlZ) {
        reader.ended = true;
        return EOF;
    }
    return c;
}

// Reads the next piece into `piece`; false when the text is exhausted.
bool nextPiece(TextReader& reader, char (&piece)[pieceBufferSize]) {
    int length = 0;
    while (length < pieceBufferSize - 1) {
        const int c = nextChar(reader);
        if (c == EOF) break;
        piece[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    piece[length] = '\0';
    return length > 0;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool isDataLine(const char* piece) {
    const char* p = piece;
    while (*p == ' ' || *p == '\t') ++p;
    const char c = *p;
    if (c == '\0') return true;  // blanks only, and no line feed
    if (isDigit(c)) return true;
    if (c == '.' || c == 'e' || c == 'E') return isDigit(p[1]);
    return false;
}

DataFileContents readDataFile(const char* path, bool /*censored*/, ReadProgress, void*) {
    DataFileContents contents;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return contents;
    TextReader reader{file, false};
    char piece[pieceBufferSize];
    restart(reader);
    while (nextPiece(reader, piece)) {
        if (isDataLine(piece) && contents.times.size() < UINT32_MAX) contents.times.push_back(textToNumber(piece));
    }
    std::fclose(file);
    contents.opened = true;
    return contents;
}
