// Resource ids shared by both resource scripts and the code. Each area keeps
// its ids in its own section.
#pragma once

// ---- application: icon, accelerators, About box -------------------------
#define IDI_PELORA              108
#define IDR_ACCELERATORS        131
#define IDD_ABOUT               105

// ---- message catalogue: string table ------------------------------------
#define IDS_HEADER_LINE_COLOR        1
#define IDS_QUOTE_LINE_COLOR         3
#define IDS_INDEX_INVALID            5
#define IDS_DATA_INIT_FAILED         7
#define IDS_DIAL_CONNECTING          9
#define IDS_OUT_OF_MEMORY            11
#define IDS_PATROL_THREAD_FAILED     13
#define IDS_DOWNLOAD_DONE            15
#define IDS_DELETE_READ_CONFIRM      17
#define IDS_DELETE_READ_FAILED       21
#define IDS_INDEX_INIT_FAILED        23
#define IDS_MARK_READ_FAILED         25
#define IDS_SET_FAILED               27
#define IDS_DIAL_OPENING_PORT        29
#define IDS_DIAL_PORT_OPENED         31
#define IDS_DIAL_CONNECTING_DEVICE   33
#define IDS_DIAL_DEVICE_CONNECTED    35
#define IDS_DIAL_AUTHENTICATING      37
#define IDS_DIAL_AUTHENTICATED       39
#define IDS_DIAL_CONNECTED           41
#define IDS_DIAL_DISCONNECTED        43
#define IDS_DIAL_CONNECT_FAILED      45
#define IDS_DIAL_ERROR               47
#define IDS_DIAL_DISCONNECTING       49
#define IDS_DIAL_HANGING_UP          51
#define IDS_VIEW_SWITCH_FAILED       53
#define IDS_SETTINGS_SAVE_FAILED     55
#define IDS_FILE_OPEN_FAILED         57
#define IDS_FILTER_WRITE_FAILED      59
#define IDS_SEND_FAILED              63
#define IDS_RECEIVE_FAILED           65
#define IDS_RECEIVE_INCOMPLETE       67
#define IDS_LOG_WRITE_FAILED         71
#define IDS_INDEX_WRITE_FAILED       73
#define IDS_LIMIT_REACHED            75
#define IDS_ARTICLES_FETCHED         77
#define IDS_GROUP_FAILED             79
#define IDS_UNEXPECTED_REPLY         81
#define IDS_INDEX_OPEN_FAILED        83
#define IDS_NO_NEW_ARTICLES          85
#define IDS_SERVER_CONNECT_FAILED    87
#define IDS_SERVER_NO_REPLY          89
#define IDS_CONNECTION_REFUSED       91
#define IDS_BAD_USER_NAME            93
#define IDS_BAD_PASSWORD             95
#define IDS_GROUP_LIST_FAILED        97
#define IDS_SET_USER_NAME            99
#define IDS_SET_MAIL_ADDRESS         101
#define IDS_PROPERTIES_UNSET         103
#define IDS_COLUMN_NEWSGROUP         105
#define IDS_COLUMN_UNREAD            107
#define IDS_COLUMN_ARTICLES          109
#define IDS_COLUMN_STATE             111
#define IDS_COLUMN_CURRENT           113
#define IDS_COLUMN_MAXIMUM           115
#define IDS_COLUMN_DATE              117
#define IDS_COLUMN_SENDER            119
#define IDS_COLUMN_SUBJECT           121
#define IDS_PROPERTIES               123
#define IDS_PAGE_MAIN                125
#define IDS_PAGE_AUTH                127
#define IDS_PAGE_KEY                 129
#define IDS_PAGE_CONNECTION          131
#define IDS_PAGE_FONT                133
#define IDS_PAGE_COLOR               135
#define IDS_PAGE_USER                137
#define IDS_PAGE_POST                139
#define IDS_COLUMN_MARK              141
#define IDS_FOLDER_OUTBOX            143
#define IDS_FOLDER_DRAFT             145
#define IDS_FOLDER_SENT              147
#define IDS_FOLDER_SAMPLE            149
#define IDS_TLS_FAILED               173
#define IDS_CERTIFICATE_UNTRUSTED    175
#define IDS_CERTIFICATE_EXPIRED      177
#define IDS_CERTIFICATE_WRONG_NAME   179
#define IDS_STARTTLS_NOT_OFFERED     181
#define IDS_STARTTLS_REFUSED         183
#define IDS_ENCRYPTION_REQUIRED      185
#define IDS_CERTIFICATE_CHANGED      187
#define IDS_CERTIFICATE_NOT_YET_VALID 189
#define IDS_CERTIFICATE_DATES        191
// posting: the end of a pass, the checks when a post is queued, the outbox
#define IDS_POSTS_DONE               300
#define IDS_POST_BAD_CHARACTER       301
#define IDS_POST_BAD_FIELD_CHARACTER 302
#define IDS_POST_LONG_LINE           303
#define IDS_POST_NO_GROUP            304
#define IDS_POST_NO_ADDRESS          305
#define IDS_POST_STATE_SENT_ONCE     306
#define IDS_POST_STATE_REFUSED       307
#define IDS_POST_SAVE_FAILED         308
#define IDS_POST_UNENCODABLE         309
#define IDS_POST_EDITOR_FAILED       310
#define IDS_POST_DELETE_CONFIRM      311

