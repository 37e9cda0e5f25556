#include "store/DataFolder.h"
#include "store/ArticleLog.h"
#include "store/FileOps.h"
#include "store/FilterChange.h"
#include "store/GroupListReader.h"
#include "store/GroupRecovery.h"
#include "store/GroupRecord.h"
#include "store/IndexHeader.h"
#include "store/IndexUpgrade.h"
#include "store/StorePath.h"
#include "text/LastErrorKeeper.h"
#include "text/MessageCatalog.h"
#include "resource.h"
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
    LastErrorKeeper keep;
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
                    FileDelete(path);
                free(path);
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        free(pattern);
    }
    free(draft);
    return ok;
}

static BOOL CreateListFile(const wchar_t* dataPath, const wchar_t* name)
{
    wchar_t* path = ConcatPath(dataPath, name);
    if (!path)
        return FALSE;
    // Reading is enough to create it: a read-only list stays as it is.
    HANDLE file = FileCreate(path, GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS);
    {
        LastErrorKeeper keep;
        free(path);
    }
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(file);
    return TRUE;
}

enum { kVersionMissing = 0xFFFFFFFF, kHeaderTorn = 0xFFFFFFFE };

// Whether an index of an earlier version `version` (2 to 4) with `count`
// records explains a file of `size` bytes; the version word alone is not
// believed.
static BOOL OldLayoutFits(DWORD version, DWORD count, DWORD size)
{
    DWORD header = version == 2 ? 88 : 92, record = version == 4 ? 84 : 64;
    return size >= header && (size - header) % record == 0 && (size - header) / record >= count;
}

// The first word of the index; kVersionMissing when there is no index or
// it is too short to hold one, kHeaderTorn for a header a cut tore (see
// IsTornIndexHeader). A version-5 index too short for its header counts as
// missing too: it has nothing left to keep.
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
    IndexHeader header;
    DWORD read = 0;
    BOOL ok = ReadFull(file, &header, sizeof header, &read);
    DWORD error = GetLastError();
    DWORD size = 0;
    if (ok) {
        size = GetFileSize(file, NULL);
        ok = size != INVALID_FILE_SIZE;
        if (!ok)
            error = GetLastError();
    }
    CloseHandle(file);
    if (!ok) {
        SetLastError(error);
        return FALSE;
    }
    DWORD value = header.version;
    if (read < sizeof value)
        value = kVersionMissing;
    else if (value >= 2 && value < kIndexVersion && size >= kIndexHeaderSize
             && !OldLayoutFits(value, header.recordCount, size))
        value = kHeaderTorn;   // a torn version-5 header, not an old index
    else if (IsTornIndexHeader((const BYTE*)&header, read, size))
        value = size < kIndexHeaderSize ? kVersionMissing : kHeaderTorn;
    else if (value > 500)
        value = 1;  // a version-1 index is text and begins with digits
    else if (value == kIndexVersion && size < kIndexHeaderSize)
        value = kVersionMissing;
    *version = value;
    return TRUE;
}

static BOOL ShowBadIndex()
{
    const wchar_t* text = MessageCatalog::Load(IDS_INDEX_INVALID);
    ShowMessage(NULL, text ? text : L"インデックスが不正です。", kCaptionPelora, MB_ICONEXCLAMATION);
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
}

// The log is the truth: the index takes in what the log holds past its
// counted records. `torn`: nothing in the header is believed. A missing
// log, or a file the start may not write, is left for the user.
static BOOL SettleGroup(GroupRecord* group, BOOL torn)
{
    BOOL logThere;
    if (!PathExists(group->LogPath(), &logThere))
        return FALSE;
    if (!logThere)
        return TRUE;
    if (torn)
        group->Clear();
    else if (!group->ReadHeader())
        return FALSE;
    if (!group->OpenIndex() || !group->OpenLog()) {
        DWORD error = GetLastError();
        group->CloseIndex();
        group->CloseLog();
        SetLastError(error);
        return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
    }
    BOOL ok = TakeInLogTail(group, !torn);
    LastErrorKeeper keep;
    group->CloseLog();
    group->CloseIndex();
    return ok;
}

// `recover`: the folder holds leftovers of a write that did not end.
static BOOL CheckGroup(const wchar_t* dataPath, const wchar_t* name, GroupRecord* group,
                       BOOL recover)
{
    if (!group->SetNames(dataPath, name))
        return FALSE;
    if (recover && !RecoverGroupFiles(group))
        return FALSE;
    DWORD version;
    if (!ReadIndexVersion(group->IndexPath(), &version))
        return FALSE;
    switch (version) {
    case kVersionMissing:
        group->Clear();
        return RebuildIndex(group);
    case 1:
        return ReadVersion1Index(group) && RebuildIndex(group);
    case 2:
        return UpgradeIndex2To3(dataPath, name) && UpgradeIndex3To4(dataPath, name)
            && UpgradeIndex4To5(dataPath, name);
    case 3:
        return UpgradeIndex3To4(dataPath, name) && UpgradeIndex4To5(dataPath, name);
    case 4:
        return UpgradeIndex4To5(dataPath, name);
    case kIndexVersion:
        return SettleGroup(group, FALSE);
    case kHeaderTorn:
        return SettleGroup(group, TRUE);
    default:
        return ShowBadIndex();
    }
}

BOOL InitializeDataFolder(const wchar_t* dataPath)
{
    HCURSOR previous = SetCursor(LoadCursor(NULL, IDC_WAIT));
    // One look at the folder spares a clean start the per-group checks.
    BOOL recover = HasLeftovers(dataPath);
    BOOL ok = CreateDraftFolder(dataPath)
           && (!recover || RecoverListFiles(dataPath))
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
            if (!name) {
                // A list that cannot be read to its end leaves groups unchecked.
                ok = !reader->Failed();
                break;
            }
            BOOL checked = CheckGroup(dataPath, name, &group, recover);
            if (checked && recover)
                FinishFilterChange(&group);
            {
                LastErrorKeeper keep;
                group.Release();
                group.Reset();
            }
            if (!checked) {
                ok = FALSE;
                break;
            }
        }
        DWORD error = GetLastError();
        reader->Close();
        SetLastError(ok ? saved : error);
    }
    {
        LastErrorKeeper keep;   // the box shows the failure's code, not the cursor's
        SetCursor(previous);
    }
    return ok;
}
