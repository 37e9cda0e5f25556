#include "store/DataFolder.h"
#include "store/ArticleLog.h"
#include "store/GroupListReader.h"
#include "store/GroupRecord.h"
#include "store/IndexUpgrade.h"
#include "store/StorePath.h"
#include "app/MessageCatalog.h"
#include <stdlib.h>

static BOOL CreateDraftFolder(const wchar_t* dataPath)
{
    wchar_t* draft = ConcatPath(dataPath, L"draft");
    if (!draft)
        return FALSE;
    BOOL ok = CreateDirectoryW(draft, NULL);
    if (!ok) {
        DWORD error = GetLastError();
        ok = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    }
    DWORD error = GetLastError();
    if (ok) {
        wchar_t* pattern = ConcatPath(dataPath, L"draft\\*.bak");
        WIN32_FIND_DATAW found;
        HANDLE find = pattern ? FindFirstFileW(pattern, &found) : INVALID_HANDLE_VALUE;
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    continue;
                wchar_t* path = ConcatPath(dataPath, L"draft\\", found.cFileName);
                if (path)
                    DeleteFileW(path);
                free(path);
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        free(pattern);
    }
    free(draft);
    SetLastError(error);
    return ok;
}

static BOOL CreateListFile(const wchar_t* dataPath, const wchar_t* name)
{
    wchar_t* path = ConcatPath(dataPath, name);
    if (!path)
        return FALSE;
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD error = GetLastError();
    free(path);
    if (file == INVALID_HANDLE_VALUE) {
        SetLastError(error);
        return FALSE;
    }
    CloseHandle(file);
    return TRUE;
}

enum { kVersionMissing = 0xFFFFFFFF };

// The first word of the index; kVersionMissing when there is no index or
// it is too short to hold one. A version-5 index too short for its header
// counts as missing too: it has nothing left to keep.
static BOOL ReadIndexVersion(const wchar_t* indexPath, DWORD* version)
{
    HANDLE file = CreateFileW(indexPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return FALSE;
        *version = kVersionMissing;
        return TRUE;
    }
    DWORD value = 0, read = 0;
    BOOL ok = ReadFull(file, &value, sizeof value, &read);
    DWORD error = GetLastError();
    LARGE_INTEGER size;
    size.QuadPart = 0;
    if (ok)
        ok = GetFileSizeEx(file, &size);
    if (!ok)
        error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        SetLastError(error);
        return FALSE;
    }
    if (read < sizeof value)
        value = kVersionMissing;
    else if (value > 500)
        value = 1;  // a version-1 index is text and begins with digits
    else if (value == kIndexVersion && size.QuadPart < kIndexHeaderSize)
        value = kVersionMissing;
    *version = value;
    return TRUE;
}

static BOOL ShowBadIndex()
{
    const wchar_t* text = MessageCatalog::Load(kMessageBadIndex);
    ShowMessage(NULL, text ? text : L"インデックスが不正です。", L"PELORA", MB_ICONEXCLAMATION);
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
}

// An upgrade deletes the old index only once the new one is complete, so a
// temporary file without an index beside it is a whole index that was not
// yet moved to its name: finish the move rather than rebuild without it.
static void FinishInterruptedUpgrade(const wchar_t* indexPath)
{
    if (GetFileAttributesW(indexPath) != INVALID_FILE_ATTRIBUTES)
        return;
    wchar_t* temp = ConcatPath(indexPath, L"~");
    if (temp && GetFileAttributesW(temp) != INVALID_FILE_ATTRIBUTES)
        MoveFileW(temp, indexPath);
    free(temp);
}

static BOOL CheckGroup(const wchar_t* dataPath, const wchar_t* name, GroupRecord* group)
{
    if (!group->SetNames(dataPath, name))
        return FALSE;
    FinishInterruptedUpgrade(group->IndexPath());
    DWORD version;
    if (!ReadIndexVersion(group->IndexPath(), &version))
        return FALSE;
    switch (version) {
    case kVersionMissing:
        group->Clear();
        return group->WriteHeader() && RebuildIndex(group);
    case 1:
        return ReadVersion1Index(group) && group->WriteHeader() && RebuildIndex(group);
    case 2:
        return UpgradeIndex2To3(dataPath, name) && UpgradeIndex3To4(dataPath, name)
            && UpgradeIndex4To5(dataPath, name);
    case 3:
        return UpgradeIndex3To4(dataPath, name) && UpgradeIndex4To5(dataPath, name);
    case 4:
        return UpgradeIndex4To5(dataPath, name);
    case kIndexVersion:
        return TRUE;
    default:
        return ShowBadIndex();
    }
}

BOOL InitializeDataFolder(const wchar_t* dataPath)
{
    HCURSOR previous = SetCursor(LoadCursor(NULL, IDC_WAIT));
    BOOL ok = CreateDraftFolder(dataPath)
           && CreateListFile(dataPath, L"active.dat")
           && CreateListFile(dataPath, L"category.dat")
           && CreateListFile(dataPath, L"group.dat");
    GroupListReader* reader = ok ? GroupListReader::Open(dataPath) : NULL;
    if (ok && !reader)
        ok = FALSE;
    if (ok) {
        GroupRecord group;
        group.Reset();
        DWORD saved = GetLastError();
        for (;;) {
            const wchar_t* name = reader->Next();
            if (!name)
                break;
            BOOL checked = CheckGroup(dataPath, name, &group);
            DWORD error = GetLastError();
            group.Release();
            group.Reset();
            if (!checked) {
                SetLastError(error);
                ok = FALSE;
                break;
            }
        }
        DWORD error = GetLastError();
        reader->Close();
        SetLastError(ok ? saved : error);
    }
    SetCursor(previous);
    return ok;
}
