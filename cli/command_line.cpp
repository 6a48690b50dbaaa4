// Options: one CLI11 declaration each (the help text is generated from
// them); every value is taken as text and checked here with the messages of
// the dialog's checks, so that the inputs the dialog refuses are refused
// alike. CLI11 reports errors by exceptions; they are caught right at the
// parse call and turned into usage messages.
#include "cli/command_line.h"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <set>

#include "datafiles/number_text.h"
#include "run/input_checks.h"
#include "tarquel_version.h"

namespace {

// The longest name the record's 512-byte path fields hold.
constexpr std::size_t longestPath = 511;

constexpr char usageLine[] = "Usage: tarquel-cli [options] DATAFILE...\n";

constexpr char description[] =
    "Fits a three-parameter Weibull distribution F(t) = 1 - exp(-(t - gamma)^m / t0)\n"
    "to the failure times in each DATAFILE and prints m, t0, gamma, mu, xi, tm, sigma2,\n"
    "then eta, the log-likelihood, r2, A2, B1, B10, B50 and Fisher-matrix bounds\n"
    "(or the B-lives, reliabilities and bounds the options ask for).\n";

constexpr char footer[] =
    "Several data files are fitted in turn with the same options. Ctrl-C stops the\n"
    "running iteration and prints the results for the point reached; a second\n"
    "Ctrl-C ends the program. Exit status: 0 results printed, 1 data or gamma\n"
    "refused, 2 bad usage or input, 3 report or plot file not written, 4 iteration,\n"
    "likelihood location search or comparison stopped (time-out or Ctrl-C): results\n"
    "for the point reached, not a finished fit, no ranking, 5 standard output not\n"
    "written; when several apply, the largest, over all data files.";

// The usage line and the description first; the data files are named there.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string) const override { return std::string(usageLine) + description; }
    std::string make_description(const CLI::App*) const override { return ""; }
    std::string make_positionals(const CLI::App*) const override { return ""; }
};

// The option values as typed; `given` tells which appeared.
struct RawOptions {
    std::vector<std::string> files;
    std::string rank, gamma, initialM, report, reportDir, timeout, solver, format, confidence, plot;
    std::string column, delimiter, statusColumn, countColumn;
    std::string at, bLife, sided, bounds, plotDir;
    bool quiet = false;
    bool censored = false;
    bool counts = false;
    bool decimalComma = false;
    bool version = false;
};

struct Declared {
    CLI::Option *rank, *gamma, *initialM, *report, *reportDir, *timeout, *solver, *format, *confidence, *plot;
    CLI::Option *column, *delimiter, *statusColumn, *countColumn;
    CLI::Option *at, *bLife, *sided, *bounds, *plotDir;
};

