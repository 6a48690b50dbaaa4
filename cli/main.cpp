// tarquel-cli: the calculation run from the command line.
//
// Inputs get the same checks as in the desktop program's dialog; each data
// file is fitted by the same engine call, in turn, with the same options.
// Exit status: 0 results printed, 1 the run refused the data or gamma, 2 bad
// usage or a refused input, 3 the report or plot not written, 4 the
// iteration, the likelihood location's search or the comparison was stopped
// (time-out, Ctrl-C) before it ended by itself, 5
// standard output could not be written, 6 results printed but the point
// reached is no valid fit; when several apply, the largest, over all files.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
#include "plot/run_plot.h"
#include "run/calculation_run.h"
#include "run/run_outputs.h"

namespace {

// The stop flag of the runs: Ctrl-C sets it. Its handler only touches
// lock-free atomics.
std::atomic<int> stopFlag{0};
std::atomic<int> interruptCount{0};

extern "C" void onInterrupt(int) {
    if (interruptCount.fetch_add(1, std::memory_order_relaxed) > 0) std::_Exit(130);
    stopFlag.store(1, std::memory_order_relaxed);
    std::signal(SIGINT, onInterrupt);  // some runtimes reset the handler
}

// A file name as the terminal may show it: control characters (escape
// sequences, line ends) as \xHH, so that a name cannot move the cursor or
// forge a line.
std::string printableName(const std::string& name) {
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

// The inputs of the run of data file `index`.
RunInputs inputsOf(const CommandLine& line, std::size_t index) {
    RunInputs in;
    in.dataFilePath = line.dataFiles[index];
    in.read = line.read;
    in.rankMethod = line.rankMethod;
    in.autoGamma = line.autoGamma;
    in.gamma = line.gamma;
    in.initialM = line.initialM;
    in.solver = line.solver;
    in.confidence = line.confidence;
    in.refuseZeroSpread = true;
    in.stopFlag = &stopFlag;
    in.timeoutSeconds = line.timeoutSeconds;
    in.life = line.life;
    in.lifeOptionsNamed = line.lifeOptionsNamed;
    in.measureRootGap = true;
    in.gammaMethod = line.gammaMethod;
    in.shapeMethod = line.shapeMethod;
    in.compare = line.compare;
    return in;
}

// Writes `text` to standard output; false when it could not be written.
bool putOutput(const std::string& text) { return std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0; }

int outputFailed() {
    std::fprintf(stderr, "%s: cannot write the results to standard output: %s\n", programName, std::strerror(errno));
    return exitOutput;
}

// "FILE: " when several data files are fitted, else "".
std::string filePrefix(const CommandLine& line, const std::string& file) {
    return line.dataFiles.size() > 1 ? printableName(file) + ": " : std::string();
}

// A note on standard error, with the file's name when there are several.
void showNote(const CommandLine& line, const RunOutcome& run, const std::string& note) {
    std::fprintf(stderr, "%s: %s%s\n", programName, filePrefix(line, run.dataFile).c_str(), note.c_str());
}

// Prints the results in the chosen format (`first`: nothing printed before);
// returns exitResults or exitOutput.
int printResults(const CommandLine& line, const FitReport& report, bool first) {
    bool ok = true;
    switch (line.format) {
        case OutputFormat::text:
            if (!first) ok = std::fputs("\n", stdout) >= 0;  // a blank line between files
            ok = putOutput(resultsText(report)) && ok;
            break;
        case OutputFormat::json: ok = putOutput(reportJson(report) + "\n"); break;
        case OutputFormat::csv: ok = putOutput(reportCsvRow(report)); break;
    }
    return ok ? exitResults : outputFailed();
}

// Writes the report and the plot asked for; returns exitResults or exitReport.
int writeFiles(const CommandLine& line, std::size_t index, const RunOutcome& run) {
    int status = exitResults;
    const std::string& report = line.reportFiles[index];
    if (!report.empty() && !writeReport(report.c_str(), reportInputOf(run))) {
        std::fprintf(stderr, "%s: %scannot write the report file '%s': %s\n", programName,
                     filePrefix(line, run.dataFile).c_str(), printableName(report).c_str(), std::strerror(errno));
        status = exitReport;
    }
    const std::string plot = index < line.plotFiles.size() ? line.plotFiles[index] : std::string();
    // A comparison's plot is its small multiples, else the Weibull plot.
    if (!plot.empty() &&
        !(run.comparison.empty() ? writeWeibullPlotSvg(plot.c_str(), plotInputOfRun(run))
                                 : writeComparisonPlotSvg(plot.c_str(), comparisonPlotInputOfRun(run)))) {
        std::fprintf(stderr, "%s: %scannot write the plot file '%s'\n", programName,
                     filePrefix(line, run.dataFile).c_str(), printableName(plot).c_str());
        status = exitReport;
    }
    return status;
}

// The outputs of a refused file: "Caption: Text: cause" on standard error
// (after the program's and the file's name in a batch), and the JSON or CSV
// line; returns exitRefused or exitOutput.
int reportRefusal(const CommandLine& line, const RunOutcome& run) {
    const Refusal& refusal = run.refusal;
    if (line.dataFiles.size() > 1) std::fprintf(stderr, "%s: %s", programName, filePrefix(line, run.dataFile).c_str());
    std::fprintf(stderr, "%s: %s: %s\n", refusal.caption.c_str(), refusal.text.c_str(), refusal.cause.c_str());
    bool ok = true;
    if (line.format == OutputFormat::json) {
        ok = putOutput(refusalJson(run) + "\n");
    } else if (line.format == OutputFormat::csv) {
        ok = putOutput(refusalCsvRow(run));
    }
    return ok ? exitRefused : outputFailed();
}

// Fits data file `index` and writes its outputs; returns its exit status.
int runFile(const CommandLine& line, std::size_t index, TerminalFrontEnd& frontEnd, bool& printedBefore) {
    stopFlag.store(0, std::memory_order_relaxed);
    frontEnd.startFile(line.solver == ShapeSolver::damped, filePrefix(line, line.dataFiles[index]));
    const RunOutcome run = runCalculation(inputsOf(line, index), frontEnd);
    frontEnd.clearMonitorLine();
    if (!fitted(run)) return reportRefusal(line, run);

    const FitReport report{run, runWarnings(run)};
    for (const std::string& note : runNotes(report)) showNote(line, run, note);
    int status = runStopped(run) ? exitStopped : exitResults;
    if (!validFit(run)) status = std::max<int>(status, exitInvalid);
    status = std::max(status, printResults(line, report, !printedBefore));
    printedBefore = true;
    return std::max(status, writeFiles(line, index, run));
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (parseCommandLine(argc, argv, line) != exitResults) return exitUsage;
    if (line.finished) return exitResults;

    TerminalFrontEnd frontEnd;
    frontEnd.monitorEnabled = !line.quiet && isatty(fileno(stderr)) != 0;
    std::signal(SIGINT, onInterrupt);

    int status = exitResults;
    if (line.format == OutputFormat::csv && !putOutput(csvHeader(line.life))) status = outputFailed();
    bool printedBefore = false;
    for (std::size_t index = 0; index < line.dataFiles.size(); ++index) {
        status = std::max(status, runFile(line, index, frontEnd, printedBefore));
    }
    std::signal(SIGINT, SIG_DFL);
    return status;
}