// ---- posting: the editor, the outbox and their commands ----------------------
#define IDD_POST_EDITOR         320
#define IDD_OUTBOX              321
#define IDC_EDITOR_GROUP        1300
#define IDC_EDITOR_SUBJECT      1301
#define IDC_EDITOR_BODY         1302
#define IDC_EDITOR_QUEUE        1303
#define IDC_EDITOR_DELETE       1304
#define IDC_OUTBOX_LIST         1310
#define IDC_OUTBOX_OPEN         1311
#define IDC_OUTBOX_QUEUE        1312
#define IDC_OUTBOX_DELETE       1313
#define IDM_POST_NEW            40200
#define IDM_POST_FOLLOW         40201
#define IDM_OUTBOX              40202
// Pocket PC menu-bar captions that no button uses (the others are named
// with the frame's buttons)
#define IDS_MENUBAR_FILE             40031
#define IDS_MENUBAR_DRAFT            40034

// ---- frame: menus, bars, bitmaps, commands -------------------------------
#define IDM_GROUP               149
#define IDM_SUBJECT             147
#define IDM_ARTICLE             145
#define IDB_GROUP_BAR_HPC       160
#define IDB_SUBJECT_BAR_HPC     161
#define IDB_ARTICLE_BAR_HPC     162
#define IDB_GROUP_BAR_PPC       107
#define IDB_SUBJECT_BAR_PPC     132
#define IDB_ARTICLE_BAR_PPC     141
#define IDC_GROUP_BAR           102
#define IDC_SUBJECT_BAR         107
#define IDC_ARTICLE_BAR         108
#define IDC_GROUP_LIST          101
#define IDC_ARTICLE_VIEW        104
#define IDC_SUBJECT_VIEW        106
#define IDM_EXIT                40001
#define IDM_PROPERTIES          40002
#define IDM_DOWNLOAD            40003
#define IDM_DELETE_READ         40004
#define IDM_ABOUT               40005
#define IDM_TOGGLE_READ         40006
#define IDM_SUBSCRIBE           40007
#define IDM_CATCHUP             40011
#define IDM_COPY                40012
#define IDM_SHOW_READ           40013
#define IDM_FILTER              40014
#define IDM_SHOW_HEADER         40015
#define IDM_PRIORITY_HIGH       40016
#define IDM_PRIORITY_NORMAL     40017
#define IDM_PRIORITY_LOW        40018
#define IDM_THREAD_VIEW         40300
#define IDM_THREAD_READ         40301
#define IDM_BACK_TO_GROUPS      40077
#define IDM_BACK_TO_SUBJECTS    40082
// Pocket PC menu-bar pop-up buttons and their caption strings.
#define IDM_PPC_GROUP_POPUP     40038
#define IDS_PPC_GROUP_POPUP     40040
#define IDM_PPC_GROUP_TOOLS     40035
#define IDS_PPC_GROUP_TOOLS     40037
#define IDM_PPC_SUBJECT_POPUP   40087
#define IDS_PPC_SUBJECT_POPUP   40046
#define IDM_PPC_SUBJECT_TOOLS   40041
#define IDS_PPC_SUBJECT_TOOLS   40076
#define IDM_PPC_ARTICLE_POPUP   40088
#define IDS_PPC_ARTICLE_POPUP   40028
#define IDM_PPC_ARTICLE_TOOLS   40023
#define IDS_PPC_ARTICLE_TOOLS   40025