Declared declareOptions(CLI::App& app, RawOptions& raw) {
    app.formatter(std::make_shared<HelpFormatter>());
    app.get_formatter()->column_width(24);
    app.footer(footer);
    app.allow_extras();  // unknown options are reported below, by name
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.set_help_flag("-h,--help", "show this help and exit");
    Declared d{};
    d.rank = app.add_option("-r,--rank", raw.rank,
                            "plotting position 1..4 (default 1):\n"
                            "1 i/(n+1)  2 (i-1)/(n-1)  3 (i-0.3)/(n+0.4)  4 (i-0.5)/n")
                 ->type_name("N");
    d.gamma = app.add_option("-g,--gamma", raw.gamma, "typed location parameter (default: searched,\nas Auto Gamma)")
                  ->type_name("VALUE");
    d.initialM = app.add_option("-m,--initial-m", raw.initialM, "start value of the shape iteration (default 1)")
                     ->type_name("VALUE");
    d.report = app.add_option("-o,--report", raw.report, "also write the report file (one data file only)")
                   ->type_name("FILE");
    d.reportDir = app.add_option("--report-dir", raw.reportDir,
                                 "write the report of each data file as DIR/NAME.txt\n"
                                 "(NAME: the data file's name without its extension)")
                      ->type_name("DIR");
    d.timeout = app.add_option("-t,--timeout", raw.timeout,
                               "stop the iterations SEC seconds after the first\nstarts, as Stop does")
                    ->type_name("SEC");
    d.solver = app.add_option("--solver", raw.solver,
                              "newton (default: Newton's method in a bracket) or\n"
                              "damped (the desktop program's iteration and digits)")
                   ->type_name("NAME");
    d.format = app.add_option("--format", raw.format,
                              "text (default), json (one object per line) or\n"
                              "csv (a header row, then one row per data file)")
                   ->type_name("FORMAT");
    d.confidence = app.add_option("--confidence", raw.confidence, "level of the bounds, 0 < C < 1 (default 0.9)")
                       ->type_name("C");
    d.plot = app.add_option("--plot", raw.plot,
                            "also write the Weibull plot as an SVG file\n(one data file only; with --compare "
                            "the\ncomparison's small multiples)")
                 ->type_name("FILE");
    d.plotDir = app.add_option("--plot-dir", raw.plotDir, "write the plot of each data file as DIR/NAME.svg")
                    ->type_name("DIR");
    d.at = app.add_option("--at", raw.at, "reliability R(T) and its bounds at each time T")->type_name("T[,T...]");
    d.bLife = app.add_option("--b-life", raw.bLife,
                             "B-lives with bounds at these percentages, 0 < P < 100\n"
                             "(default 1,10,50 with bounds on B10)")
                  ->type_name("P[,P...]");
    d.sided = app.add_option("--sided", raw.sided, "two (default), lower or upper: which bounds")->type_name("SIDES");
    d.bounds = app.add_option("--bounds", raw.bounds,
                              "fisher (default, Fisher matrix) or likelihood\n"
                              "(likelihood ratio), gamma held fixed")
                   ->type_name("METHOD");
    app.add_flag("-c,--censored", raw.censored,
                 "a status word after a value marks it: S or s suspended\n"
                 "(right-censored), F or f failed (the default)");
    app.add_flag("--counts", raw.counts,
                 "a second number on a data line counts the units with\n"
                 "that value ('1500 12 S': 12 units suspended at 1500);\n"
                 "a whole number above 0, a status word may follow");
    d.column = app.add_option("--column", raw.column,
                              "read the times from this column of a table (comma,\n"
                              "semicolon or tab delimited, quotes as in CSV): its\n"
                              "name in the header line, or its number from 1")
                   ->type_name("NAME|N");
    d.delimiter = app.add_option("--delimiter", raw.delimiter,
                                 "the table's delimiter: , ; or tab (default: the one\n"
                                 "found in the header line)")
                      ->type_name("C");
    d.statusColumn = app.add_option("--status-column", raw.statusColumn,
                                    "the table's status column: S or suspended or 0 for a\n"
                                    "suspension, F or failed or 1 for a failure (any case);\n"
                                    "implies --censored")
                         ->type_name("NAME|N");
    d.countColumn = app.add_option("--count-column", raw.countColumn, "the table's column of counts, as --counts")
                        ->type_name("NAME|N");
    app.add_flag("--decimal-comma", raw.decimalComma,
                 "the table's numbers have a decimal comma (12,5 is\n"
                 "12.5); the delimiter is then ; or tab");
    app.add_flag("-q,--quiet", raw.quiet, "no progress monitor");
    app.add_flag("--version", raw.version, "show the version and exit");
    app.add_option("DATAFILE", raw.files, "data files");
    return d;
}

int usageError(const char* format, const char* detail) {
    std::fprintf(stderr, "%s: ", programName);
    std::fprintf(stderr, format, detail);
    std::fprintf(stderr, "\nTry '%s --help'.\n", programName);
    return exitUsage;
}

