// The checks on typed inputs that the dialog and the command line share.
#pragma once

// True when `name` contains '?' or '*'.
bool hasWildcard(const char* name);

// True for a character the numeric entry fields let the user type: a digit,
// '.', 'e' or 'E'.
bool isEntryCharacter(char c);

// True when `text` could have been typed into a numeric entry field: only
// entry characters (after an optional leading '-' where allowed, as a pasted
// negative location) and at least one digit.
bool isEntryText(const char* text, bool allowLeadingMinus);

// The initial m is usable when it is above 0 (not a number is not).
bool isUsableInitialM(double m);
