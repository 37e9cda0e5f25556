#include "settings/ViewFlags.h"
#include <stdio.h>
#include "settings/Settings.h"

static LONG OpenViewKey(const wchar_t* subKey, HKEY* key)
{
    wchar_t path[MAX_PATH];
    int length = _snwprintf(path, MAX_PATH, L"%ls\\%ls", kSettingsKey, subKey);
    if (length < 0 || length >= MAX_PATH)
        return ERROR_INVALID_PARAMETER;
    DWORD disposition;
    return RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, key,
                           &disposition);
}

BOOL LoadViewFlag(const wchar_t* subKey, const wchar_t* valueName, DWORD* value)
{
    HKEY key;
    LONG result = OpenViewKey(subKey, &key);
    if (result == ERROR_SUCCESS) {
        DWORD read = 0, size = sizeof read;
        result = RegQueryValueExW(key, valueName, NULL, NULL, (BYTE*)&read, &size);
        if (result == ERROR_SUCCESS && size != sizeof read)
            result = ERROR_INVALID_DATA;
        if (result == ERROR_SUCCESS)
            *value = read;
        RegCloseKey(key);
    }
    SetLastError(result);
    return result == ERROR_SUCCESS;
}

BOOL SaveViewFlag(const wchar_t* subKey, const wchar_t* valueName, DWORD value)
{
    HKEY key;
    LONG result = OpenViewKey(subKey, &key);
    if (result == ERROR_SUCCESS) {
        result = RegSetValueExW(key, valueName, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
        RegCloseKey(key);
    }
    SetLastError(result);
    return result == ERROR_SUCCESS;
}

BOOL LoadViewReadArticle(DWORD* value) { return LoadViewFlag(L"SubjectView", L"ViewReadArticle", value); }
BOOL SaveViewReadArticle(DWORD value) { return SaveViewFlag(L"SubjectView", L"ViewReadArticle", value); }
BOOL LoadShowArticleHeader(DWORD* value) { return LoadViewFlag(L"ArticleView", L"ShowArticleHeader", value); }
BOOL SaveShowArticleHeader(DWORD value) { return SaveViewFlag(L"ArticleView", L"ShowArticleHeader", value); }
BOOL LoadPriorityViewLevel(DWORD* value) { return LoadViewFlag(L"SubjectView", L"PriorityViewLevel", value); }
BOOL SavePriorityViewLevel(DWORD value) { return SaveViewFlag(L"SubjectView", L"PriorityViewLevel", value); }
BOOL LoadThreadView(DWORD* value) { return LoadViewFlag(L"SubjectView", L"ThreadView", value); }
BOOL SaveThreadView(DWORD value) { return SaveViewFlag(L"SubjectView", L"ThreadView", value); }
