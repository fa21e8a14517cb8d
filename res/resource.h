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
constexpr unsigned IDS_SAVE_NOT_WAV = 61451;
constexpr unsigned IDS_DEVICE_BUSY = 61452;
constexpr unsigned IDS_SAVE_WHILE_RECORDING = 61453;
constexpr unsigned IDS_EFFECT_BUSY = 61454;

// Files converted to 16 bits on opening: the notice, the question before
// 上書き保存, and the names of the file's shapes they use.
constexpr unsigned IDS_OPEN_CONVERTED = 61455;
constexpr unsigned IDS_SAVE_CONVERTED = 61456;
constexpr unsigned IDS_ENCODING_PCM24 = 61457;
constexpr unsigned IDS_ENCODING_PCM32 = 61458;
constexpr unsigned IDS_ENCODING_FLOAT32 = 61459;
constexpr unsigned IDS_ENCODING_FLOAT64 = 61460;
constexpr unsigned IDS_ENCODING_ALAW = 61461;
constexpr unsigned IDS_ENCODING_MULAW = 61462;

// The program's own commands.
constexpr unsigned ID_PCM_RECORD = 32771;
constexpr unsigned ID_PCM_PLAY = 32772;
constexpr unsigned ID_PCM_STOP = 32773;
constexpr unsigned ID_EFFECT_ECHO = 32779;
constexpr unsigned ID_EFFECT_REVERSE = 32780;
constexpr unsigned ID_PCM_DEVICE = 32784;
constexpr unsigned ID_EDIT_DELETE = 32785;
constexpr unsigned ID_EFFECT_VIBRATO = 32793;
constexpr unsigned ID_EFFECT_CHORUS = 32794;
constexpr unsigned ID_EFFECT_TREMOLO = 32795;
constexpr unsigned ID_EFFECT_VOICE = 32796;
constexpr unsigned ID_EFFECT_SINE = 32797;
constexpr unsigned ID_PAGE_LAYOUT = 32895;

// Standard commands of the document/view framework.
constexpr unsigned ID_FILE_NEW = 57600;
constexpr unsigned ID_FILE_OPEN = 57601;
constexpr unsigned ID_FILE_SAVE = 57603;
constexpr unsigned ID_FILE_SAVE_AS = 57604;
constexpr unsigned ID_FILE_PRINT_SETUP = 57606;
constexpr unsigned ID_FILE_PRINT = 57607;
constexpr unsigned ID_FILE_PRINT_DIRECT = 57608;
constexpr unsigned ID_FILE_PRINT_PREVIEW = 57609;
constexpr unsigned ID_FILE_MRU_FILE1 = 57616; // 57616..57631: recent-file slots
constexpr unsigned ID_FILE_MRU_LAST = 57631;
constexpr unsigned ID_EDIT_COPY = 57634;
constexpr unsigned ID_EDIT_CUT = 57635;
constexpr unsigned ID_EDIT_PASTE = 57637;
constexpr unsigned ID_EDIT_UNDO = 57643;
constexpr unsigned ID_APP_ABOUT = 57664;
constexpr unsigned ID_APP_EXIT = 57665;
constexpr unsigned ID_HELP_FINDER = 57667;
constexpr unsigned ID_CONTEXT_HELP = 57669;
constexpr unsigned ID_HELP = 57670;
constexpr unsigned ID_DEFAULT_HELP = 57671;
constexpr unsigned ID_NEXT_PANE = 57680;
constexpr unsigned ID_PREV_PANE = 57681;
constexpr unsigned ID_VIEW_TOOLBAR = 59392;
constexpr unsigned ID_VIEW_STATUS_BAR = 59393;

// Status-bar panes of the framework.
constexpr unsigned ID_SEPARATOR = 0;
constexpr unsigned ID_INDICATOR_CAPS = 59137;
constexpr unsigned ID_INDICATOR_NUM = 59138;
constexpr unsigned ID_INDICATOR_SCRL = 59139;

// Resources.
constexpr unsigned IDR_MAINFRAME = 128;
constexpr unsigned IDD_ABOUTBOX = 100;

// Strings of the framework.
constexpr unsigned AFX_IDS_APP_TITLE = 57344;
constexpr unsigned AFX_IDS_IDLEMESSAGE = 57345;
constexpr unsigned AFX_IDS_OPENFILE = 61440;
constexpr unsigned AFX_IDS_SAVEFILE = 61441;
constexpr unsigned AFX_IDS_ALLFILTER = 61442;
constexpr unsigned AFX_IDS_UNTITLED = 61443;
constexpr unsigned AFX_IDS_PRINTONPORT = 61504;
constexpr unsigned AFX_IDS_ONEPAGE = 61505;
constexpr unsigned AFX_IDS_TWOPAGE = 61506;
constexpr unsigned AFX_IDS_PRINTPAGENUM = 61507;
constexpr unsigned AFX_IDS_PREVIEWPAGEDESC = 61508;
constexpr unsigned AFX_IDS_PRINTFILTER = 61511;
constexpr unsigned AFX_IDS_PRINTCAPTION = 61512;
constexpr unsigned AFX_IDP_FAILED_TO_OPEN_DOC = 61697;
constexpr unsigned AFX_IDP_FAILED_TO_SAVE_DOC = 61698;
constexpr unsigned AFX_IDP_ASK_TO_SAVE = 61699;
constexpr unsigned AFX_IDP_FAILED_TO_START_PRINT = 61702;
constexpr unsigned AFX_IDP_PARSE_INT = 61712;
constexpr unsigned AFX_IDP_PARSE_REAL = 61713;
constexpr unsigned AFX_IDP_PARSE_REAL_RANGE = 61715;

// Strings of printing: where a job goes and why one failed.
constexpr unsigned IDS_PRINT_TO_PDF = 61740;
constexpr unsigned IDS_PRINT_NO_ROOM = 61741;
constexpr unsigned IDS_PRINT_PAGE_FAILED = 61742;
constexpr unsigned IDS_PRINT_END_FAILED = 61743;
constexpr unsigned IDS_PRINT_FILE_NOT_CREATED = 61744;
constexpr unsigned IDS_PRINT_FILE_NOT_SAVED = 61745;
constexpr unsigned IDS_PRINT_NOT_PDF = 61746;
