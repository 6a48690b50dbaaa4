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

const char* gammaSource(const RunOutcome& run) {
    if (run.likelihoodLocation == LikelihoodLocation::maximum) return "mle";
    if (run.likelihoodLocation == LikelihoodLocation::noMaximum) return "curvature (no likelihood maximum)";
    return run.gammaEnding == GammaSearchEnding::typed ? "typed" : "searched";
}

// name, kind, JSON group and key, CSV position, text label, legend label and position, value.
const std::vector<OutputField> fields = {
    {"file", FieldKind::text, "", "file", 1, nullptr, nullptr, 0,
     [](const FitReport& r) { return text(r.run.dataFile); }},
    {"n", FieldKind::count, "", "n", 2, nullptr, nullptr, 0,
     [](const FitReport& r) { return count(r.run.sample.times.size()); }},
    {"rank", FieldKind::count, "", "rank", 3, nullptr, nullptr, 0,
     [](const FitReport& r) { return count(static_cast<std::uint64_t>(r.run.rankMethod)); }},
    {"gamma_source", FieldKind::text, "", "gamma_source", 4, nullptr, nullptr, 0,
     [](const FitReport& r) { return text(gammaSource(r.run)); }},
    {"m", FieldKind::number, "", "m", 5, nullptr, "m", 1, [](const FitReport& r) { return number(result(r).m); }},
    {"t0", FieldKind::number, "", "t0", 6, nullptr, nullptr, 0, [](const FitReport& r) { return number(result(r).t0); }},
    {"gamma", FieldKind::number, "", "gamma", 7, nullptr, "gamma", 3,
     [](const FitReport& r) { return number(result(r).gamma); }},
    {"mu", FieldKind::number, "", "mu", 9, nullptr, nullptr, 0, [](const FitReport& r) { return number(result(r).mu); }},
    {"xi", FieldKind::number, "", "xi", 10, nullptr, nullptr, 0, [](const FitReport& r) { return number(result(r).xi); }},
    {"tm", FieldKind::number, "", "tm", 11, nullptr, nullptr, 0, [](const FitReport& r) { return number(result(r).tm); }},
    {"sigma2", FieldKind::number, "", "sigma2", 12, nullptr, nullptr, 0,
     [](const FitReport& r) { return number(result(r).sigma2); }},
    {"eta", FieldKind::number, "", "eta", 8, "Scale (t0^(1/m))   : eta    = ", "eta", 2,
     [](const FitReport& r) { return number(quality(r).eta); }},
    {"ending", FieldKind::text, "", "ending", 25, nullptr, nullptr, 0,
     [](const FitReport& r) { return text(endingName(r.run)); }},
    {"log_likelihood", FieldKind::number, "", "log_likelihood", 13, "Log-likelihood     : lnL    = ", nullptr, 0,
     [](const FitReport& r) { return number(quality(r).logLikelihood); }},
    {"r2", FieldKind::number, "", "r2", 14, "Plot correlation   : r2     = ", nullptr, 0,
     [](const FitReport& r) { return number(quality(r).r2); }},
    {"anderson_darling", FieldKind::number, "", "anderson_darling", 15, "Anderson-Darling   : A2     = ", nullptr, 0,
     [](const FitReport& r) { return number(quality(r).andersonDarling); }},
    {"B1", FieldKind::number, "b_lives", "B1", 16, "B1  life           : B1     = ", nullptr, 0,
     [](const FitReport& r) { return number(quality(r).b1); }},
    {"B10", FieldKind::number, "b_lives", "B10", 17, "B10 life           : B10    = ", nullptr, 0,
     [](const FitReport& r) { return number(quality(r).b10); }},
    {"B50", FieldKind::number, "b_lives", "B50", 18, "B50 life           : B50    = ", nullptr, 0,
     [](const FitReport& r) { return number(quality(r).b50); }},
    {"confidence", FieldKind::number, "bounds", "confidence", 0, nullptr, nullptr, 0,
     [](const FitReport& r) { return number(r.run.confidence); }},
    {"m", FieldKind::interval, "bounds", "m", 19, "Shape    parameter : m      = ", nullptr, 0,
     [](const FitReport& r) { return interval(quality(r).mBounds); }},
    {"eta", FieldKind::interval, "bounds", "eta", 20, "Scale (t0^(1/m))   : eta    = ", nullptr, 0,
     [](const FitReport& r) { return interval(quality(r).etaBounds); }},
    {"B10", FieldKind::interval, "bounds", "B10", 21, "B10 life           : B10    = ", nullptr, 0,
     [](const FitReport& r) { return interval(quality(r).b10Bounds); }},
    {"warnings", FieldKind::list, "", "warnings", 0, nullptr, nullptr, 0,
     [](const FitReport& r) {
         FieldValue v;
         v.list = r.warnings;
         return v;
     }},
    {"failures", FieldKind::count, "", "failures", 26, nullptr, nullptr, 0,
     [](const FitReport& r) { return count(r.run.sample.failures); }},
    {"suspensions", FieldKind::count, "", "suspensions", 27, nullptr, nullptr, 0,
     [](const FitReport& r) { return count(r.run.sample.times.size() - r.run.sample.failures); }},
    {"valid", FieldKind::flag, "", "valid", 28, nullptr, nullptr, 0,
     [](const FitReport& r) {
         FieldValue v;
         v.flag = validFit(r.run);
         return v;
     }},
};

