// The output field table and the formats written from it.
//
// JSON objects are built with nlohmann::ordered_json (keys stay in the order
// written) and serialized by datafiles' writer, which prints every double as
// its shortest text.
#include "run/run_outputs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "datafiles/number_format.h"
#include "datafiles/result_formats.h"
#include "engine/gamma_search.h"
#include "engine/solver.h"

namespace {

using Json = nlohmann::ordered_json;

FieldValue text(std::string value) {
    FieldValue v;
    v.text = std::move(value);
    return v;
}

FieldValue count(std::uint64_t value) {
    FieldValue v;
    v.count = value;
    return v;
}

FieldValue number(double value) {
    FieldValue v;
    v.number = value;
    return v;
}

FieldValue interval(Interval value) {
    FieldValue v;
    v.interval = value;
    return v;
}

const FitQuality& quality(const FitReport& r) { return r.run.quality; }
const FitResult& result(const FitReport& r) { return r.run.result; }

const char* sidesName(BoundSides sides) {
    switch (sides) {
        case BoundSides::lower: return "lower";
        case BoundSides::upper: return "upper";
        case BoundSides::two: break;
    }
    return "two";
}

const char* methodName(BoundMethod method) { return method == BoundMethod::likelihood ? "likelihood" : "fisher"; }

const char* gammaSource(const RunOutcome& run) {
    if (run.likelihoodLocation == LikelihoodLocation::maximum) return "mle";
    if (run.likelihoodLocation == LikelihoodLocation::noMaximum) return "curvature (no likelihood maximum)";
    if (run.likelihoodLocation == LikelihoodLocation::stopped) return "curvature (likelihood search stopped)";
    return run.gammaEnding == GammaSearchEnding::typed ? "typed" : "searched";
}

// name, kind, JSON group and key, CSV position, text label, legend label and position, value.
// The rows before the B-lives.
const std::vector<OutputField> headFields = {
    {"file", FieldKind::text, "", "file", 1, "", "", 0, [](const FitReport& r) { return text(r.run.dataFile); }},
    {"n", FieldKind::count, "", "n", 2, "", "", 0, [](const FitReport& r) { return count(r.run.sample.times.size()); }},
    {"rank", FieldKind::count, "", "rank", 3, "", "", 0,
     [](const FitReport& r) { return count(static_cast<std::uint64_t>(r.run.rankMethod)); }},
    {"gamma_source", FieldKind::text, "", "gamma_source", 4, "", "", 0,
     [](const FitReport& r) { return text(gammaSource(r.run)); }},
    {"m", FieldKind::number, "", "m", 5, "", "m", 1, [](const FitReport& r) { return number(result(r).m); }},
    {"t0", FieldKind::number, "", "t0", 6, "", "", 0, [](const FitReport& r) { return number(result(r).t0); }},
    {"gamma", FieldKind::number, "", "gamma", 7, "", "gamma", 3,
     [](const FitReport& r) { return number(result(r).gamma); }},
    {"mu", FieldKind::number, "", "mu", 9, "", "", 0, [](const FitReport& r) { return number(result(r).mu); }},
    {"xi", FieldKind::number, "", "xi", 10, "", "", 0, [](const FitReport& r) { return number(result(r).xi); }},
    {"tm", FieldKind::number, "", "tm", 11, "", "", 0, [](const FitReport& r) { return number(result(r).tm); }},
    {"sigma2", FieldKind::number, "", "sigma2", 12, "", "", 0,
     [](const FitReport& r) { return number(result(r).sigma2); }},
    {"eta", FieldKind::number, "", "eta", 8, "Scale (t0^(1/m))   : eta    = ", "eta", 2,
     [](const FitReport& r) { return number(quality(r).eta); }},
    {"ending", FieldKind::text, "", "ending", 25, "", "", 0,
     [](const FitReport& r) { return text(endingName(r.run)); }},
    {"log_likelihood", FieldKind::number, "", "log_likelihood", 13, "Log-likelihood     : lnL    = ", "", 0,
     [](const FitReport& r) { return number(quality(r).logLikelihood); }},
    {"r2", FieldKind::number, "", "r2", 14, "Plot correlation   : r2     = ", "", 0,
     [](const FitReport& r) { return number(quality(r).r2); }},
    {"anderson_darling", FieldKind::number, "", "anderson_darling", 15, "Anderson-Darling   : A2     = ", "", 0,
     [](const FitReport& r) { return number(quality(r).andersonDarling); }},
};

// The CSV positions of the rows made from the life request: the B-lives,
// their bounds and R(t), each with its order among its kind.
constexpr int bLifePosition = 16;
constexpr int bLifeBoundsPosition = 21;
constexpr int reliabilityPosition = 29;  // after "valid"

// The bounds' level and the shape and scale bounds (the bounds of the
// B-lives follow them).
const OutputField confidenceField = {
    "confidence", FieldKind::number, "bounds", "confidence", 0, "", "", 0, [](const FitReport& r) {
        return number(r.run.confidence);
    }};
const std::vector<OutputField> namedBoundsFields = {
    {"sided", FieldKind::text, "bounds", "sided", 0, "", "", 0,
     [](const FitReport& r) { return text(sidesName(r.run.life.sides)); }},
    {"method", FieldKind::text, "bounds", "method", 0, "", "", 0,
     [](const FitReport& r) { return text(methodName(r.run.life.method)); }},
};
const std::vector<OutputField> shapeScaleBoundsFields = {
    {"m", FieldKind::interval, "bounds", "m", 19, "Shape    parameter : m      = ", "", 0,
     [](const FitReport& r) { return interval(r.run.lifeFigures.mBounds); }},
    {"eta", FieldKind::interval, "bounds", "eta", 20, "Scale (t0^(1/m))   : eta    = ", "", 0,
     [](const FitReport& r) { return interval(r.run.lifeFigures.etaBounds); }},
};

// The rows after the bounds.
const std::vector<OutputField> tailFields = {
    {"warnings", FieldKind::list, "", "warnings", 0, "", "", 0,
     [](const FitReport& r) {
         FieldValue v;
         v.list = r.warnings;
         return v;
     }},
    {"failures", FieldKind::count, "", "failures", 26, "", "", 0,
     [](const FitReport& r) { return count(r.run.sample.failures); }},
    {"suspensions", FieldKind::count, "", "suspensions", 27, "", "", 0,
     [](const FitReport& r) { return count(r.run.sample.times.size() - r.run.sample.failures); }},
    {"valid", FieldKind::flag, "", "valid", 28, "", "", 0,
     [](const FitReport& r) {
         FieldValue v;
         v.flag = validFit(r.run);
         return v;
     }},
};

// How far the damped iteration rested from the root (JSON only).
const std::vector<OutputField> rootGapFields = {
    {"root_gap_m", FieldKind::number, "root_gap", "m", 0, "", "", 0,
     [](const FitReport& r) { return number(r.run.rootGap.m); }},
    {"root_gap_t0", FieldKind::number, "root_gap", "t0", 0, "", "", 0,
     [](const FitReport& r) { return number(r.run.rootGap.t0); }},
};

// "NAME life" and ": NAME = " in the text block's columns.
std::string bLifeLabel(const std::string& name) {
    std::string label = name;
    label.resize(std::max<std::size_t>(label.size(), 3), ' ');
    label += " life";
    label.resize(std::max<std::size_t>(label.size(), 19), ' ');
    std::string key = name;
    key.resize(std::max<std::size_t>(key.size() + 1, 7), ' ');
    return label + ": " + key + "= ";
}

// The CSV column names of a field: NAME, or NAME_lo and NAME_hi.
std::vector<std::string> csvColumns(const OutputField& field) {
    if (field.kind == FieldKind::reliability) return {field.name, field.name + "_lo", field.name + "_hi"};
    if (field.kind != FieldKind::interval) return {field.name};
    return {field.name + "_lo", field.name + "_hi"};
}

// The fields in CSV order.
std::vector<const OutputField*> csvFields(const std::vector<OutputField>& fields) {
    std::vector<const OutputField*> order;
    for (const OutputField& field : fields) {
        if (field.csvPosition > 0) order.push_back(&field);
    }
    std::sort(order.begin(), order.end(), [](const OutputField* a, const OutputField* b) {
        return a->csvPosition != b->csvPosition ? a->csvPosition < b->csvPosition : a->csvOrder < b->csvOrder;
    });
    return order;
}

// A number for JSON: non-finite values become null.
Json jsonNumber(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }

Json jsonValue(const OutputField& field, const FieldValue& v) {
    switch (field.kind) {
        case FieldKind::text: return Json(v.text);
        case FieldKind::count: return Json(v.count);
        case FieldKind::number: return jsonNumber(v.number);
        case FieldKind::interval: return Json::array({jsonNumber(v.interval.lo), jsonNumber(v.interval.hi)});
        case FieldKind::list: return Json(v.list);
        case FieldKind::flag: return Json(v.flag);
        case FieldKind::reliability: {
            Json entry;
            entry["t"] = jsonNumber(v.at);
            entry["R"] = jsonNumber(v.number);
            entry["bounds"] = v.bounded ? Json::array({jsonNumber(v.interval.lo), jsonNumber(v.interval.hi)})
                                        : Json(nullptr);
            return entry;
        }
    }
    return Json(nullptr);
}

std::vector<std::string> csvValues(const OutputField& field, const FieldValue& v) {
    switch (field.kind) {
        case FieldKind::text: return {csvField(v.text)};
        case FieldKind::count: return {std::to_string(v.count)};
        case FieldKind::number: return {shortestText(v.number)};
        case FieldKind::interval: return {shortestText(v.interval.lo), shortestText(v.interval.hi)};
        case FieldKind::flag: return {v.flag ? "true" : "false"};
        case FieldKind::reliability:
            if (!v.bounded) return {shortestText(v.number), "", ""};
            return {shortestText(v.number), shortestText(v.interval.lo), shortestText(v.interval.hi)};
        case FieldKind::list: break;
    }
    return {};
}

std::string reportNumber(double value) {
    char number[numberTextSize];
    formatReportNumber(value, number);
    return number;
}

// The bounds' sides and method in the text block's words.
const char* sidesText(BoundSides sides) {
    switch (sides) {
        case BoundSides::lower: return "lower one-sided";
        case BoundSides::upper: return "upper one-sided";
        case BoundSides::two: break;
    }
    return "two-sided";
}

const char* methodText(BoundMethod method) {
    return method == BoundMethod::likelihood ? "likelihood ratio" : "Fisher matrix";
}

// A bound in the report's format, or an en dash in its 16 columns for the
// side (0 lower, 1 upper) that one-sided bounds leave out.
std::string boundText(const RunOutcome& run, double value, int side) {
    const bool absent = (side == 0 && run.life.sides == BoundSides::upper) ||
                        (side == 1 && run.life.sides == BoundSides::lower);
    return absent ? std::string(15, ' ') + "\xe2\x80\x93" : reportNumber(value);
}

// The column count of a CSV row after the file name.
std::size_t csvColumnsAfterFile(const std::vector<OutputField>& fields) {
    std::size_t columns = 0;
    for (const OutputField* field : csvFields(fields)) columns += csvColumns(*field).size();
    return columns - 1;
}

// How many of the 9 printed significant digits of a and b agree (0 when
// their signs or exponents differ).
int agreeingDigits(double a, double b) {
    const std::string x = reportNumber(a);
    const std::string y = reportNumber(b);
    const std::size_t e = x.find('e');
    if (e == std::string::npos || x.compare(e, std::string::npos, y, e, std::string::npos) != 0 || x[0] != y[0]) {
        return 0;
    }
    int digits = 0;
    for (std::size_t i = 1; i < e; ++i) {
        if (x[i] == '.') continue;
        if (x[i] != y[i]) break;
        ++digits;
    }
    return digits;
}

std::string solveEndingNote(const RunOutcome& run) {
    switch (run.ending) {
        case SolveEnding::stopped:
            return run.timedOut
                       ? "stopped after " + shortestText(run.timeoutSeconds) + " s; results are for the point reached"
                       : "stopped; results are for the point reached";
        case SolveEnding::bound: return "the iteration diverged (|m| > 1e154)";
        case SolveEnding::fixedPoint:
        case SolveEnding::notRun:
        case SolveEnding::rootFound:
        case SolveEnding::converged: break;
    }
    return "";
}

// Names the non-finite numbers among the figures (A2 of a censored sample
// is said once on its own).
std::string nonFiniteNames(const RunOutcome& run) {
    const bool censored = !run.sample.suspended.empty();
    const FitReport report{run, {}};
    const std::vector<OutputField> fields = outputFieldsOf(run);
    // The side of one-sided bounds that is not asked for is absent, not non-finite.
    const bool sideAsked[2] = {run.life.sides != BoundSides::upper, run.life.sides != BoundSides::lower};
    std::string names;
    for (const OutputField* field : csvFields(fields)) {
        const FieldValue v = field->value(report);
        const bool reliability = field->kind == FieldKind::reliability;
        if ((field->kind == FieldKind::number || reliability) && !std::isfinite(v.number)) {
            if (censored && field->name == "anderson_darling") continue;
            names += names.empty() ? "" : ", ";
            names += field->name;
        }
        if (field->kind == FieldKind::interval || (reliability && v.bounded)) {
            const std::vector<std::string> columns = csvColumns(*field);
            const double bounds[2] = {v.interval.lo, v.interval.hi};
            for (std::size_t k = 0; k < 2; ++k) {
                if (std::isfinite(bounds[k]) || !sideAsked[k]) continue;
                names += names.empty() ? "" : ", ";
                names += columns[reliability ? k + 1 : k];
            }
        }
    }
    return names;
}

// The options' own words: the shape method's name, and what the run says
// about the methods it was asked for.
const char* shapeMethodName(ShapeMethod method) {
    return method == ShapeMethod::rry ? "rry" : method == ShapeMethod::rrx ? "rrx" : "mle";
}

// How a stop is named in a warning: "stopped" or "stopped after SEC s".
std::string stopWords(const RunOutcome& run) {
    return run.timedOut ? "stopped after " + shortestText(run.timeoutSeconds) + " s" : std::string("stopped");
}

void appendMethodWarnings(const RunOutcome& run, std::vector<std::string>& warnings) {
    if (run.likelihoodLocation == LikelihoodLocation::stopped) {
        warnings.push_back("the likelihood location search was " + stopWords(run) + ": gamma is the curvature's");
    }
    if (run.comparisonStopped) {
        std::size_t done = 0;
        for (const DistributionFit& fit : run.comparison) done += fit.stopped ? 0 : 1;
        warnings.push_back("the comparison was " + stopWords(run) + ", " + std::to_string(done) + " of " +
                           std::to_string(run.comparison.size()) + " distributions fitted: no ranking");
    }
    if (run.likelihoodLocation == LikelihoodLocation::noMaximum) {
        warnings.emplace_back(
            "the profile likelihood has no maximum below the smallest time (it keeps rising "
            "toward it): gamma is the curvature's");
    }
    const FitResult& ml = run.shapeMethod == ShapeMethod::mle ? run.result : run.likelihoodResult;
    if (run.likelihoodLocation == LikelihoodLocation::maximum && !(ml.m > 2)) {
        warnings.emplace_back(
            "m <= 2 at the likelihood location: the regularity conditions do not hold, and gamma "
            "has no standard error or bounds");
    }
    if (run.shapeMethod != ShapeMethod::mle) {
        warnings.push_back(std::string("m and t0 by rank regression (") + shapeMethodName(run.shapeMethod) +
                           "); the bounds are those of the likelihood fit");
    }
}

Json comparisonJson(const DistributionFit& fit) {
    Json entry;
    entry["distribution"] = distributionName(fit.distribution);
    if (!fit.error.empty()) {
        entry["k"] = fit.k;
        entry["error"] = fit.error;
        return entry;
    }
    Json parameters = Json::object();
    const std::vector<const char*> names = parameterNames(fit.distribution);
    for (std::size_t i = 0; i < names.size(); ++i) parameters[names[i]] = jsonNumber(fit.parameters[i]);
    entry["parameters"] = parameters;
    entry["log_likelihood"] = jsonNumber(fit.logLikelihood);
    entry["k"] = fit.k;
    entry["aicc"] = jsonNumber(fit.aicc);
    entry["bic"] = jsonNumber(fit.bic);
    entry["anderson_darling"] = jsonNumber(fit.andersonDarling);
    if (!fit.note.empty()) entry["note"] = fit.note;
    return entry;
}

// The keys of the optional methods, only where they were asked for, so that
// a plain run's object stays as it was.
void addMethodJson(const RunOutcome& run, Json& object) {
    if (run.shapeMethod != ShapeMethod::mle) object["shape_method"] = shapeMethodName(run.shapeMethod);
    if (run.likelihoodLocation != LikelihoodLocation::notAsked) {
        object["gamma_se"] = jsonNumber(run.gammaStandardError);
        object["bounds"]["gamma"] = Json::array({jsonNumber(run.gammaBounds.lo), jsonNumber(run.gammaBounds.hi)});
    }
    if (run.comparisonStopped) {
        object["compare_ending"] = run.timedOut ? "time-out" : "stopped";
        return;
    }
    if (run.comparison.empty()) return;
    Json list = Json::array();
    for (const DistributionFit& fit : run.comparison) list.push_back(comparisonJson(fit));
    object["compare"] = list;
}

}  // namespace