// The arguments for CLI11, last first (its vector interface takes them in
// reverse). "--name=VALUE" and "-n=VALUE" become the option and its value
// (CLI11 would take "-n=VALUE" as the value "=VALUE"). An empty value after
// the '=' is refused for every option (CLI11 would take the next argument
// instead), and so is any value for a flag. Returns exitResults, or
// exitUsage after the message.
int argumentsFor(const CLI::App& app, int argc, char** argv, std::vector<std::string>& args) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        optionsEnded = optionsEnded || arg == "--";
        const std::size_t equals = arg.find('=');
        const bool longName = arg.compare(0, 2, "--") == 0 && equals > 2;
        const bool shortName = arg.size() > 1 && arg[0] == '-' && arg[1] != '-' && equals == 2;
        if (!optionsEnded && equals != std::string::npos && (longName || shortName)) {
            const std::string name = arg.substr(0, equals);
            const CLI::Option* option = app.get_option_no_throw(name);
            if (option != nullptr) {
                if (option->get_expected_max() == 0) return usageError("%s: a flag takes no value", name.c_str());
                if (equals + 1 == arg.size()) return usageError("%s: the value after '=' is empty", name.c_str());
                args.push_back(name);
                args.push_back(arg.substr(equals + 1));
                continue;
            }
        }
        args.push_back(arg);
    }
    std::reverse(args.begin(), args.end());
    return exitResults;
}

// Runs CLI11; returns exitResults, or exitUsage after the message.
int parseWithCli11(CLI::App& app, int argc, char** argv, CommandLine& line) {
    std::vector<std::string> args;
    if (argumentsFor(app, argc, argv, args) != exitResults) return exitUsage;
    try {
        app.parse(args);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        line.finished = true;
        return exitResults;
    } catch (const CLI::ArgumentMismatch& e) {
        // CLI11's message starts with the option's name and a colon.
        const std::string message = e.what();
        return usageError("option '%s' needs a value", message.substr(0, message.find(':')).c_str());
    } catch (const CLI::ParseError& e) {
        return usageError("%s", e.what());
    }
    for (const std::string& extra : app.remaining()) {
        if (extra != "--") return usageError("unknown option '%s'", extra.c_str());
    }
    return exitResults;
}

// The dialog's checks on a data file name.
int checkDataFile(const std::string& name) {
    if (name.empty()) return usageError("%sno data file given", "");
    if (name.size() > longestPath) return usageError("DATAFILE: the name is longer than %s characters", "511");
    if (hasWildcard(name.c_str())) {
        return usageError("DATAFILE '%s': the name holds a wildcard ('*' or '?')", name.c_str());
    }
    struct stat info {};
    if (stat(name.c_str(), &info) != 0) return usageError("DATAFILE '%s': no such file", name.c_str());
    if ((info.st_mode & S_IFMT) == S_IFDIR) return usageError("DATAFILE '%s': is a directory", name.c_str());
    return exitResults;
}

int checkDataFiles(const std::vector<std::string>& files) {
    if (files.empty()) return usageError("%sno data file given", "");
    for (const std::string& name : files) {
        if (checkDataFile(name) != exitResults) return exitUsage;
    }
    return exitResults;
}

int acceptRank(const CLI::Option* given, const std::string& text, CommandLine& line) {
    if (given->count() == 0) return exitResults;
    if (text.size() != 1 || text[0] < '1' || text[0] > '4') {
        return usageError("--rank: '%s' is not a plotting position 1, 2, 3 or 4", text.c_str());
    }
    line.rankMethod = text[0] - '0';
    return exitResults;
}

int acceptGamma(const CLI::Option* given, const std::string& text, CommandLine& line) {
    if (given->count() == 0) return exitResults;
    if (text.empty()) return usageError("--gamma: %sthe value is empty", "");
    if (!isEntryText(text.c_str(), true)) {
        return usageError("--gamma: '%s' is not a number (digits, '.', 'e' or 'E', a leading '-')", text.c_str());
    }
    line.autoGamma = false;
    line.gamma = textToNumber(text.c_str());
    return exitResults;
}