// The CSV column names of a field: NAME, or NAME_lo and NAME_hi.
std::vector<std::string> csvColumns(const OutputField& field) {
    if (field.kind != FieldKind::interval) return {field.name};
    return {std::string(field.name) + "_lo", std::string(field.name) + "_hi"};
}

// The fields in CSV order.
std::vector<const OutputField*> csvFields() {
    std::vector<const OutputField*> order;
    for (const OutputField& field : fields) {
        if (field.csvPosition > 0) order.push_back(&field);
    }
    std::sort(order.begin(), order.end(),
              [](const OutputField* a, const OutputField* b) { return a->csvPosition < b->csvPosition; });
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
        case FieldKind::list: break;
    }
    return {};
}

std::string reportNumber(double value) {
    char number[numberTextSize];
    formatReportNumber(value, number);
    return number;
}

// The column count of a CSV row after the file name.
std::size_t csvColumnsAfterFile() {
    std::size_t columns = 0;
    for (const OutputField* field : csvFields()) columns += csvColumns(*field).size();
    return columns - 1;
}

std::string solveEndingNote(const RunOutcome& run) {
    switch (run.ending) {
        case SolveEnding::stopped:
            return run.timedOut ? "stopped after " + shortestText(run.timeoutSeconds) +
                                      " s; results are for the point reached"
                                : "stopped; results are for the point reached";
        case SolveEnding::bound: return "the iteration diverged (|m| > 1e154)";
        case SolveEnding::fixedPoint:
        case SolveEnding::notRun:
        case SolveEnding::rootFound:
        case SolveEnding::converged:
            break;
    }
    return "";
}