std::string bLifeName(double percent) {
    std::string name = "B";  // appended, not "B" + text: GCC 12 misreads that concatenation (-Wrestrict)
    name += shortestText(percent);
    return name;
}

std::vector<OutputField> outputFieldsOf(const LifeRequest& request, bool lifeOptionsNamed, bool rootGap) {
    std::vector<OutputField> fields = headFields;
    const std::size_t bLives = request.bLifePercents.size();
    for (std::size_t k = 0; k < bLives; ++k) {
        const std::string name = bLifeName(request.bLifePercents[k]);
        fields.push_back({name, FieldKind::number, "b_lives", name, bLifePosition, bLifeLabel(name), "", 0,
                          [k](const FitReport& r) { return number(r.run.lifeFigures.bLives.at(k).value); },
                          static_cast<int>(k)});
    }
    fields.push_back(confidenceField);
    if (lifeOptionsNamed) fields.insert(fields.end(), namedBoundsFields.begin(), namedBoundsFields.end());
    fields.insert(fields.end(), shapeScaleBoundsFields.begin(), shapeScaleBoundsFields.end());
    for (std::size_t k = 0; k < bLives; ++k) {
        const double percent = request.bLifePercents[k];
        if (!request.boundEveryBLife && percent != 10) continue;
        const std::string name = bLifeName(percent);
        fields.push_back({name, FieldKind::interval, "bounds", name, bLifeBoundsPosition, bLifeLabel(name), "", 0,
                          [k](const FitReport& r) { return interval(r.run.lifeFigures.bLives.at(k).bounds); },
                          static_cast<int>(k)});
    }
    for (std::size_t k = 0; k < request.atTimes.size(); ++k) {
        const std::string name = "R@" + shortestText(request.atTimes[k]);
        fields.push_back({name, FieldKind::reliability, "at", name, reliabilityPosition, "", "", 0,
                          [k](const FitReport& r) {
                              const ReliabilityFigure& figure = r.run.lifeFigures.at.at(k);
                              FieldValue v = interval(figure.bounds);
                              v.number = figure.value;
                              v.bounded = figure.bounded;
                              v.at = figure.t;
                              return v;
                          },
                          static_cast<int>(k)});
    }
    fields.insert(fields.end(), tailFields.begin(), tailFields.end());
    if (rootGap) fields.insert(fields.end(), rootGapFields.begin(), rootGapFields.end());
    return fields;
}

