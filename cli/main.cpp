// tarquel-cli: the calculation run from the command line.
//
// Inputs get the same checks as in the desktop program's dialog; each data
// file is fitted by the same engine call, in turn, with the same options.
// Exit status: 0 results printed, 1 the run refused the data or gamma, 2 bad
// usage or a refused input, 3 the report or plot not written, 4 the
// iteration was stopped (time-out, Ctrl-C) before it ended by itself, 5
// standard output could not be written; when several apply, the largest,
// over all files.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "cli/command_line.h"
#include "cli/terminal_front_end.h"
#include "datafiles/report.h"
#include "datafiles/result_formats.h"
#include "plot/run_plot.h"
#include "run/analysis_state.h"
#include "run/calculation_run.h"
#include "run/fit_summary.h"

namespace {

// Ctrl-C count; the handler only touches lock-free atomics.
std::atomic<int> interruptCount{0};

extern "C" void onInterrupt(int) {
    if (interruptCount.fetch_add(1, std::memory_order_relaxed) > 0) std::_Exit(130);
    analysisState.stopFlag.store(1, std::memory_order_relaxed);
    std::signal(SIGINT, onInterrupt);  // some runtimes reset the handler
}

// Beyond this a time-out cannot be told from none (over 31 years), and the
// clock's nanosecond count would overflow: the timer then only waits to be
// cancelled.
constexpr double longestTimeout = 1e9;

// Sets the stop flag after a time-out unless cancelled first.
struct StopTimer {
    std::mutex mutex;
    std::condition_variable wake;
    bool cancelled = false;
    bool fired = false;
    std::thread thread;
};

void startStopTimer(StopTimer& timer, double seconds) {
    timer.thread = std::thread([&timer, seconds] {
        std::unique_lock<std::mutex> lock(timer.mutex);
        const auto cancelled = [&timer] { return timer.cancelled; };
        if (seconds > longestTimeout) {
            timer.wake.wait(lock, cancelled);
            return;
        }
        const auto limit = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(seconds));
        if (!timer.wake.wait_for(lock, limit, cancelled)) {
            timer.fired = true;
            analysisState.stopFlag.store(1, std::memory_order_relaxed);
        }
    });
}

// Ends the timer's thread and readies the timer for the next file.
void cancelStopTimer(StopTimer& timer) {
    if (timer.thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(timer.mutex);
            timer.cancelled = true;
        }
        timer.wake.notify_one();
        timer.thread.join();
    }
    timer.cancelled = false;
}

StopTimer stopTimer;
double timeoutSeconds = 0;

// The time-out counts from the start of the iteration: reading and the
// location search of a large sample do not eat into it.
void startTimeoutClock() {
    if (timeoutSeconds > 0 && !stopTimer.thread.joinable()) startStopTimer(stopTimer, timeoutSeconds);
}

// The note on an iteration that did not end by converging, or "". A fixed
// point is where the iteration ends by itself at the limit of precision: it
// is said on standard error but is no warning about the numbers.
std::string solveEndingNote(bool timedOut, const std::string& timeout) {
    switch (analysisState.solveEnding) {
        case SolveEnding::stopped:
            if (timedOut) return "stopped after " + timeout + " s; results are for the point reached";
            return "stopped; results are for the point reached";
        case SolveEnding::bound:
            return "the iteration diverged (|m| > 1e154)";
        case SolveEnding::fixedPoint:
        case SolveEnding::notRun:
        case SolveEnding::rootFound:
        case SolveEnding::converged:
            break;
    }
    return "";
}

constexpr char fixedPointNote[] =
    "the iteration settled where a further step leaves m and g(m) unchanged; results are for that point";

// Sets the record for the run of data file `index`.
void prepareRun(const CommandLine& line, std::size_t index) {
    clearRunResults();
    AnalysisState& state = analysisState;
    const std::string& file = line.dataFiles[index];
    std::memcpy(state.dataFilePath, file.c_str(), file.size() + 1);
    const std::string& report = line.reportFiles[index];
    std::memcpy(state.reportFilePath, report.c_str(), report.size() + 1);
    state.rankMethod = line.rankMethod;
    state.autoGamma = line.autoGamma ? 1 : 0;
    state.result.gamma = line.gamma;
    state.initialM = line.initialM;
    state.solver = line.solver;
    state.censored = line.censored ? 1 : 0;
    terminalFrontEnd.runRefused = false;
    terminalFrontEnd.errorPrefix = line.dataFiles.size() > 1 ? file : std::string();
}

// Writes `text` to standard output; false when it could not be written.
bool putOutput(const std::string& text) {
    return std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
}

int outputFailed() {
    std::fprintf(stderr, "%s: cannot write the results to standard output: %s\n", programName,
                 std::strerror(errno));
    return exitOutput;
}

