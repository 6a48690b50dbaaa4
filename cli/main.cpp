// tarquel-cli: the calculation run from the command line.
//
// Inputs get the same checks as in the desktop program's dialog; the run is
// the same engine call. Exit status: 0 results printed, 1 the run refused the
// data or gamma, 2 bad usage or a refused input, 3 the report not written,
// 4 the iteration was stopped (time-out, Ctrl-C) before it ended by itself,
// 5 standard output could not be written; when several apply, the largest.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "cli/terminal_front_end.h"
#include "datafiles/number_text.h"
#include "datafiles/report.h"
#include "run/analysis_state.h"
#include "run/calculation_run.h"
#include "run/input_checks.h"
#include "tarquel_version.h"

namespace {

enum ExitStatus : int {
    exitResults = 0,
    exitRefused = 1,
    exitUsage = 2,
    exitReport = 3,
    exitStopped = 4,
    exitOutput = 5,
};

constexpr char programName[] = "tarquel-cli";

constexpr char usageText[] =
    "Usage: tarquel-cli [options] DATAFILE\n"
    "Fits a three-parameter Weibull distribution F(t) = 1 - exp(-(t - gamma)^m / t0)\n"
    "to the failure times in DATAFILE and prints m, t0, gamma, mu, xi, tm, sigma2.\n"
    "\n"
    "  -r, --rank N          plotting position 1..4 (default 1):\n"
    "                        1 i/(n+1)  2 (i-1)/(n-1)  3 (i-0.3)/(n+0.4)  4 (i-0.5)/n\n"
    "  -g, --gamma VALUE     typed location parameter (default: searched, as Auto Gamma)\n"
    "  -m, --initial-m VALUE start value of the shape iteration (default 1)\n"
    "  -o, --report FILE     also write the report file\n"
    "  -t, --timeout SEC     stop the iteration SEC seconds after it starts, as Stop does\n"
    "      --solver NAME     damped (default, the desktop program's iteration) or\n"
    "                        newton (the same root in far fewer passes)\n"
    "  -c, --censored        a status word after a value marks it: S or s suspended\n"
    "                        (right-censored), F or f failed (the default)\n"
    "  -q, --quiet           no progress monitor\n"
    "  -h, --help            show this help and exit\n"
    "      --version         show the version and exit\n"
    "\n"
    "Ctrl-C stops the iteration and prints the results for the point reached;\n"
    "a second Ctrl-C ends the program. Exit status: 0 results printed, 1 data or\n"
    "gamma refused, 2 bad usage or input, 3 report file not written, 4 iteration\n"
    "stopped (time-out or Ctrl-C): results for the point reached, not a finished\n"
    "fit, 5 standard output not written; when several apply, the largest.\n";

struct Options {
    const char* dataFile = nullptr;
    const char* rank = nullptr;
    const char* gamma = nullptr;
    const char* initialM = nullptr;
    const char* report = nullptr;
    const char* timeout = nullptr;
    const char* solver = nullptr;
    bool quiet = false;
    bool censored = false;
    bool help = false;
    bool version = false;
};

// Ctrl-C count; the handler only touches lock-free atomics.
std::atomic<int> interruptCount{0};

extern "C" void onInterrupt(int) {
    if (interruptCount.fetch_add(1, std::memory_order_relaxed) > 0) std::_Exit(130);
    analysisState.stopFlag.store(1, std::memory_order_relaxed);
    std::signal(SIGINT, onInterrupt);  // some runtimes reset the handler
}

int usageError(const char* format, const char* detail) {
    std::fprintf(stderr, "%s: ", programName);
    std::fprintf(stderr, format, detail);
    std::fprintf(stderr, "\nTry '%s --help'.\n", programName);
    return exitUsage;
}

// Options that take a value, by short and long name.
struct ValueOption {
    char shortName;
    const char* longName;
    const char* Options::*field;
};

constexpr ValueOption valueOptions[] = {
    {'r', "rank", &Options::rank},         {'g', "gamma", &Options::gamma},
    {'m', "initial-m", &Options::initialM}, {'o', "report", &Options::report},
    {'t', "timeout", &Options::timeout},   {'\0', "solver", &Options::solver},
};

const ValueOption* findShort(char name) {
    for (const ValueOption& o : valueOptions) {
        if (o.shortName != '\0' && o.shortName == name) return &o;
    }
    return nullptr;
}

const ValueOption* findLong(const char* name, std::size_t length) {
    for (const ValueOption& o : valueOptions) {
        if (std::strlen(o.longName) == length && std::strncmp(o.longName, name, length) == 0) return &o;
    }
    return nullptr;
}

// Parses argv into `options`; returns exitResults or exitUsage.
int parseArguments(int argc, char** argv, Options& options) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (optionsEnded || arg[0] != '-' || arg[1] == '\0') {
            if (options.dataFile != nullptr) return usageError("more than one data file: '%s'", arg);
            options.dataFile = arg;
            continue;
        }
        if (std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            options.help = true;
            continue;
        }
        if (std::strcmp(arg, "--version") == 0) {
            options.version = true;
            continue;
        }
        if (std::strcmp(arg, "-q") == 0 || std::strcmp(arg, "--quiet") == 0) {
            options.quiet = true;
            continue;
        }
        if (std::strcmp(arg, "-c") == 0 || std::strcmp(arg, "--censored") == 0) {
            options.censored = true;
            continue;
        }
        const ValueOption* option = nullptr;
        const char* value = nullptr;
        if (arg[1] == '-') {
            const char* name = arg + 2;
            const char* equals = std::strchr(name, '=');
            const std::size_t length = equals ? static_cast<std::size_t>(equals - name) : std::strlen(name);
            option = findLong(name, length);
            if (equals != nullptr) value = equals + 1;
        } else {
            option = findShort(arg[1]);
            if (arg[2] != '\0') value = arg + 2;
        }
        if (option == nullptr) return usageError("unknown option '%s'", arg);
        if (value == nullptr) {
            if (i + 1 >= argc) return usageError("option '%s' needs a value", arg);
            value = argv[++i];
        }
        options.*(option->field) = value;
    }
    return exitResults;
}