std::vector<OutputField> outputFieldsOf(const RunOutcome& run) {
    return outputFieldsOf(run.life, run.lifeOptionsNamed, run.rootGap.measured);
}

const char* endingName(const RunOutcome& run) {
    switch (run.ending) {
        case SolveEnding::stopped: return run.timedOut ? "time-out" : "stopped";
        case SolveEnding::fixedPoint: return "fixed point";
        case SolveEnding::bound: return "bound";
        case SolveEnding::notRun:
        case SolveEnding::rootFound:
        case SolveEnding::converged: break;
    }
    return "converged";
}

std::vector<std::string> runWarnings(const RunOutcome& run) {
    std::vector<std::string> warnings;
    if (!run.invalidCause.empty()) {
        const bool scaledWouldMend = run.invalidBySums && run.solver == ShapeSolver::damped;
        warnings.push_back("not a valid fit: " + run.invalidCause +
                           (scaledWouldMend ? "; --solver newton evaluates them scaled" : ""));
    }
    if (run.zeroSpread) {
        warnings.emplace_back(
            "all failure times are equal: there is no Weibull fit to zero spread, and these "
            "numbers describe none");
    }
    const std::string note = solveEndingNote(run);
    if (!note.empty()) warnings.push_back(note);
    if (run.gammaEnding == GammaSearchEnding::lowerEnd) {
        warnings.emplace_back("the gamma search ended at its lower end (gamma = 0)");
    } else if (run.gammaEnding == GammaSearchEnding::upperEnd) {
        warnings.emplace_back("the gamma search ended at its upper end (gamma = 0.99 x the smallest value)");
    }
    if (run.rootGap.measured) {
        warnings.push_back(
            "the damped iteration rested short of the root: m agrees with it to " +
            std::to_string(agreeingDigits(run.result.m, run.rootGap.rootM)) + " of 9 printed digits, t0 to " +
            std::to_string(agreeingDigits(run.result.t0, run.rootGap.rootT0)) + "; --solver newton gives the root");
    }
    if (run.result.m <= 1) {
        warnings.emplace_back(
            "m <= 1: the density has no maximum at t > gamma, and gamma is not a likelihood estimate");
    }
    if (!run.sample.suspended.empty()) warnings.emplace_back("anderson_darling is not defined for a censored sample");
    if (!scaleInRange(run.result.t0) && std::isfinite(run.quality.eta)) {
        warnings.emplace_back("t0 = eta^m is out of the range of a double and prints as inf or 0: use eta");
    }
    appendMethodWarnings(run, warnings);
    const std::string names = nonFiniteNames(run);
    if (!names.empty()) warnings.push_back("non-finite result: " + names);
    warnings.insert(warnings.end(), run.readerNotes.begin(), run.readerNotes.end());
    if (!run.censored && run.suspendedMarks > 0) {
        // Status words without --censored are text after the number.
        warnings.push_back(std::to_string(run.suspendedMarks) +
                           " values are marked suspended (S) but were read as failures; "
                           "--censored treats them as suspensions");
    }
    return warnings;
}

