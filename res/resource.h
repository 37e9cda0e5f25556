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

// ---- views: subject view, article view -------------------------------------