// The dialog's checks on the data file name; stores it on success.
int acceptDataFile(const char* name) {
    if (name == nullptr || name[0] == '\0') return usageError("%sno data file given", "");
    if (std::strlen(name) >= sizeof analysisState.dataFilePath) {
        return usageError("DATAFILE: the name is longer than %s characters", "511");
    }
    if (hasWildcard(name)) return usageError("DATAFILE '%s': the name holds a wildcard ('*' or '?')", name);
    struct stat info {};
    if (stat(name, &info) != 0) return usageError("DATAFILE '%s': no such file", name);
    if ((info.st_mode & S_IFMT) == S_IFDIR) return usageError("DATAFILE '%s': is a directory", name);
    std::memcpy(analysisState.dataFilePath, name, std::strlen(name) + 1);
    return exitResults;
}

int acceptRank(const char* text) {
    if (text == nullptr) {
        analysisState.rankMethod = 1;
        return exitResults;
    }
    if (std::strlen(text) != 1 || text[0] < '1' || text[0] > '4') {
        return usageError("--rank: '%s' is not a plotting position 1, 2, 3 or 4", text);
    }
    analysisState.rankMethod = text[0] - '0';
    return exitResults;
}

int acceptGamma(const char* text) {
    if (text == nullptr) {
        analysisState.autoGamma = 1;
        return exitResults;
    }
    if (text[0] == '\0') return usageError("--gamma: %sthe value is empty", "");
    if (!isEntryText(text, true)) {
        return usageError("--gamma: '%s' is not a number (digits, '.', 'e' or 'E', a leading '-')", text);
    }
    analysisState.autoGamma = 0;
    analysisState.result.gamma = textToNumber(text);
    return exitResults;
}

int acceptInitialM(const char* text) {
    if (text == nullptr) {
        analysisState.initialM = 1;
        return exitResults;
    }
    if (text[0] == '\0') return usageError("--initial-m: %sthe value is empty", "");
    if (!isEntryText(text, false)) {
        return usageError("--initial-m: '%s' is not a number (digits, '.', 'e' or 'E')", text);
    }
    analysisState.initialM = textToNumber(text);
    if (!isUsableInitialM(analysisState.initialM)) return usageError("--initial-m: '%s' is not above 0", text);
    return exitResults;
}

int acceptReport(const char* path) {
    if (path == nullptr) return exitResults;
    if (path[0] == '\0') return usageError("--report: %sthe file name is empty", "");
    if (std::strlen(path) >= sizeof analysisState.reportFilePath) {
        return usageError("--report: the file name is longer than %s characters", "511");
    }
    // Compared by identity, so that a link or another spelling of the data
    // file's name is caught too; a report that does not exist yet is new.
    std::error_code error;
    if (std::filesystem::equivalent(path, analysisState.dataFilePath, error)) {
        return usageError("--report: '%s' is the data file itself", path);
    }
    std::memcpy(analysisState.reportFilePath, path, std::strlen(path) + 1);
    return exitResults;
}

int acceptSolver(const char* name) {
    analysisState.solver = ShapeSolver::damped;
    if (name == nullptr || std::strcmp(name, "damped") == 0) return exitResults;
    if (std::strcmp(name, "newton") == 0) {
        analysisState.solver = ShapeSolver::newton;
        return exitResults;
    }
    return usageError("--solver: '%s' is not damped or newton", name);
}

