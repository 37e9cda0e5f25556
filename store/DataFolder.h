// The data initialisation: creates the draft folder and the list files,
// upgrades old index files and checks every subscribed group's index.
#pragma once
#include <windows.h>

// `dataPath` is the DataPath setting, ending in a backslash. On failure the
// last error holds the cause (the caller shows IDS_DATA_INIT_FAILED). An
// index of an unknown version shows IDS_INDEX_INVALID itself.
BOOL InitializeDataFolder(const wchar_t* dataPath);
