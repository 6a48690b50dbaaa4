#include "tests/recording_front_end.h"

#include <cstdio>

RunOutcome runWith(const TestRun& run, RecordingFrontEnd* recording) {
    RunInputs in;
    in.dataFilePath = run.path;
    in.rankMethod = run.rankMethod;
    in.autoGamma = run.autoGamma;
    in.gamma = run.gamma;
    in.initialM = run.initialM;
    in.solver = run.solver;
    in.read.censored = run.censored;
    in.refuseZeroSpread = run.refuseZeroSpread;
    in.given = !run.times.empty();
    in.sample = makeSample(run.times);
    const std::atomic<int> stop{run.stop};
    in.stopFlag = &stop;
    RecordingFrontEnd silent;
    return runCalculation(in, recording != nullptr ? *recording : silent);
}

Refusal runOnTheRecord(const TestRun& run, RecordingFrontEnd& recording) {
    AnalysisState& s = analysisState;
    std::snprintf(s.dataFilePath, sizeof s.dataFilePath, "%s", run.path.c_str());
    s.rankMethod = run.rankMethod;
    s.autoGamma = run.autoGamma ? 1 : 0;
    s.result.gamma = run.gamma;
    s.initialM = run.initialM;
    s.solver = run.solver;
    s.censored = run.censored ? 1 : 0;
    s.stopFlag.store(run.stop);
    return runOnRecord(s, recording);
}

void resetAnalysisState() {
    releaseSample();
    AnalysisState& s = analysisState;
    s.dataFilePath[0] = s.reportFilePath[0] = s.helpFilePath[0] = '\0';
    s.rankMethod = 0;
    s.autoGamma = 0;
    s.initialM = 0;
    resetOptions(s);
    s.stopFlag.store(0);
    s.result = FitResult{};
    static const RunOutcome fresh;  // copied: GCC 12 misreads a moved temporary of this size (-Wmaybe-uninitialized)
    s.lastRun = fresh;
}
