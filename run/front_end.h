// The seam between the run and whatever shows its progress.
//
// The run never includes a platform header. A front end shows what the run
// tells it and nothing comes back through it: the outcome of a run is the
// run's return value. The Windows program shows the texts in its dialog's
// fields, the command line on the terminal, the tests and library callers
// nowhere (the base class shows nothing).
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

class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // Replaces the text of a monitor field (the trial m, then its g(m)).
    virtual void showMonitorText(MonitorField /*field*/, const char* /*text*/) {}

    // Replaces the text of result field `index`, 0..6 in FitResult order
    // (m, t0, gamma, mu, xi, tm, sigma2).
    virtual void showResultText(int /*index*/, const char* /*text*/) {}

    // Tells which phase the run is in and how far it has got.
    virtual void showRunPhase(RunPhase /*phase*/, std::uint64_t /*count*/) {}

    // Milliseconds since an arbitrary start, wrapping at 2^32: paces the
    // monitor (a trial point at most every 500 ms). 0 forever shows none.
    virtual std::uint32_t readTickCount() { return 0; }
};
