// Resource ids shared by both resource scripts and the code. Each area keeps
// its ids in its own section.
#pragma once

// ---- application: icon, accelerators, About box -------------------------
#define IDI_PELORA              108
#define IDR_ACCELERATORS        131
#define IDD_ABOUT               105

// ---- message catalogue: string table ------------------------------------

// ---- frame: menus, bars, bitmaps, commands -------------------------------

// ---- settings: property pages, file chooser, dial-up dialogs ---------------

// ---- news download, password prompt, group list -----------------------------

// ---- dialogs: subscription, catch-up, keyword filter -----------------------
#define IDD_SUBSCRIBE           112
#define IDC_SUBSCRIBE_LIST      1015
#define IDC_SUBSCRIBE_DOWNLOAD  1016
#define IDC_SUBSCRIBE_CATEGORY  1017
#define IDB_SUBSCRIBE_ICONS     114
#define IDD_CATCHUP             120
#define IDC_CATCHUP_LOCAL       1019
#define IDC_CATCHUP_SERVER      1020
#define IDD_KEYWORD_FILTER      133
#define IDC_FILTER_KEYWORDS     1039
#define IDC_FILTER_HIGH         1040
#define IDC_FILTER_NORMAL       1041
#define IDC_FILTER_LOW          1042

// ---- views: subject view, article view -------------------------------------
#define IDB_SUBJECT_READ        115
#define IDB_SUBJECT_LOW         137
#define IDB_SUBJECT_HIGH        139

