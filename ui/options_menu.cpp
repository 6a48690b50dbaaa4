#include "ui/options_menu.h"

#include "run/analysis_state.h"
#include "ui/window_handles.h"

namespace {

// The level of each bounds item.
struct BoundsItem {
    UINT item;
    double confidence;
};
constexpr BoundsItem boundsItems[] = {{IDM_BOUNDS_90, 0.9}, {IDM_BOUNDS_95, 0.95}, {IDM_BOUNDS_99, 0.99}};

// The shape method of each item of its radio group.
struct ShapeItem {
    UINT item;
    ShapeMethod method;
};
constexpr ShapeItem shapeItems[] = {
    {IDM_SHAPE_MLE, ShapeMethod::mle}, {IDM_SHAPE_RRY, ShapeMethod::rry}, {IDM_SHAPE_RRX, ShapeMethod::rrx}};

UINT checkFlag(bool checked) { return MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED); }

void markOptions() {
    HMENU menu = windowHandles.menu;
    CheckMenuItem(menu, IDM_READ_SUSPENSIONS, checkFlag(analysisState.censored == 1));
    const UINT solver = analysisState.solver == ShapeSolver::newton ? IDM_SOLVER_BRACKETED : IDM_SOLVER_DAMPED;
    CheckMenuRadioItem(menu, IDM_SOLVER_DAMPED, IDM_SOLVER_BRACKETED, solver, MF_BYCOMMAND);
    UINT bounds = IDM_BOUNDS_90;
    for (const BoundsItem& b : boundsItems) {
        if (analysisState.confidence == b.confidence) bounds = b.item;
    }
    CheckMenuRadioItem(menu, IDM_BOUNDS_90, IDM_BOUNDS_99, bounds, MF_BYCOMMAND);
    CheckMenuItem(menu, IDM_COMPARE, checkFlag(analysisState.compare == 1));
    CheckMenuItem(menu, IDM_LOCATION_MLE, checkFlag(analysisState.gammaMethod == GammaMethod::mle));
    UINT shape = IDM_SHAPE_MLE;
    for (const ShapeItem& s : shapeItems) {
        if (analysisState.shapeMethod == s.method) shape = s.item;
    }
    CheckMenuRadioItem(menu, IDM_SHAPE_MLE, IDM_SHAPE_RRX, shape, MF_BYCOMMAND);
}

}  // namespace

void resetOptionsMenu() {
    resetOptions(analysisState);
    markOptions();
}

void chooseOption(UINT item) {
    if ((GetMenuState(windowHandles.menu, item, MF_BYCOMMAND) & MF_GRAYED) != 0) return;
    if (item == IDM_READ_SUSPENSIONS) {
        analysisState.censored = analysisState.censored == 1 ? 0 : 1;
    } else if (item == IDM_SOLVER_DAMPED || item == IDM_SOLVER_BRACKETED) {
        analysisState.solver = item == IDM_SOLVER_BRACKETED ? ShapeSolver::newton : ShapeSolver::damped;
    } else if (item == IDM_COMPARE) {
        analysisState.compare = analysisState.compare == 1 ? 0 : 1;
    } else if (item == IDM_LOCATION_MLE) {
        const bool mle = analysisState.gammaMethod == GammaMethod::mle;
        analysisState.gammaMethod = mle ? GammaMethod::curvature : GammaMethod::mle;
    }
    for (const BoundsItem& b : boundsItems) {
        if (item == b.item) analysisState.confidence = b.confidence;
    }
    for (const ShapeItem& s : shapeItems) {
        if (item == s.item) analysisState.shapeMethod = s.method;
    }
    markOptions();
}

void enableOptionsMenu(bool idle) {
    for (UINT item = IDM_READ_SUSPENSIONS; item <= IDM_SHAPE_RRX; ++item) {
        EnableMenuItem(windowHandles.menu, item, MF_BYCOMMAND | (idle ? MF_ENABLED : MF_GRAYED));
    }
}
