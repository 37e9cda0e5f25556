// Settling what a program that died in the middle of a write left in the
// data folder, before anything reads the files.
#pragma once
#include <windows.h>

class GroupRecord;

// Brings the group's index and log (names set) back to a matching pair:
// an interrupted deletion of read articles, index rewrite or filter save is
// undone or finished. Fails only when a needed move or delete fails.
BOOL RecoverGroupFiles(GroupRecord* group);

// Settles the list files' temporary files (group.dat~, active.dat~,
// category.dat~) the same way.
BOOL RecoverListFiles(const wchar_t* dataPath);

// Whether the data folder holds any file whose name ends in "~"; a clean
// folder needs no recovery pass.
BOOL HasLeftovers(const wchar_t* dataPath);
