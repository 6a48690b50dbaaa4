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

void markOptions() {
    HMENU menu = windowHandles.menu;
    CheckMenuItem(menu, IDM_READ_SUSPENSIONS, MF_BYCOMMAND | (analysisState.censored == 1 ? MF_CHECKED : MF_UNCHECKED));
    const UINT solver = analysisState.solver == ShapeSolver::newton ? IDM_SOLVER_BRACKETED : IDM_SOLVER_DAMPED;
    CheckMenuRadioItem(menu, IDM_SOLVER_DAMPED, IDM_SOLVER_BRACKETED, solver, MF_BYCOMMAND);
    UINT bounds = IDM_BOUNDS_90;
    for (const BoundsItem& b : boundsItems) {
        if (analysisState.confidence == b.confidence) bounds = b.item;
    }
    CheckMenuRadioItem(menu, IDM_BOUNDS_90, IDM_BOUNDS_99, bounds, MF_BYCOMMAND);
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
    }
    for (const BoundsItem& b : boundsItems) {
        if (item == b.item) analysisState.confidence = b.confidence;
    }
    markOptions();
}

void enableOptionsMenu(bool idle) {
    for (UINT item = IDM_READ_SUSPENSIONS; item <= IDM_BOUNDS_99; ++item) {
        EnableMenuItem(windowHandles.menu, item, MF_BYCOMMAND | (idle ? MF_ENABLED : MF_GRAYED));
    }
}
