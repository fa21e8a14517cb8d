#pragma once
// Identifiers of the editor's controls, status-bar panes, strings and
// commands. Later layers add theirs here so every number has one home.

// Recording panel (dialog template 130).
constexpr unsigned IDD_RECORD_PANEL = 130;
constexpr unsigned IDC_RATE = 1000;
constexpr unsigned IDC_CHANNELS = 1001;
constexpr unsigned IDC_BITS = 1002;
constexpr unsigned IDC_REC_TIME = 1003;
constexpr unsigned IDC_REC_TIME_SPIN = 1005;
constexpr unsigned IDC_DATA_BYTES = 1008;
constexpr unsigned IDC_DATA_MS = 1009;
constexpr unsigned IDC_CUR_BITS = 1036;
constexpr unsigned IDC_CUR_CHANNELS = 1037;
constexpr unsigned IDC_CUR_RATE = 1038;

// Status-bar panes with texts of their own.
constexpr unsigned ID_INDICATOR_SELTIME = 61448;
constexpr unsigned ID_INDICATOR_SELFREQ = 61449;

// Strings of the recording panel.
constexpr unsigned IDS_ZERO_INVALID = 61447;
constexpr unsigned IDS_REC_TIME_NOT_NUMBER = 61450;