ReportInput reportInputOf(const RunOutcome& run) {
    return {run.dataFile.c_str(), run.rankMethod, run.result, run.sample, run.censored};
}

std::string qualityLinesText(const FitReport& report) {
    const RunOutcome& run = report.run;
    const std::vector<OutputField> fields = outputFieldsOf(run);
    std::string text = "\n";
    for (const OutputField& field : fields) {
        if (field.textLabel.empty() || field.kind != FieldKind::number) continue;
        text += field.textLabel + reportNumber(field.value(report).number) + "\n";
    }
    text += "Bounds, " + std::string(sidesText(run.life.sides)) + " at confidence " + shortestText(run.confidence) +
            " (" + methodText(run.life.method) + ", gamma held fixed): lower, upper\n";
    for (const OutputField& field : fields) {
        if (field.textLabel.empty() || field.kind != FieldKind::interval) continue;
        const Interval bounds = field.value(report).interval;
        text += field.textLabel + boundText(run, bounds.lo, 0) + "   " + boundText(run, bounds.hi, 1) + "\n";
    }
    for (const OutputField& field : fields) {
        if (field.kind != FieldKind::reliability) continue;
        const FieldValue v = field.value(report);
        text += "Reliability at " + shortestText(v.at) + " : R = " + reportNumber(v.number);
        if (v.bounded) {
            text += "  lower " + boundText(run, v.interval.lo, 0) + "  upper " + boundText(run, v.interval.hi, 1);
        }
        text += "\n";
    }
    return text;
}

