// The seam between the run and whatever shows its progress.
//
// The run never includes a platform header. These functions are all it
// needs from a screen; each front end links exactly one implementation: the
// Windows program with window texts, message boxes and SendMessage, the
// command line with the terminal, and the tests with a recorder.
#pragma once

#include <cstdint>

// Field of the Newton monitor.
enum MonitorField : int { monitorM = 0, monitorG = 1 };

// The phases of a run, for front ends that show how far a long run is.
enum class RunPhase : int {
    reading,    // count: values read so far
    sorting,    // count: values being sorted
    searching,  // count: halvings of the gamma bracket so far
    iterating,  // count: outer steps of the shape iteration so far (0 as it starts)
};

// Replaces the text of a monitor field (the trial m, then its g(m)).
void showMonitorText(MonitorField field, const char* text);

// Replaces the text of result field `index`, 0..6 in FitResult order
// (m, t0, gamma, mu, xi, tm, sigma2).
void showResultText(int index, const char* text);

// Shows a run error and returns when the user has acknowledged it.
void showRunError(const char* text, const char* caption);

// Milliseconds since an arbitrary start, wrapping at 2^32.
std::uint32_t readTickCount();

// Tells the front end which phase the run is in and how far it has got.
void showRunPhase(RunPhase phase, std::uint64_t count);

// Tells the front end that the run is over; returns once it has handled it.
void reportRunDone();
