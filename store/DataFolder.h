// The data initialisation: creates the draft folder and the list files,
// upgrades old index files and checks every subscribed group's index.
#pragma once
#include <windows.h>

// `dataPath` is the DataPath setting, ending in a backslash. On failure the
// last error holds the cause (the caller shows message 7). An index of an
// unknown version shows message 5 itself.
BOOL InitializeDataFolder(const wchar_t* dataPath);
