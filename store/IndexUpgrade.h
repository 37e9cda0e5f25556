// Bringing index files of earlier releases (versions 1 to 4) to version 5.
// Each step writes a complete new index to index path + "~" and only then
// puts it in the old one's place.
#pragma once
#include <windows.h>

class GroupRecord;

// Version 1 is four text lines: lastArticle, state text, serverLast,
// reservedWord. The caller then rebuilds the index from the log.
BOOL ReadVersion1Index(GroupRecord* group);

BOOL UpgradeIndex2To3(const wchar_t* dataPath, const wchar_t* groupName);
BOOL UpgradeIndex3To4(const wchar_t* dataPath, const wchar_t* groupName);
BOOL UpgradeIndex4To5(const wchar_t* dataPath, const wchar_t* groupName);
