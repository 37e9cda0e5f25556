// The property sheet "プロパティ": six pages over one Settings record.
//
//   int RunPropertySheet(Settings* settings, HINSTANCE instance, HWND owner)
//
// reloads `settings` from the registry, runs the sheet modally owned by
// `owner`, and returns IDOK after OK (the record is saved to the registry
// by then) or IDCANCEL after cancel (nothing saved).
#pragma once
#include "settings/Settings.h"

int RunPropertySheet(Settings* settings, HINSTANCE instance, HWND owner);

// The record the open sheet edits, for its pages; none while no sheet runs.
Settings* PropertySheetSettings();