bool writeQualityLines(std::FILE* out, const FitReport& report) {
    return std::fputs(qualityLinesText(report).c_str(), out) >= 0;
}

std::string resultsText(const FitReport& report) {
    return resultLinesText(reportInputOf(report.run)) + qualityLinesText(report) + methodLinesText(report.run) +
           comparisonTableText(report.run);
}

std::vector<std::string> runNotes(const FitReport& report) {
    std::vector<std::string> notes;
    if (report.run.ending == SolveEnding::fixedPoint) {
        notes.emplace_back(
            "the iteration settled where a further step leaves m and g(m) unchanged; "
            "results are for that point");
    }
    notes.insert(notes.end(), report.warnings.begin(), report.warnings.end());
    return notes;
}

std::string reportJson(const FitReport& report) {
    Json object;
    for (const OutputField& field : outputFieldsOf(report.run)) {
        if (field.jsonKey.empty()) continue;
        Json& parent = field.jsonGroup.empty() ? object : object[field.jsonGroup];
        if (field.kind == FieldKind::reliability) {
            parent.push_back(jsonValue(field, field.value(report)));
        } else {
            parent[field.jsonKey] = jsonValue(field, field.value(report));
        }
    }
    addMethodJson(report.run, object);
    return jsonText(object);
}

std::string refusalJson(const RunOutcome& run) {
    Json object;
    object["file"] = run.dataFile;
    object["error"] = {{"caption", run.refusal.caption}, {"text", run.refusal.text}, {"cause", run.refusal.cause}};
    return jsonText(object);
}

