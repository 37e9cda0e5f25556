#include "store/Outbox.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "store/FileOps.h"
#include "store/FileRewrite.h"
#include "text/DraftText.h"

const char kPostStateField[] = "X-Pelora-State";
const char kPostReplyField[] = "X-Pelora-Reply";

namespace {

const char* const kStateNames[] = {"draft", "queued", "sent-once", "refused"};
const wchar_t kFolder[] = L"draft\\";
const char kNoDomain[] = "pelora.invalid";

LONG g_counter;

// The id of a post's file name, or 0 when it is not one.
DWORD IdOfName(const wchar_t* name)
{
    wchar_t* end;
    DWORD id = wcstoul(name, &end, 16);
    return end == name + 8 && (wcscmp(end, L".txt") == 0 || wcscmp(end, L".txt~") == 0) ? id : 0;
}

BOOL FolderPath(const wchar_t* dataPath, const wchar_t* name, wchar_t* path)
{
    if (wcslen(dataPath) + wcslen(kFolder) + wcslen(name) + 2 > kStorePathCapacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    _snwprintf(path, kStorePathCapacity - 1, L"%s%s%s", dataPath, kFolder, name);
    path[kStorePathCapacity - 1] = 0;
    return TRUE;
}

int CompareIds(const void* a, const void* b)
{
    DWORD x = *(const DWORD*)a, y = *(const DWORD*)b;
    return x < y ? -1 : x > y;
}

}  // namespace

BOOL Outbox::PathOf(const wchar_t* dataPath, DWORD id, wchar_t* path)
{
    wchar_t name[16];
    _snwprintf(name, 15, L"%08lx.txt", (unsigned long)id);
    name[15] = 0;
    return FolderPath(dataPath, name, path);
}

BOOL Outbox::Recover(const wchar_t* dataPath)
{
    wchar_t pattern[kStorePathCapacity], temp[kStorePathCapacity], target[kStorePathCapacity];
    if (!FolderPath(dataPath, L"*.txt~", pattern))
        return FALSE;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    BOOL ok = TRUE;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            DWORD id = IdOfName(found.cFileName);
            if (!id || !FolderPath(dataPath, found.cFileName, temp) || !PathOf(dataPath, id, target))
                continue;
            BOOL exists;
            if (!PathExists(target, &exists))
                ok = FALSE;
            // Alone, the temporary file is a whole one a replace was moving in.
            else if (!(exists ? FileDelete(temp) : FileReplace(temp, target)))
                ok = FALSE;
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    // An empty post is one whose first save never completed.
    FolderPath(dataPath, L"*.txt", pattern);
    find = FindFirstFileW(pattern, &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (found.nFileSizeLow == 0 && found.nFileSizeHigh == 0 && IdOfName(found.cFileName) &&
                FolderPath(dataPath, found.cFileName, target) && !FileDelete(target))
                ok = FALSE;
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    return ok;
}

size_t Outbox::List(const wchar_t* dataPath, DWORD* ids, size_t capacity)
{
    wchar_t pattern[kStorePathCapacity];
    if (!FolderPath(dataPath, L"*.txt", pattern))
        return 0;
    size_t count = 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        DWORD id = IdOfName(found.cFileName);
        // "*.txt" also matches "*.txt~" on some systems.
        if (id && count < capacity && wcschr(found.cFileName, L'~') == NULL &&
            (found.nFileSizeLow || found.nFileSizeHigh))
            ids[count++] = id;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    qsort(ids, count, sizeof ids[0], CompareIds);
    return count;
}

DWORD Outbox::NewId(const wchar_t* dataPath)
{
    DWORD ids[kOutboxMax];
    size_t count = List(dataPath, ids, kOutboxMax);
    DWORD id = count ? ids[count - 1] + 1 : 1;
    // Past an empty or temporary file too, so that no leftover is reused.
    for (wchar_t path[kStorePathCapacity];; ++id) {
        BOOL exists = FALSE, tempExists = FALSE;
        if (!id || !PathOf(dataPath, id, path) || !PathExists(path, &exists))
            return id ? id : 1;
        wcscat(path, L"~");
        if (!PathExists(path, &tempExists))
            return id;
        if (!exists && !tempExists)
            return id;
    }
}

char* Outbox::Load(const wchar_t* path, size_t* length)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return NULL;
    DWORD size = GetFileSize(file, NULL);
    char* text = NULL;
    DWORD read = 0;
    if (size == INVALID_FILE_SIZE || size > kPostFileMax) {
        SetLastError(ERROR_FILE_TOO_LARGE);
    } else if (!(text = (char*)malloc(size + 1))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } else if (!ReadFull(file, text, size, &read) || read != size) {
        free(text);
        text = NULL;
        SetLastError(ERROR_READ_FAULT);
    } else {
        text[size] = 0;
        *length = size;
    }
    CloseHandle(file);
    return text;
}

BOOL Outbox::Save(const wchar_t* path, const char* text, size_t length)
{
    if (length > kPostFileMax) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return FALSE;
    }
    FileRewrite rewrite;
    rewrite.Construct();
    if (rewrite.Open(path) && rewrite.Write(text, (DWORD)length) && rewrite.Commit())
        return TRUE;
    rewrite.Abandon();
    return FALSE;
}

