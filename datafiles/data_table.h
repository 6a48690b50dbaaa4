// A delimited table (comma, semicolon or tab separated, quoted fields as in
// RFC 4180) read for the failure times in one of its columns.
#pragma once

#include "datafiles/data_file.h"

// Reads options.column of the table at `path` (readData calls it when a
// column is given), in one pass, with the text mode of the line reader (CR
// LF, Ctrl-Z, byte-order mark).
//
// Columns are named by the header line or numbered from 1. The header line
// is the first line that is not blank; with every column given by number,
// it is a header only when its cell in the time column is not a number
// (else it is the first data row). The delimiter is options.delimiter, or
// the one of ',', ';' and tab (not ',' with decimalComma) found most often
// outside quotes in the header line (',' when none is; ';' with
// decimalComma). Fields may be quoted ("..."; "" is a quote inside); blanks
// and tabs around a cell are dropped. Lines with every field blank are
// skipped; every other line gives a value.
//
// The time cell must be an unsigned decimal number (digits, at most one
// point, an optional exponent with e, E, d or D), all of the cell; with
// decimalComma its commas are points. It is converted by textToNumber, so a
// table gives the same bits as a plain file with the same numbers. The
// status cell is S, F, suspended or failed (any case), 0 (suspended) or 1
// (failed); the count cell a whole number above 0, the value then stored
// that many times. Anything else refuses the file, the cause naming the line
// and column ("line 17, column hours: '1,250' is not a number").
DataFileContents readDataTable(const char* path, const ReadOptions& options, const ReadSettings& settings,
                               ReadProgress progress, void* context);