std::string csvHeader(const LifeRequest& request) {
    std::string header;
    const std::vector<OutputField> fields = outputFieldsOf(request);
    for (const OutputField* field : csvFields(fields)) {
        for (const std::string& column : csvColumns(*field)) header += (header.empty() ? "" : ",") + column;
    }
    return header + "\n";
}

std::string reportCsvRow(const FitReport& report) {
    std::string row;
    bool first = true;
    const std::vector<OutputField> fields = outputFieldsOf(report.run);
    for (const OutputField* field : csvFields(fields)) {
        for (const std::string& value : csvValues(*field, field->value(report))) {
            if (!first) row += ',';
            first = false;
            row += value;
        }
    }
    return row + "\n";
}

std::string refusalCsvRow(const RunOutcome& run) {
    return csvField(run.dataFile) + std::string(csvColumnsAfterFile(outputFieldsOf(run.life)), ',') + "\n";
}

std::string methodLinesText(const RunOutcome& run) {
    std::string text;
    if (run.shapeMethod != ShapeMethod::mle) {
        text += std::string("Shape method       : ") + shapeMethodName(run.shapeMethod) +
                " (rank regression; the bounds above are the likelihood fit's)\n";
    }
    if (run.likelihoodLocation != LikelihoodLocation::notAsked) {
        text += std::string("Location method    : ") + gammaSource(run) + "\n";
        text += "Location std error : gamma  = " + reportNumber(run.gammaStandardError) + "\n";
        text += "Location bounds    : gamma  = " + reportNumber(run.gammaBounds.lo) + "   " +
                reportNumber(run.gammaBounds.hi) + "\n";
    }
    return text;
}

std::string comparisonTableText(const RunOutcome& run) {
    if (run.comparison.empty() || run.comparisonStopped) return {};
    std::string text = "\nDistributions ranked by AICc (n = " + std::to_string(run.sample.times.size()) +
                       "; lnL with the density in the unit of the times)\n";
    text += "rank distribution  k  lnL              AICc             BIC              A2               parameters\n";
    int rank = 0;
    for (const DistributionFit& fit : run.comparison) {
        char head[40];
        std::snprintf(head, sizeof head, "%4d %-12s %2d  ", ++rank, distributionName(fit.distribution), fit.k);
        text += head;
        if (!fit.error.empty()) {
            text += "no fit: " + fit.error + "\n";
            continue;
        }
        for (const double value : {fit.logLikelihood, fit.aicc, fit.bic, fit.andersonDarling}) {
            text += reportNumber(value) + "  ";
        }
        const std::vector<const char*> names = parameterNames(fit.distribution);
        for (std::size_t i = 0; i < names.size(); ++i) {
            text += std::string(i == 0 ? "" : ", ") + names[i] + " = " + shortestText(fit.parameters[i]);
        }
        if (!fit.note.empty()) text += " (" + fit.note + ")";
        text += "\n";
    }
    return text;
}