BOOL Outbox::Delete(const wchar_t* path)
{
    return FileDelete(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

PostState Outbox::StateOf(const char* text, size_t length, char* reply, size_t capacity)
{
    const char* value;
    size_t valueLength;
    if (reply && capacity) {
        reply[0] = 0;
        if (DraftField(text, length, kPostReplyField, &value, &valueLength)) {
            size_t n = valueLength < capacity - 1 ? valueLength : capacity - 1;
            memcpy(reply, value, n);
            reply[n] = 0;
        }
    }
    if (DraftField(text, length, kPostStateField, &value, &valueLength))
        for (int i = kPostQueued; i <= kPostRefused; ++i)
            if (strlen(kStateNames[i]) == valueLength && strncmp(kStateNames[i], value, valueLength) == 0)
                return (PostState)i;
    return kPostDraft;
}

BOOL Outbox::SaveState(const wchar_t* path, const char* text, size_t length, PostState state,
                       const char* reply)
{
    size_t stateLength, replyLength;
    char* stated = SetDraftField(text, length, kPostStateField, kStateNames[state], &stateLength);
    if (!stated)
        return FALSE;
    // A reply is one line; the server's CR LF is not part of it.
    char line[kPostReplySize];
    if (reply) {
        strncpy(line, reply, sizeof line - 1);
        line[sizeof line - 1] = 0;
        line[strcspn(line, "\r\n")] = 0;
    }
    char* replied = SetDraftField(stated, stateLength, kPostReplyField, reply ? line : NULL, &replyLength);
    free(stated);
    if (!replied)
        return FALSE;
    BOOL ok = Save(path, replied, replyLength);
    free(replied);
    return ok;
}

BOOL Outbox::Queue(const wchar_t* path, const char* text, size_t length, const char* address)
{
    const char* value;
    size_t valueLength;
    if (DraftField(text, length, "Message-ID", &value, &valueLength) && valueLength)
        return SaveState(path, text, length, kPostQueued, NULL);
    char id[128];
    MakeMessageId(address, id, sizeof id);
    size_t idLength;
    char* withId = SetDraftField(text, length, "Message-ID", id, &idLength);
    if (!withId)
        return FALSE;
    BOOL ok = SaveState(path, withId, idLength, kPostQueued, NULL);
    free(withId);
    return ok;
}

void Outbox::MakeMessageId(const char* address, char* id, size_t capacity)
{
    const char* at = address ? strrchr(address, '@') : NULL;
    char domain[64];
    size_t n = 0;
    if (at)
        for (const char* c = at + 1; *c && n < sizeof domain - 1; ++c)
            if (*c > ' ' && *c < 0x7F && *c != '>' && *c != '<')
                domain[n++] = *c;
    domain[n] = 0;
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME time;
    SystemTimeToFileTime(&now, &time);
    LONG count = InterlockedIncrement(&g_counter);
    unsigned random = (unsigned)rand() ^ (GetTickCount() << 12) ^ ((unsigned)(size_t)&count << 4);
    _snprintf(id, capacity - 1, "<%08lx%08lx.%lx.%08x@%s>", (unsigned long)time.dwHighDateTime,
              (unsigned long)time.dwLowDateTime, (unsigned long)count, random, n ? domain : kNoDomain);
    id[capacity - 1] = 0;
}
