// One whole calculation as a function: the inputs as a value in, the outcome
// as a value out. It touches no global, so two runs may go on at once in two
// threads of one process.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "datafiles/data_file.h"
#include "engine/distributions.h"
#include "engine/fit_quality.h"
#include "engine/fit_types.h"
#include "engine/life_figures.h"
#include "engine/sample.h"
#include "run/front_end.h"

// How the shape is solved: the damped iteration (the desktop program's) or
// Newton's method in a bracket.
enum class ShapeSolver : int { damped = 0, newton = 1 };

// How a searched location is found: the curvature of the Weibull plot, or
// the maximum of the profile likelihood (the curvature's where it has none).
enum class GammaMethod : int { curvature = 0, mle = 1 };

// How m and t0 are found at the location: the likelihood (the solver), or
// the least-squares line of the Weibull plot, y on x or x on y.
enum class ShapeMethod : int { mle = 0, rry = 1, rrx = 2 };

struct RunInputs {
    std::string dataFilePath;   // read unless `given` is set
    bool given = false;         // fit `sample` instead of reading a file
    Sample sample;              // the times when given (any order)
    ReadOptions read;           // how the file is read: status words (censored), counts, a table column
    RankMethod rankMethod = 1;  // plotting position, 1..4
    bool autoGamma = true;      // search gamma; else use `gamma`
    double gamma = 0;           // the typed location
    double initialM = 1;        // start of the shape iteration (> 0)
    ShapeSolver solver = ShapeSolver::damped;
    double confidence = 0.9;                     // level of the two-sided bounds, 0 < C < 1
    bool fitQuality = true;                      // also form the fit-quality figures
    bool refuseZeroSpread = false;               // refuse failures that are all one time (no spread to fit)
    const std::atomic<int>* stopFlag = nullptr;  // 1 = end the iteration (Stop, Ctrl-C); may be null
    double timeoutSeconds = 0;                   // > 0: end the iterations this long after the first starts
    LifeRequest life;                            // B-lives, times for R(t), sides and method of the bounds
    bool lifeOptionsNamed = false;               // the sides or the method were asked for by name (outputs name them)
    bool measureRootGap = false;                 // damped: at a fixed point, also find the root by Newton's method
    GammaMethod gammaMethod = GammaMethod::curvature;  // when autoGamma
    ShapeMethod shapeMethod = ShapeMethod::mle;
    bool compare = false;  // also fit and rank the other distributions
};

// Why a run gave no fit.
enum class RefusalKind : int {
    none = 0,          // fitted
    cannotOpen,        // the data file could not be opened or read
    badData,           // the reader refused the data (its cause says why)
    tooFewValues,      // fewer than 3 values
    tooFewFailures,    // fewer than 3 failures among the values (censored)
    zeroSpread,        // every failure at one time (when refused)
    gammaNotBelow,     // a typed gamma at or above the smallest time
    searchedNotBelow,  // searched: the smallest time is 0 or below
};

struct Refusal {
    RefusalKind kind = RefusalKind::none;
    std::string caption;  // the run's own caption ("Read data error", "Parameter error")
    std::string text;     // the run's own text ("Invalid data type", "Invalid gamma")
    std::string cause;    // the real cause in words, for the command line
};

// How the gamma search ended.
enum class GammaSearchEnding : int {
    typed = 0,  // no search: gamma was typed
    interior,   // the curvature changed sign inside the bracket
    lowerEnd,   // ended at 0
    upperEnd,   // ended at 0.99 x the smallest time
};

// Where the damped iteration rested against the root that Newton's method
// finds from there: relative differences |damped - root| / |root|.
struct RootGap {
    bool measured = false;  // the damped iteration rested at a fixed point and the root was found
    double m = 0, t0 = 0;   // relative differences of m and t0
    double rootM = 0, rootT0 = 0;
};

// What the likelihood location search found (GammaMethod::mle).
enum class LikelihoodLocation : int {
    notAsked = 0,  // the curvature's gamma, or a typed one
    maximum,       // an interior maximum: gamma is the likelihood's
    noMaximum,     // the profile rises toward the smallest time: the curvature's gamma
    stopped,       // Stop or the time-out ended the search: the curvature's gamma
};

struct RunOutcome {
    Refusal refusal;        // kind none: fitted
    std::string dataFile;   // as given ("" for a given sample)
    bool censored = false;  // read with status words
    RankMethod rankMethod = 1;
    double confidence = 0.9;
    ShapeSolver solver = ShapeSolver::damped;
    Sample sample;                         // sorted ascending (empty when refused)
    std::uint32_t suspendedMarks = 0;      // values that carried S or s (also when not censored)
    bool zeroSpread = false;               // every failure at one time (fitted when not refused)
    std::vector<std::string> readerNotes;  // what the line reader passed over (command-line warnings)
    FitResult result{};                    // the seven results (gamma: typed or searched)
    GammaSearchEnding gammaEnding = GammaSearchEnding::typed;
    SolveEnding ending = SolveEnding::notRun;
    bool timedOut = false;          // the stop came from the time-out clock
    double timeoutSeconds = 0;      // the time-out it had
    std::string invalidCause;       // "" for a fit; else why the point reached is no Weibull fit
    bool invalidBySums = false;     // the cause: sums out of range (scaled sums would mend it)
    bool hasQuality = false;        // quality was formed
    FitQuality quality{};           // eta, fit quality, life figures, bounds
    LifeRequest life;               // the life figures asked for
    bool lifeOptionsNamed = false;  // as in the inputs
    LifeFigures lifeFigures;        // formed with quality
    RootGap rootGap;                // the damped iteration's distance from the root
    LikelihoodLocation likelihoodLocation = LikelihoodLocation::notAsked;
    double gammaStandardError = std::numeric_limits<double>::quiet_NaN();  // at a likelihood maximum with m > 2
    Interval gammaBounds{std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::quiet_NaN()};  // gamma -+ z se, likewise
    ShapeMethod shapeMethod = ShapeMethod::mle;
    FitResult likelihoodResult{};             // the likelihood's seven results when shapeMethod is not mle
    std::vector<DistributionFit> comparison;  // ranked best first, when compare was asked
    bool comparisonStopped = false;           // Stop or the time-out ended it: family order, no ranking
};

// True when a Stop or the time-out ended any part of the run (the location
// search, the iteration or the comparison): its figures are for the point
// reached, not a finished fit.
inline bool runStopped(const RunOutcome& outcome) {
    return outcome.ending == SolveEnding::stopped || outcome.comparisonStopped ||
           outcome.likelihoodLocation == LikelihoodLocation::stopped;
}

// True when the run fitted (was not refused).
inline bool fitted(const RunOutcome& outcome) { return outcome.refusal.kind == RefusalKind::none; }

// True when a fitted run's point is a Weibull fit: m finite and above 0, the
// likelihood sums inside the range of a double, no result not a number. The
// iteration can end elsewhere (the damped one can reach a negative m on
// small samples of low shape); such results are shown, but never as a fit.
inline bool validFit(const RunOutcome& outcome) { return fitted(outcome) && outcome.invalidCause.empty(); }

// Reads (or takes) the sample, sorts it, fixes gamma, solves m, derives t0
// and the statistics, forms the fit-quality figures, and shows the phases,
// the monitor and the seven results through the front end. Preconditions:
// initialM > 0, rankMethod 1..4.
RunOutcome runCalculation(const RunInputs& inputs, FrontEnd& frontEnd);

// Formats the seven results for the screen and hands them to the front end.
void showResults(const FitResult& result, FrontEnd& frontEnd);
