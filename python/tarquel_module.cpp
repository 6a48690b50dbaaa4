// tarquel._tarquel: the native part of the Python module.
//
// Three calls over the same run and reader as the command line: a fit (of
// given times or of a data file), the data file reader, and the list of
// output fields. The Python package (python/tarquel) checks the options,
// turns refusals into exceptions and the JSON text into Fit objects.
//
// A fit runs on a thread of its own while the calling thread waits without
// the Python lock, taking it back every 50 ms to let Python handle pending
// signals: a Ctrl-C sets the run's stop flag, as Stop does, and the
// KeyboardInterrupt is raised once the run has ended.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <future>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "datafiles/data_file.h"
#include "run/calculation_run.h"
#include "run/run_outputs.h"

namespace py = pybind11;

namespace {

// Arrays as the run reads them: contiguous, converted only when they are not
// already contiguous arrays of this type (a contiguous float64 array is
// read in place).
using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Marks = py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast>;
using Counts = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;

constexpr char readErrorCaption[] = "Read data error";
constexpr char readErrorText[] = "Invalid data type";
constexpr auto signalPoll = std::chrono::milliseconds(50);

// What a fit call hands back: the refusal's caption, text and cause (all
// empty when fitted) and the JSON object of a fitted run ("" when refused).
using FitAnswer = std::tuple<std::string, std::string, std::string, std::string>;

FitAnswer dataFault(std::string cause) { return {readErrorCaption, readErrorText, std::move(cause), ""}; }

// The sample of these times, suspension marks (nonzero: suspended) and
// counts (each time repeated count times, as a file listing it that often
// would); the cause when it cannot be fitted as given.
std::optional<std::string> buildSample(const Doubles& times, const std::optional<Marks>& marks,
                                       const std::optional<Counts>& counts, Sample& sample) {
    const auto n = static_cast<std::size_t>(times.size());
    if (marks && static_cast<std::size_t>(marks->size()) != n) {
        return "suspended has " + std::to_string(marks->size()) + " entries for " + std::to_string(n) + " times";
    }
    if (counts && static_cast<std::size_t>(counts->size()) != n) {
        return "counts has " + std::to_string(counts->size()) + " entries for " + std::to_string(n) + " times";
    }
    const double* t = times.data();
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isnan(t[i])) return "time " + std::to_string(i) + " is not a number";
        if (std::isinf(t[i])) return "time " + std::to_string(i) + " is infinite";
    }
    std::uint64_t total = n;
    if (counts) {
        total = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::int64_t c = counts->data()[i];
            if (c < 0) return "count " + std::to_string(i) + " is " + std::to_string(c) + ", below 0";
            total += static_cast<std::uint64_t>(c);
            if (total > std::numeric_limits<std::uint32_t>::max()) return "more than 4294967295 values in all";
        }
    } else if (total > std::numeric_limits<std::uint32_t>::max()) {
        return "more than 4294967295 values";
    }
    std::vector<double> values;
    std::vector<std::uint8_t> suspended;
    values.reserve(total);
    if (marks) suspended.reserve(total);
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t repeat = counts ? counts->data()[i] : 1;
        values.insert(values.end(), static_cast<std::size_t>(repeat), t[i]);
        if (marks) suspended.insert(suspended.end(), static_cast<std::size_t>(repeat), marks->data()[i] != 0 ? 1 : 0);
    }
    sample = makeSample(std::move(values), std::move(suspended));
    return std::nullopt;
}

// Runs the calculation on a thread of its own; the caller, holding the
// Python lock, waits without it and handles signals in between. A signal
// whose handler raises (Ctrl-C's KeyboardInterrupt) sets the stop flag; the
// exception is raised after the run has ended.
RunOutcome runWatched(RunInputs& inputs) {
    std::atomic<int> stop{0};
    inputs.stopFlag = &stop;
    bool interrupted = false;
    RunOutcome outcome;
    {
        py::gil_scoped_release unlocked;
        auto running = std::async(std::launch::async, [&inputs] {
            FrontEnd silent;
            return runCalculation(inputs, silent);
        });
        while (running.wait_for(signalPoll) != std::future_status::ready) {
            if (interrupted) continue;
            py::gil_scoped_acquire locked;
            if (PyErr_CheckSignals() != 0) {
                interrupted = true;
                stop.store(1, std::memory_order_relaxed);
            }
        }
        outcome = running.get();
    }
    if (interrupted) throw py::error_already_set();
    return outcome;
}