int acceptInitialM(const CLI::Option* given, const std::string& text, CommandLine& line) {
    if (given->count() == 0) return exitResults;
    if (text.empty()) return usageError("--initial-m: %sthe value is empty", "");
    if (!isEntryText(text.c_str(), false)) {
        return usageError("--initial-m: '%s' is not a number (digits, '.', 'e' or 'E')", text.c_str());
    }
    line.initialM = textToNumber(text.c_str());
    if (!isUsableInitialM(line.initialM)) return usageError("--initial-m: '%s' is not above 0", text.c_str());
    return exitResults;
}

// Compared by identity, so that a link or another spelling of a data file's
// name is caught too; a file that does not exist yet is new.
const std::string* dataFileAt(const std::string& path, const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        std::error_code error;
        if (std::filesystem::equivalent(path, file, error)) return &file;
    }
    return nullptr;
}

int acceptReport(const CLI::Option* given, const std::string& path, CommandLine& line) {
    line.reportFiles.assign(line.dataFiles.size(), std::string());
    if (given->count() == 0) return exitResults;
    if (path.empty()) return usageError("--report: %sthe file name is empty", "");
    if (path.size() > longestPath) return usageError("--report: the file name is longer than %s characters", "511");
    if (line.dataFiles.size() > 1) {
        return usageError("--report: one report file for %s data files; use --report-dir DIR",
                          std::to_string(line.dataFiles.size()).c_str());
    }
    if (dataFileAt(path, line.dataFiles) != nullptr) {
        return usageError("--report: '%s' is the data file itself", path.c_str());
    }
    line.reportFiles[0] = path;
    return exitResults;
}

// DIR/NAME.txt for every data file: each a new name, none a data file.
int acceptReportDir(const Declared& d, const std::string& dir, CommandLine& line) {
    if (d.reportDir->count() == 0) return exitResults;
    if (d.report->count() != 0) return usageError("%s--report and --report-dir exclude each other", "");
    std::error_code error;
    if (dir.empty() || !std::filesystem::is_directory(dir, error)) {
        return usageError("--report-dir: '%s' is not a directory", dir.c_str());
    }
    std::set<std::string> names;
    for (std::size_t i = 0; i < line.dataFiles.size(); ++i) {
        const std::filesystem::path stem = std::filesystem::path(line.dataFiles[i]).stem();
        const std::string path = (std::filesystem::path(dir) / stem).string() + ".txt";
        if (path.size() > longestPath) {
            return usageError("--report-dir: the report name '%s' is longer than 511 characters", path.c_str());
        }
        if (!names.insert(path).second) {
            return usageError("--report-dir: two data files would both write '%s'", path.c_str());
        }
        if (dataFileAt(path, line.dataFiles) != nullptr) {
            return usageError("--report-dir: '%s' is a data file", path.c_str());
        }
        line.reportFiles[i] = path;
    }
    return exitResults;
}

int acceptSolver(const CLI::Option* given, const std::string& name, CommandLine& line) {
    if (given->count() == 0 || name == "newton") return exitResults;
    if (name == "damped") {
        line.solver = ShapeSolver::damped;
        return exitResults;
    }
    return usageError("--solver: '%s' is not damped or newton", name.c_str());
}

// A plain decimal number (std::from_chars: no sign but '-', no blanks), all
// of the text; false otherwise.
bool readWholeNumber(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(value);
}

int acceptTimeout(const CLI::Option* given, const std::string& text, CommandLine& line) {
    if (given->count() == 0) return exitResults;
    double seconds = 0;
    if (!readWholeNumber(text, seconds) || !(seconds > 0)) {
        return usageError("--timeout: '%s' is not a number of seconds above 0", text.c_str());
    }
    line.timeoutSeconds = seconds;
    return exitResults;
}

