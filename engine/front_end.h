// The seam between the engine and whatever shows its progress.
//
// The engine never includes a platform header. These five functions are all
// it needs from a screen; each front end links exactly one implementation:
// the Windows program with window texts, message boxes and SendMessage, the
// command line with the terminal, and the tests with a recorder.
#pragma once

#include <cstdint>

// Field of the Newton monitor.
enum MonitorField : int { monitorM = 0, monitorG = 1 };

// Replaces the text of a monitor field (the trial m, then its g(m)).
void showMonitorText(MonitorField field, const char* text);

// Replaces the text of result field `index`, 0..6 in FitResult order
// (m, t0, gamma, mu, xi, tm, sigma2).
void showResultText(int index, const char* text);

// Shows a run error and returns when the user has acknowledged it.
void showRunError(const char* text, const char* caption);

// Milliseconds since an arbitrary start, wrapping at 2^32.
std::uint32_t readTickCount();

// Tells the front end that the run is over; returns once it has handled it.
void reportRunDone();