// Names the non-finite numbers among the figures (A2 of a censored sample
// is said once on its own).
std::string nonFiniteNames(const RunOutcome& run) {
    const bool censored = !run.sample.suspended.empty();
    const FitReport report{run, {}};
    std::string names;
    for (const OutputField* field : csvFields()) {
        const FieldValue v = field->value(report);
        if (field->kind == FieldKind::number && !std::isfinite(v.number)) {
            if (censored && std::strcmp(field->name, "anderson_darling") == 0) continue;
            names += names.empty() ? "" : ", ";
            names += field->name;
        } else if (field->kind == FieldKind::interval) {
            const std::vector<std::string> columns = csvColumns(*field);
            const double bounds[2] = {v.interval.lo, v.interval.hi};
            for (std::size_t k = 0; k < 2; ++k) {
                if (std::isfinite(bounds[k])) continue;
                names += names.empty() ? "" : ", ";
                names += columns[k];
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

void appendMethodWarnings(const RunOutcome& run, std::vector<std::string>& warnings) {
    if (run.likelihoodLocation == LikelihoodLocation::noMaximum) {
        warnings.emplace_back("the profile likelihood has no maximum below the smallest time (it keeps rising "
                              "toward it): gamma is the curvature's");
    }
    const FitResult& ml = run.shapeMethod == ShapeMethod::mle ? run.result : run.likelihoodResult;
    if (run.likelihoodLocation == LikelihoodLocation::maximum && !(ml.m > 2)) {
        warnings.emplace_back("m <= 2 at the likelihood location: the regularity conditions do not hold, and gamma "
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
    if (run.comparison.empty()) return;
    Json list = Json::array();
    for (const DistributionFit& fit : run.comparison) list.push_back(comparisonJson(fit));
    object["compare"] = list;
}

}  // namespace

const std::vector<OutputField>& outputFields() { return fields; }

const OutputField* findOutputField(const char* name) {
    for (const OutputField& field : fields) {
        if (std::strcmp(field.name, name) == 0) return &field;
    }
    return nullptr;
}

const char* endingName(const RunOutcome& run) {
    switch (run.ending) {
        case SolveEnding::stopped: return run.timedOut ? "time-out" : "stopped";
        case SolveEnding::fixedPoint: return "fixed point";
        case SolveEnding::bound: return "bound";
        case SolveEnding::notRun:
        case SolveEnding::rootFound:
        case SolveEnding::converged:
            break;
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
        warnings.emplace_back("all failure times are equal: there is no Weibull fit to zero spread, and these "
                              "numbers describe none");
    }
    const std::string note = solveEndingNote(run);
    if (!note.empty()) warnings.push_back(note);
    if (run.gammaEnding == GammaSearchEnding::lowerEnd) {
        warnings.emplace_back("the gamma search ended at its lower end (gamma = 0)");
    } else if (run.gammaEnding == GammaSearchEnding::upperEnd) {
        warnings.emplace_back("the gamma search ended at its upper end (gamma = 0.99 x the smallest value)");
    }
    if (run.result.m <= 1) {
        warnings.emplace_back("m <= 1: the density has no maximum at t > gamma, and gamma is not a likelihood estimate");
    }
    if (!run.sample.suspended.empty()) warnings.emplace_back("anderson_darling is not defined for a censored sample");
    appendMethodWarnings(run, warnings);
    const std::string names = nonFiniteNames(run);
    if (!names.empty()) warnings.push_back("non-finite result: " + names);
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

bool writeQualityLines(std::FILE* out, const FitReport& report) {
    std::string text = "\n";
    for (const OutputField& field : fields) {
        if (field.textLabel == nullptr || field.kind != FieldKind::number) continue;
        text += field.textLabel + reportNumber(field.value(report).number) + "\n";
    }
    text += "Bounds, two-sided at confidence " + shortestText(report.run.confidence) +
            " (Fisher matrix, gamma held fixed): lower, upper\n";
    for (const OutputField& field : fields) {
        if (field.textLabel == nullptr || field.kind != FieldKind::interval) continue;
        const Interval bounds = field.value(report).interval;
        text += field.textLabel + reportNumber(bounds.lo) + "   " + reportNumber(bounds.hi) + "\n";
    }
    return std::fputs(text.c_str(), out) >= 0;
}

std::string reportJson(const FitReport& report) {
    Json object;
    for (const OutputField& field : fields) {
        if (field.jsonKey == nullptr) continue;
        Json& parent = field.jsonGroup[0] == '\0' ? object : object[field.jsonGroup];
        parent[field.jsonKey] = jsonValue(field, field.value(report));
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

std::string csvHeader() {
    std::string header;
    for (const OutputField* field : csvFields()) {
        for (const std::string& column : csvColumns(*field)) header += (header.empty() ? "" : ",") + column;
    }
    return header + "\n";
}

std::string reportCsvRow(const FitReport& report) {
    std::string row;
    bool first = true;
    for (const OutputField* field : csvFields()) {
        for (const std::string& value : csvValues(*field, field->value(report))) {
            if (!first) row += ',';
            first = false;
            row += value;
        }
    }
    return row + "\n";
}

std::string refusalCsvRow(const RunOutcome& run) {
    return csvField(run.dataFile) + std::string(csvColumnsAfterFile(), ',') + "\n";
}

bool writeMethodLines(std::FILE* out, const RunOutcome& run) {
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
    return std::fputs(text.c_str(), out) >= 0;
}

bool writeComparisonTable(std::FILE* out, const RunOutcome& run) {
    if (run.comparison.empty()) return true;
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
    return std::fputs(text.c_str(), out) >= 0;
}