int acceptFormat(const CLI::Option* given, const std::string& name, CommandLine& line) {
    if (given->count() == 0 || name == "text") return exitResults;
    if (name == "json") {
        line.format = OutputFormat::json;
    } else if (name == "csv") {
        line.format = OutputFormat::csv;
    } else {
        return usageError("--format: '%s' is not text, json or csv", name.c_str());
    }
    return exitResults;
}

int acceptConfidence(const CLI::Option* given, const std::string& text, CommandLine& line) {
    if (given->count() == 0) return exitResults;
    double level = 0;
    if (!readWholeNumber(text, level) || !(level > 0 && level < 1)) {
        return usageError("--confidence: '%s' is not a number between 0 and 1", text.c_str());
    }
    line.confidence = level;
    return exitResults;
}

int acceptPlot(const CLI::Option* given, const std::string& path, CommandLine& line) {
    if (given->count() == 0) return exitResults;
    if (path.empty()) return usageError("--plot: %sthe file name is empty", "");
    if (line.dataFiles.size() > 1) {
        return usageError("--plot: one plot file for %s data files", std::to_string(line.dataFiles.size()).c_str());
    }
    if (dataFileAt(path, line.dataFiles) != nullptr) {
        return usageError("--plot: '%s' is the data file itself", path.c_str());
    }
    line.plotFiles.assign(1, path);
    return exitResults;
}

// --- Life figures and plots of every file ---

// The numbers of a comma-separated list, each a plain decimal number with
// lo < value < hi; false at the first that is not.
bool readNumberList(const std::string& text, double lo, double hi, std::vector<double>& values, std::string& bad) {
    values.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        bad = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        double value = 0;
        if (!readWholeNumber(bad, value) || !(value > lo && value < hi)) return false;
        values.push_back(value);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

int acceptLife(const Declared& d, const RawOptions& raw, CommandLine& line) {
    std::string bad;
    constexpr double huge = std::numeric_limits<double>::infinity();
    if (d.at->count() != 0 && !readNumberList(raw.at, -huge, huge, line.life.atTimes, bad)) {
        return usageError("--at: '%s' is not a number", bad.c_str());
    }
    if (d.bLife->count() != 0) {
        if (!readNumberList(raw.bLife, 0, 100, line.life.bLifePercents, bad)) {
            return usageError("--b-life: '%s' is not a percentage between 0 and 100", bad.c_str());
        }
        line.life.boundEveryBLife = true;
    }
    if (d.sided->count() != 0) {
        if (raw.sided == "lower")
            line.life.sides = BoundSides::lower;
        else if (raw.sided == "upper")
            line.life.sides = BoundSides::upper;
        else if (raw.sided != "two")
            return usageError("--sided: '%s' is not two, lower or upper", raw.sided.c_str());
    }
    if (d.bounds->count() != 0) {
        if (raw.bounds == "likelihood")
            line.life.method = BoundMethod::likelihood;
        else if (raw.bounds != "fisher")
            return usageError("--bounds: '%s' is not fisher or likelihood", raw.bounds.c_str());
    }
    line.lifeOptionsNamed = d.sided->count() != 0 || d.bounds->count() != 0;
    return exitResults;
}

// DIR/NAME.svg for every data file, as --report-dir names reports.
int acceptPlotDir(const Declared& d, const std::string& dir, CommandLine& line) {
    if (d.plotDir->count() == 0) return exitResults;
    if (d.plot->count() != 0) return usageError("%s--plot and --plot-dir exclude each other", "");
    std::error_code error;
    if (dir.empty() || !std::filesystem::is_directory(dir, error)) {
        return usageError("--plot-dir: '%s' is not a directory", dir.c_str());
    }
    std::set<std::string> names;
    line.plotFiles.assign(line.dataFiles.size(), std::string());
    for (std::size_t i = 0; i < line.dataFiles.size(); ++i) {
        const std::filesystem::path stem = std::filesystem::path(line.dataFiles[i]).stem();
        const std::string path = (std::filesystem::path(dir) / stem).string() + ".svg";
        if (!names.insert(path).second) {
            return usageError("--plot-dir: two data files would both write '%s'", path.c_str());
        }
        if (dataFileAt(path, line.dataFiles) != nullptr)
            return usageError("--plot-dir: '%s' is a data file", path.c_str());
        line.plotFiles[i] = path;
    }
    return exitResults;
}

// Whether two output paths name one file: by identity when both exist (a
// link, another spelling), by their absolute, normalised paths when not.
bool oneFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    const std::filesystem::path first = std::filesystem::absolute(a, error).lexically_normal();
    const std::filesystem::path second = std::filesystem::absolute(b, error).lexically_normal();
    return !error && first == second;
}

