// Resource ids shared by both resource scripts and the code. Each area keeps
// its ids in its own section.
#pragma once

// ---- application: icon, accelerators, About box -------------------------
#define IDI_PELORA              108
#define IDR_ACCELERATORS        131
#define IDD_ABOUT               105

// ---- message catalogue: string table ------------------------------------

// ---- frame: menus, bars, bitmaps, commands -------------------------------

// ---- settings and property pages ------------------------------------------

// ---- news download, group list, dial-up ------------------------------------

// ---- store dialogs: subscription, catch-up ---------------------------------

// ---- views: subject view, article view, filter, file chooser ---------------