// A note on standard error, with the file's name when there are several.
void showNote(const CommandLine& line, const std::string& note) {
    if (line.dataFiles.size() > 1) {
        std::fprintf(stderr, "%s: %s: %s\n", programName, analysisState.dataFilePath, note.c_str());
    } else {
        std::fprintf(stderr, "%s: %s\n", programName, note.c_str());
    }
}

// Prints the results in the chosen format (`first`: nothing printed before);
// returns exitResults or exitOutput.
int printResults(const CommandLine& line, const FitSummary& summary, bool first) {
    bool ok = true;
    switch (line.format) {
        case OutputFormat::text: {
            const ReportInput input = currentReport();
            if (!first) ok = std::fputs("\n", stdout) >= 0;  // a blank line between files
            ok = writeResultLines(stdout, input) && ok;
            ok = writeQualityLines(stdout, summary) && ok;
            ok = std::fflush(stdout) == 0 && ok;
            break;
        }
        case OutputFormat::json: ok = putOutput(summaryJson(summary) + "\n"); break;
        case OutputFormat::csv: ok = putOutput(summaryCsvRow(summary)); break;
    }
    return ok ? exitResults : outputFailed();
}

// Writes the report and the plot asked for; returns exitResults or exitReport.
int writeFiles(const CommandLine& line, const FitSummary& summary) {
    int status = exitResults;
    const AnalysisState& state = analysisState;
    if (state.reportFilePath[0] != '\0' && !writeReport(state.reportFilePath, currentReport())) {
        std::fprintf(stderr, "%s: cannot write the report file '%s': %s\n", programName, state.reportFilePath,
                     std::strerror(errno));
        status = exitReport;
    }
    if (!line.plotFile.empty()) {
        const FitQuality& q = summary.quality;
        PlotInput plot = plotInputOfRun(state);
        plot.r2 = q.r2;
        plot.hasB10Bounds = line.confidenceGiven;
        plot.b10Lo = q.b10Bounds.lo;
        plot.b10Hi = q.b10Bounds.hi;
        plot.confidence = line.confidence;
        if (!writeWeibullPlotSvg(line.plotFile.c_str(), plot)) {
            std::fprintf(stderr, "%s: cannot write the plot file '%s'\n", programName, line.plotFile.c_str());
            status = exitReport;
        }
    }
    return status;
}

// The outputs of a refused file; returns exitRefused or exitOutput.
int reportRefusal(const CommandLine& line) {
    const std::string file = analysisState.dataFilePath;
    bool ok = true;
    if (line.format == OutputFormat::json) {
        ok = putOutput(refusalJson(file, terminalFrontEnd.errorCaption, terminalFrontEnd.errorText) + "\n");
    } else if (line.format == OutputFormat::csv) {
        ok = putOutput(refusalCsvRow(file));
    }
    return ok ? exitRefused : outputFailed();
}

// Fits data file `index` and writes its outputs; returns its exit status.
int runFile(const CommandLine& line, std::size_t index, bool& printedBefore) {
    prepareRun(line, index);
    runCalculation();
    cancelStopTimer(stopTimer);
    const bool timedOut = stopTimer.fired;
    stopTimer.fired = false;
    if (terminalFrontEnd.runRefused) return reportRefusal(line);

    FitSummary summary = summarizeLastRun(line.confidence, timedOut);
    const std::string note = solveEndingNote(timedOut, line.timeoutText);
    if (!note.empty()) summary.warnings.insert(summary.warnings.begin(), note);
    if (!line.censored && analysisState.suspendedMarks > 0) {
        // Status words without --censored are text after the number.
        summary.warnings.push_back(std::to_string(analysisState.suspendedMarks) +
                                   " values are marked suspended (S) but were read as failures; "
                                   "--censored treats them as suspensions");
    }
    if (analysisState.solveEnding == SolveEnding::fixedPoint) showNote(line, fixedPointNote);
    for (const std::string& warning : summary.warnings) showNote(line, warning);
    int status = analysisState.solveEnding == SolveEnding::stopped ? exitStopped : exitResults;
    status = std::max(status, printResults(line, summary, !printedBefore));
    printedBefore = true;
    return std::max(status, writeFiles(line, summary));
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (parseCommandLine(argc, argv, line) != exitResults) return exitUsage;
    if (line.finished) return exitResults;

    timeoutSeconds = line.timeoutSeconds;
    terminalFrontEnd.monitorEnabled = !line.quiet && isatty(fileno(stderr)) != 0;
    terminalFrontEnd.dampedSolver = line.solver == ShapeSolver::damped;
    terminalFrontEnd.onIterationStart = startTimeoutClock;
    std::signal(SIGINT, onInterrupt);

    int status = exitResults;
    if (line.format == OutputFormat::csv && !putOutput(csvHeader())) status = outputFailed();
    bool printedBefore = false;
    for (std::size_t index = 0; index < line.dataFiles.size(); ++index) {
        status = std::max(status, runFile(line, index, printedBefore));
    }
    std::signal(SIGINT, SIG_DFL);
    return status;
}