// No two outputs (the report files, the plots) may be one file: the later
// would replace the earlier.
int acceptOutputs(const Declared& d, CommandLine& line) {
    const char* reportOption = d.reportDir->count() != 0 ? "--report-dir" : "--report";
    const char* plotOption = d.plotDir->count() != 0 ? "--plot-dir" : "--plot";
    for (const std::string& report : line.reportFiles) {
        for (const std::string& plot : line.plotFiles) {
            if (report.empty() || plot.empty() || !oneFile(report, plot)) continue;
            return usageError((std::string(reportOption) + " and " + plotOption + ": both would write '%s'").c_str(),
                              report.c_str());
        }
    }
    return exitResults;
}

// A column named by the header line, or numbered from 1.
int acceptColumn(const CLI::Option* given, const char* option, const std::string& text, std::string& column) {
    if (given->count() == 0) return exitResults;
    if (text.empty()) return usageError((std::string(option) + ": %sthe column is empty").c_str(), "");
    if (text.find_first_not_of('0') == std::string::npos) {
        return usageError((std::string(option) + ": '%s' is no column; columns are numbered from 1").c_str(),
                          text.c_str());
    }
    column = text;
    return exitResults;
}

int acceptDelimiter(const CLI::Option* given, const std::string& text, ReadOptions& read) {
    if (given->count() == 0) return exitResults;
    if (text == "," || text == ";") {
        read.delimiter = text[0];
    } else if (text == "tab" || text == "\\t" || text == "\t") {
        read.delimiter = '\t';
    } else {
        return usageError("--delimiter: '%s' is not , ; or tab", text.c_str());
    }
    return exitResults;
}

// How the data files are read: the line reader (with counts), or a table.
int acceptReading(const Declared& d, const RawOptions& raw, CommandLine& line) {
    ReadOptions& read = line.read;
    read.censored = raw.censored;
    read.counts = raw.counts;
    read.decimalComma = raw.decimalComma;
    int status = acceptColumn(d.column, "--column", raw.column, read.column);
    if (status == exitResults)
        status = acceptColumn(d.statusColumn, "--status-column", raw.statusColumn, read.statusColumn);
    if (status == exitResults)
        status = acceptColumn(d.countColumn, "--count-column", raw.countColumn, read.countColumn);
    if (status == exitResults) status = acceptDelimiter(d.delimiter, raw.delimiter, read);
    if (status != exitResults) return status;
    if (read.column.empty()) {
        const CLI::Option* tableOnly[] = {d.statusColumn, d.countColumn, d.delimiter};
        for (const CLI::Option* option : tableOnly) {
            if (option->count() != 0) {
                return usageError("%s: only with --column (the table column of the times)", option->get_name().c_str());
            }
        }
        if (read.decimalComma)
            return usageError("%s--decimal-comma: only with --column (the table column of the times)", "");
    } else if (read.counts) {
        return usageError("%s--counts and --column exclude each other; a table's counts: --count-column", "");
    }
    if (read.decimalComma && read.delimiter == ',') {
        return usageError("%s--decimal-comma and --delimiter ',': the comma cannot be both", "");
    }
    if (!read.statusColumn.empty()) read.censored = true;
    return exitResults;
}