int parseTimeout(const char* text, double& seconds) {
    seconds = 0;
    if (text == nullptr) return exitResults;
    const char* end = text + std::strlen(text);
    const std::from_chars_result r = std::from_chars(text, end, seconds);
    if (r.ec != std::errc() || r.ptr != end || !(seconds > 0) || !std::isfinite(seconds)) {
        return usageError("--timeout: '%s' is not a number of seconds above 0", text);
    }
    return exitResults;
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

void cancelStopTimer(StopTimer& timer) {
    if (!timer.thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(timer.mutex);
        timer.cancelled = true;
    }
    timer.wake.notify_one();
    timer.thread.join();
}

void reportSolveEnding(bool timedOut, const char* timeout) {
    switch (analysisState.solveEnding) {
        case SolveEnding::fixedPoint:
            std::fprintf(stderr,
                         "%s: the iteration settled where a further step leaves m and g(m) unchanged; "
                         "results are for that point\n",
                         programName);
            break;
        case SolveEnding::stopped:
            if (timedOut) {
                std::fprintf(stderr, "%s: stopped after %s s; results are for the point reached\n", programName,
                             timeout);
            } else {
                std::fprintf(stderr, "%s: stopped; results are for the point reached\n", programName);
            }
            break;
        case SolveEnding::bound:
            std::fprintf(stderr, "%s: the iteration diverged (|m| > 1e154)\n", programName);
            break;
        case SolveEnding::notRun:
        case SolveEnding::rootFound:
        case SolveEnding::converged:
            break;
    }
}

int acceptInputs(const Options& options) {
    int status = acceptDataFile(options.dataFile);
    if (status == exitResults) status = acceptRank(options.rank);
    if (status == exitResults) status = acceptGamma(options.gamma);
    if (status == exitResults) status = acceptInitialM(options.initialM);
    if (status == exitResults) status = acceptReport(options.report);
    if (status == exitResults) status = acceptSolver(options.solver);
    return status;
}

// Status words without --censored are read as text after the number.
void warnAboutStatusWords(const Options& options) {
    if (options.censored || analysisState.suspendedMarks == 0) return;
    std::fprintf(stderr,
                 "%s: %lu values are marked suspended (S) but were read as failures; "
                 "--censored treats them as suspensions\n",
                 programName, static_cast<unsigned long>(analysisState.suspendedMarks));
}

StopTimer stopTimer;
double timeoutSeconds = 0;

// The time-out counts from the start of the iteration: reading and the
// location search of a large sample do not eat into it.
void startTimeoutClock() {
    if (timeoutSeconds > 0 && !stopTimer.thread.joinable()) startStopTimer(stopTimer, timeoutSeconds);
}

// Prints the result lines and writes the report; returns the exit status.
int writeResults(const Options& options) {
    int status = analysisState.solveEnding == SolveEnding::stopped ? exitStopped : exitResults;
    const bool printed = writeResultLines(stdout, currentReport());
    if (!printed || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "%s: cannot write the results to standard output: %s\n", programName,
                     std::strerror(errno));
        status = exitOutput;
    }
    if (options.report != nullptr && !writeReport(analysisState.reportFilePath, currentReport())) {
        std::fprintf(stderr, "%s: cannot write the report file '%s': %s\n", programName,
                     analysisState.reportFilePath, std::strerror(errno));
        status = std::max(status, static_cast<int>(exitReport));
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (parseArguments(argc, argv, options) != exitResults) return exitUsage;
    if (options.help) {
        std::fputs(usageText, stdout);
        return exitResults;
    }
    if (options.version) {
        std::puts("tarquel-cli (Tarquel) " TARQUEL_VERSION_TEXT);
        return exitResults;
    }
    if (acceptInputs(options) != exitResults) return exitUsage;
    if (parseTimeout(options.timeout, timeoutSeconds) != exitResults) return exitUsage;

    analysisState.stopFlag.store(0, std::memory_order_relaxed);
    analysisState.censored = options.censored ? 1 : 0;
    terminalFrontEnd.monitorEnabled = !options.quiet && isatty(fileno(stderr)) != 0;
    terminalFrontEnd.dampedSolver = analysisState.solver == ShapeSolver::damped;
    terminalFrontEnd.onIterationStart = startTimeoutClock;
    std::signal(SIGINT, onInterrupt);

    runCalculation();
    cancelStopTimer(stopTimer);
    std::signal(SIGINT, SIG_DFL);

    warnAboutStatusWords(options);
    if (terminalFrontEnd.runRefused) return exitRefused;
    reportSolveEnding(stopTimer.fired, options.timeout);
    return writeResults(options);
}