// ---- settings: property pages, file chooser, dial-up dialogs ---------------
#define IDD_FILE_CHOOSER        101
#define IDC_CHOOSER_TREE        1063
#define IDC_CHOOSER_OK          1062
#define IDB_CHOOSER_IMAGES      116
#define IDD_PAGE_MAIN           102
#define IDD_PAGE_AUTH           124
#define IDD_PAGE_KEY            128
#define IDD_PAGE_FONT           129
#define IDD_PAGE_CONNECTION     130
#define IDD_PAGE_COLOR          142
#define IDD_PAGE_USER           144
#define IDD_PAGE_POST           117
#define IDD_DIALUP              131
#define IDC_DIAL_STATE          1031
#define IDC_MAIN_SERVER         1000
#define IDC_MAIN_PORT           1001
#define IDC_MAIN_FOLDER         1002
#define IDC_MAIN_LIMIT          1011
#define IDC_MAIN_BROWSE         1016
#define IDC_MAIN_PIPELINING     1070
#define IDC_MAIN_CONVERT_MIME   1071
#define IDC_MAIN_COMPRESS       1072
#define IDC_AUTH_USE            1023
#define IDC_AUTH_ID             1024
#define IDC_AUTH_PASSWORD       1025
#define IDC_AUTH_AGAIN          1026
#define IDC_KEY_LINE_SCROLL     1027
#define IDC_KEY_AUTO_NEXT       1028
#define IDC_CONN_DIALUP         1029
#define IDC_CONN_ENTRY          1030
#define IDC_CONN_WAIT           1038
#define IDC_CONN_SECURITY       1075
#define IDC_CONN_FINGERPRINT    1076
#define IDC_FONT_SUBJECT_SIZE   1032
#define IDC_FONT_NAME           1034
#define IDC_FONT_ARTICLE_SIZE   1035
#define IDC_FONT_NO_OWN         1036
#define IDC_COLOR_RED           1044
#define IDC_COLOR_GREEN         1045
#define IDC_COLOR_BLUE          1046
#define IDC_COLOR_SAMPLE        1047
#define IDC_COLOR_RED_VALUE     1049
#define IDC_COLOR_GREEN_VALUE   1050
#define IDC_COLOR_BLUE_VALUE    1051
#define IDC_COLOR_WHICH         1053
#define IDC_USER_NAME           1054
#define IDC_USER_MAIL           1055
#define IDC_USER_ORGANIZATION   1056
#define IDC_POST_EDITOR         1057

// ---- news download, password prompt, group list -----------------------------
// download progress and password prompt
#define IDD_PROGRESS            103
#define IDC_PROGRESS_GROUP      1003
#define IDC_PROGRESS_BAR        1004
#define IDD_PASSWORD            125
#define IDC_PASSWORD_EDIT       1025
#define IDC_PASSWORD_USER       1026
// group list fetch
#define IDD_GROUPLIST           110
#define IDC_GROUPLIST_COUNT     1012
#define ID_GROUPLIST_DONE       103   // command posted by the group list worker

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