int acceptAll(const Declared& d, const RawOptions& raw, CommandLine& line) {
    line.dataFiles = raw.files;
    line.quiet = raw.quiet;
    int status = checkDataFiles(raw.files);
    if (status == exitResults) status = acceptRank(d.rank, raw.rank, line);
    if (status == exitResults) status = acceptGamma(d.gamma, raw.gamma, line);
    if (status == exitResults) status = acceptInitialM(d.initialM, raw.initialM, line);
    if (status == exitResults) status = acceptReport(d.report, raw.report, line);
    if (status == exitResults) status = acceptReportDir(d, raw.reportDir, line);
    if (status == exitResults) status = acceptSolver(d.solver, raw.solver, line);
    if (status == exitResults) status = acceptTimeout(d.timeout, raw.timeout, line);
    if (status == exitResults) status = acceptFormat(d.format, raw.format, line);
    if (status == exitResults) status = acceptConfidence(d.confidence, raw.confidence, line);
    if (status == exitResults) status = acceptPlot(d.plot, raw.plot, line);
    if (status == exitResults) status = acceptPlotDir(d, raw.plotDir, line);
    if (status == exitResults) status = acceptOutputs(d, line);
    if (status == exitResults) status = acceptReading(d, raw, line);
    if (status == exitResults) status = acceptLife(d, raw, line);
    return status;
}

// The model options, kept apart from the run's own: --gamma-method,
// --shape-method and --compare.
struct MethodOptions {
    std::string gammaMethod, shapeMethod;
    bool compare = false;
};

void declareMethodOptions(CLI::App& app, MethodOptions& m) {
    app.add_option("--gamma-method", m.gammaMethod,
                   "curvature (default, the plot's bend) or mle (the\n"
                   "profile likelihood's maximum, with its bounds)")
        ->type_name("NAME");
    app.add_option("--shape-method", m.shapeMethod,
                   "mle (default), rry or rrx (rank regression, y on x\n"
                   "or x on y, at the gamma in use)")
        ->type_name("NAME");
    app.add_flag("--compare", m.compare, "also fit the other life distributions and rank\nthem by AICc");
}

int acceptMethods(const MethodOptions& m, CommandLine& line) {
    line.compare = m.compare;
    if (m.gammaMethod == "mle") {
        line.gammaMethod = GammaMethod::mle;
    } else if (!m.gammaMethod.empty() && m.gammaMethod != "curvature") {
        return usageError("--gamma-method: '%s' is not curvature or mle", m.gammaMethod.c_str());
    }
    if (m.shapeMethod == "rry" || m.shapeMethod == "rrx") {
        line.shapeMethod = m.shapeMethod == "rry" ? ShapeMethod::rry : ShapeMethod::rrx;
    } else if (!m.shapeMethod.empty() && m.shapeMethod != "mle") {
        return usageError("--shape-method: '%s' is not mle, rry or rrx", m.shapeMethod.c_str());
    }
    return exitResults;
}

}  // namespace

int parseCommandLine(int argc, char** argv, CommandLine& line) {
    CLI::App app("", programName);
    RawOptions raw;
    const Declared declared = declareOptions(app, raw);
    MethodOptions methods;
    declareMethodOptions(app, methods);
    if (parseWithCli11(app, argc, argv, line) != exitResults) return exitUsage;
    if (line.finished) return exitResults;
    if (raw.version) {
        std::puts("tarquel-cli (Tarquel) " TARQUEL_VERSION_TEXT);
        line.finished = true;
        return exitResults;
    }
    const int status = acceptAll(declared, raw, line);
    return status == exitResults ? acceptMethods(methods, line) : status;
}
