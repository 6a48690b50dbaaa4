// The command line's options: parsed with CLI11, then checked as the desktop
// program's dialog checks its fields.
#pragma once

#include <string>
#include <vector>

#include "datafiles/data_file.h"
#include "engine/fit_types.h"
#include "run/calculation_run.h"

// Exit status of the program; over several data files, the largest.
enum ExitStatus : int {
    exitResults = 0,  // results printed
    exitRefused = 1,  // the run refused the data or gamma
    exitUsage = 2,    // bad usage, or an input the dialog would refuse
    exitReport = 3,   // the report or the plot file not written
    exitStopped = 4,  // the iteration was stopped (time-out, Ctrl-C)
    exitOutput = 5,   // standard output could not be written
    exitInvalid = 6,  // results printed, but not a valid fit (m <= 0, sums out of range, NaN)
};

constexpr char programName[] = "tarquel-cli";

enum class OutputFormat : int { text, json, csv };

// Everything the options ask for, checked.
struct CommandLine {
    std::vector<std::string> dataFiles;        // in the order given
    std::vector<std::string> reportFiles;      // one per data file; "" = no report
    RankMethod rankMethod = 1;                 // plotting position, 1..4
    bool autoGamma = true;                     // search gamma, else use `gamma`
    double gamma = 0;                          // the typed location parameter
    double initialM = 1;                       // start of the shape iteration (> 0)
    ShapeSolver solver = ShapeSolver::newton;  // the command line's default; damped is the desktop program's
    double timeoutSeconds = 0;                 // 0 = no time-out
    OutputFormat format = OutputFormat::text;
    double confidence = 0.9;             // level of the bounds, 0 < C < 1
    std::vector<std::string> plotFiles;  // one per data file; "" = no plot
    LifeRequest life;                    // --b-life, --at, --sided, --bounds
    bool lifeOptionsNamed = false;       // --sided or --bounds was given
    bool quiet = false;                  // no progress monitor
    ReadOptions read;                    // how each data file is read: censored, counts, table column and its kind
    bool finished = false;               // help or version printed: nothing to run
    GammaMethod gammaMethod = GammaMethod::curvature;  // --gamma-method
    ShapeMethod shapeMethod = ShapeMethod::mle;        // --shape-method
    bool compare = false;                              // --compare
};

// Parses and checks argv. Returns exitResults with `line` filled (or with
// line.finished set after printing the help or the version), or exitUsage
// after printing "tarquel-cli: MESSAGE" and a hint to standard error.
int parseCommandLine(int argc, char** argv, CommandLine& line);
