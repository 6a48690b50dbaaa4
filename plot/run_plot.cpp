#include "plot/run_plot.h"

#include <limits>

#include "run/run_outputs.h"

PlotInput plotInputOfRun(const RunOutcome& run) {
    PlotInput input{};
    input.title = run.dataFile.c_str();
    input.sortedTimes = run.sample.times;
    input.suspended = run.sample.suspended;
    input.rankMethod = run.rankMethod;
    input.fit = run.result;
    input.r2 = run.hasQuality ? run.quality.r2 : std::numeric_limits<double>::quiet_NaN();
    const FitReport report{run, {}};
    for (const OutputField& field : outputFields()) {
        if (field.legendLabel == nullptr || field.kind != FieldKind::number) continue;
        input.figures.push_back({field.legendPosition, field.legendLabel, field.value(report).number});
    }
    return input;
}
