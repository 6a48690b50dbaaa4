// Resource and control ids of the Windows program, shared by the C++ sources
// and the resource script (which is run through the C preprocessor, so this
// file holds only #defines).
#pragma once

// Icon and manifest
#define IDI_TARQUEL 101

// Controls of the dialog TarquelDlg
#define IDC_BROWSE 1000
#define IDC_STOP 1001
#define IDC_CALCULATE 1002
#define IDC_SAVE 1003
#define IDC_EXIT 1004
#define IDC_HELP_BUTTON 1005
#define IDC_AUTO_GAMMA 1006
#define IDC_DATA_FILE 1007
#define IDC_INITIAL_M 1008
#define IDC_GAMMA 1009
#define IDC_MONITOR_M 1010
#define IDC_MONITOR_F 1011
#define IDC_OUT_M 1012
#define IDC_OUT_T0 1013
#define IDC_OUT_GAMMA 1014
#define IDC_OUT_MU 1015
#define IDC_OUT_XI 1016
#define IDC_OUT_TM 1017
#define IDC_OUT_SIGMA2 1018
#define IDC_RANK_1 1019
#define IDC_RANK_2 1020
#define IDC_RANK_3 1021
#define IDC_RANK_4 1022

// Items of the menu TarquelMenu
#define IDM_CALCULATE 40001
#define IDM_SAVE 40002
#define IDM_STOP 40003
#define IDM_EXIT 40004
#define IDM_PLOT 40005
#define IDM_CONTENTS 40006
#define IDM_HELP_ON_HELP 40007
#define IDM_ABOUT 40008
#define IDM_RESULTS 40009
// The Options menu: a check item, two radio groups, two check items, a
// radio group
#define IDM_READ_SUSPENSIONS 40010
#define IDM_SOLVER_DAMPED 40011
#define IDM_SOLVER_BRACKETED 40012
#define IDM_BOUNDS_90 40013
#define IDM_BOUNDS_95 40014
#define IDM_BOUNDS_99 40015
#define IDM_COMPARE 40016
#define IDM_LOCATION_MLE 40017
#define IDM_SHAPE_MLE 40018
#define IDM_SHAPE_RRY 40019
#define IDM_SHAPE_RRX 40020

// Controls of the Results window
#define IDC_RESULTS_TEXT 1101
#define IDC_RESULTS_COPY 1102
#define IDC_RESULTS_SAVE_JSON 1103