FitAnswer fit(std::optional<Doubles> times, std::optional<Marks> suspended, std::optional<Counts> counts,
              std::optional<std::string> path, bool censored, int rank, std::optional<double> gamma, double initialM,
              const std::string& solver, double confidence, double timeoutSeconds, const std::string& name) {
    RunInputs in;
    if (path) {
        in.dataFilePath = *path;
        in.read.censored = censored;
    } else {
        if (const auto fault = buildSample(*times, suspended, counts, in.sample)) return dataFault(*fault);
        in.given = true;
        in.dataFilePath = name;  // only named in the outputs
    }
    in.rankMethod = rank;
    in.autoGamma = !gamma.has_value();
    in.gamma = gamma.value_or(0);
    in.initialM = initialM;
    in.solver = solver == "newton" ? ShapeSolver::newton : ShapeSolver::damped;
    in.confidence = confidence;
    in.refuseZeroSpread = true;
    in.measureRootGap = true;
    in.timeoutSeconds = timeoutSeconds;
    const RunOutcome run = runWatched(in);
    if (!fitted(run)) return {run.refusal.caption, run.refusal.text, run.refusal.cause, ""};
    return {"", "", "", reportJson(FitReport{run, runWarnings(run)})};
}

template <class T>
py::array_t<T> arrayOf(const std::vector<T>& values) {
    py::array_t<T> array(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
}

// The values of a data file (file order), their suspension marks (censored
// reading only, else None) and the count of values marked S or s.
py::tuple readFile(const std::string& path, bool censored) {
    DataFileContents contents;
    {
        py::gil_scoped_release unlocked;
        contents = readDataFile(path.c_str(), censored);
    }
    if (!contents.opened) return py::make_tuple(py::none(), py::none(), 0);
    py::object marks = py::none();
    if (censored) marks = arrayOf(contents.suspended).attr("astype")("bool");
    return py::make_tuple(arrayOf(contents.times), marks, contents.suspendedMarks);
}

const char* kindName(FieldKind kind) {
    switch (kind) {
        case FieldKind::text: return "text";
        case FieldKind::count: return "count";
        case FieldKind::number: return "number";
        case FieldKind::interval: return "interval";
        case FieldKind::list: return "list";
        case FieldKind::flag: return "flag";
        case FieldKind::reliability: return "reliability";
    }
    return "";
}

// (name, kind, JSON group, JSON key) of every field in the JSON object, in
// its order.
std::vector<std::tuple<std::string, std::string, std::string, std::string>> fields() {
    std::vector<std::tuple<std::string, std::string, std::string, std::string>> list;
    for (const OutputField& field : outputFieldsOf(LifeRequest{})) {
        if (!field.jsonKey.empty()) list.emplace_back(field.name, kindName(field.kind), field.jsonGroup, field.jsonKey);
    }
    return list;
}

}  // namespace

PYBIND11_MODULE(_tarquel, module) {
    module.doc() = "The native part of tarquel: the run, the data file reader and the output fields.";
    module.def("fit", &fit, py::arg("times"), py::arg("suspended"), py::arg("counts"), py::arg("path"),
               py::arg("censored"), py::arg("rank"), py::arg("gamma"), py::arg("initial_m"), py::arg("solver"),
               py::arg("confidence"), py::arg("timeout"), py::arg("name"),
               "Runs one fit; returns (caption, text, cause, json): a refusal, or the JSON object.");
    module.def("read", &readFile, py::arg("path"), py::arg("censored"),
               "Reads a data file: (times, suspended or None, marked S), or (None, None, 0) when unreadable.");
    module.def("fields", &fields, "The output fields in JSON order: (name, kind, group, key).");
}
