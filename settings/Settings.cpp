#include "settings/Settings.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "text/CodePage.h"

const wchar_t kSettingsKey[] = PELORA_SETTINGS_KEY;

namespace {

const DWORD kNoFont = 0xFFFFFFFF;

LONG OpenSettingsKey(HKEY* key)
{
    DWORD disposition;
    return RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL,
                           key, &disposition);
}

// A string of at most `capacity` - 1 characters into `buffer`; false (and
// `buffer` untouched as far as the caller cares) when missing or too long.
bool ReadFixedString(HKEY key, const wchar_t* name, wchar_t* buffer, size_t capacity)
{
    DWORD size = (DWORD)(capacity * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, NULL, NULL, (BYTE*)buffer, &size) != ERROR_SUCCESS)
        return false;
    size_t chars = size / sizeof(wchar_t);
    if (chars > 0 && buffer[chars - 1] == L'\0')
        return true;
    if (chars >= capacity)
        return false;   // no room left for the terminator
    buffer[chars] = L'\0';
    return true;
}

DWORD ReadNumber(HKEY key, const wchar_t* name, DWORD fallback, BOOL* found = NULL)
{
    DWORD value = 0, size = sizeof value;
    bool ok = RegQueryValueExW(key, name, NULL, NULL, (BYTE*)&value, &size) == ERROR_SUCCESS &&
              size == sizeof value;
    if (found)
        *found = ok;
    return ok ? value : fallback;
}

// The whole value as a new wide string; none when missing. `error` gets
// ERROR_NOT_ENOUGH_MEMORY when memory runs out.
wchar_t* ReadWholeString(HKEY key, const wchar_t* name, LONG* error)
{
    *error = ERROR_SUCCESS;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, NULL, NULL, NULL, &size) != ERROR_SUCCESS)
        return NULL;
    size_t chars = size / sizeof(wchar_t);
    wchar_t* text = (wchar_t*)malloc((chars + 1) * sizeof(wchar_t));
    if (!text) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return NULL;
    }
    DWORD read = (DWORD)(chars * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, NULL, NULL, (BYTE*)text, &read) != ERROR_SUCCESS) {
        free(text);   // changed under us: as good as missing
        return NULL;
    }
    text[read / sizeof(wchar_t)] = L'\0';
    return text;
}

// UserID or Password: none when missing; a failed read, a value longer than
// kCredentialMaxLength or a failed conversion fails the load.
LONG ReadCredential(HKEY key, const wchar_t* name, char** out)
{
    free(*out);
    *out = NULL;
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, name, NULL, NULL, NULL, &size);
    if (result == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS)
        return result;
    // Room for the longest value with its terminator, and one more place.
    wchar_t buffer[kCredentialMaxLength + 2];
    if (size > (kCredentialMaxLength + 1) * sizeof(wchar_t))
        return ERROR_MORE_DATA;
    result = RegQueryValueExW(key, name, NULL, NULL, (BYTE*)buffer, &size);
    if (result != ERROR_SUCCESS)
        return result;
    size_t chars = size / sizeof(wchar_t);
    while (chars > 0 && buffer[chars - 1] == L'\0')
        --chars;
    if (chars > kCredentialMaxLength)
        return ERROR_MORE_DATA;
    buffer[chars] = L'\0';
    *out = ToMultiByte(buffer);
    return *out ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

bool IsBlank(const char* text)
{
    for (; *text; ++text)
        if (*text != ' ' && *text != '\t')
            return false;
    return true;
}

// A poster field: none when missing, empty or only blanks and tabs.
LONG ReadPosterField(HKEY key, const wchar_t* name, char** out)
{
    free(*out);
    *out = NULL;
    LONG error;
    wchar_t* wide = ReadWholeString(key, name, &error);
    if (!wide)
        return error;
    char* text = ToMultiByte(wide);
    free(wide);
    if (!text)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (IsBlank(text))
        free(text);
    else
        *out = text;
    return ERROR_SUCCESS;
}

LONG WriteString(HKEY key, const wchar_t* name, const wchar_t* text)
{
    DWORD size = (DWORD)((wcslen(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text, size);
}

LONG WriteMultiByte(HKEY key, const wchar_t* name, const char* text)
{
    wchar_t* wide = ToWide(text ? text : "");
    if (!wide)
        return ERROR_NOT_ENOUGH_MEMORY;
    LONG result = WriteString(key, name, wide);
    free(wide);
    return result;
}

LONG WriteNumber(HKEY key, const wchar_t* name, DWORD value, DWORD type = REG_DWORD)
{
    return RegSetValueExW(key, name, 0, type, (const BYTE*)&value, sizeof value);
}

void Terminate(wchar_t* field, size_t capacity)
{
    field[capacity - 1] = L'\0';
}

}  // namespace

void Settings::Init()
{
    Server[0] = L'\0';
    DataPath[0] = L'\0';
    Port = 119;
    Limit = 50;
    KeyMode = 0;
    AutoNextArticle = 1;
    Dialup = 0;
    EntryName[0] = L'\0';
    DisconnectWaitTime = 0;
    Security = 0;
    TlsFingerprint[0] = L'\0';
    UserID = NULL;
    Password = NULL;
    UserName = NULL;
    MailAddress = NULL;
    Organization = NULL;
    wcscpy(FontName, L"Tahoma");
    FontSizeA = 14;
    FontSizeS = 14;
    ArticleFont = NULL;
    SubjectFont = NULL;
    HeaderColor = 0;
    ReferenceLine = 0;
    ConvertMime = 0;
    EditorPath = NULL;
    Pipelining = 0;
    Compress = 0;
}

void Settings::Destroy()
{
    free(UserID);
    free(Password);
    free(UserName);
    free(MailAddress);
    free(Organization);
    free(EditorPath);
    // The fonts belong to whoever shows them.
    HFONT article = ArticleFont, subject = SubjectFont;
    Init();
    ArticleFont = article;
    SubjectFont = subject;
}

BOOL Settings::Load(BOOL* complete)
{
    HKEY key;
    LONG result = OpenSettingsKey(&key);
    if (result != ERROR_SUCCESS) {
        SetLastError(result);
        return FALSE;
    }
    BOOL all = TRUE, found;
    if (!ReadFixedString(key, L"Server", Server, kSettingsPathCapacity)) {
        Server[0] = L'\0';
        all = FALSE;
    }
    Port = ReadNumber(key, L"Port", 119, &found);
    all = all && found;
    if (!ReadFixedString(key, L"DataPath", DataPath, kSettingsPathCapacity)) {
        DataPath[0] = L'\0';
        all = FALSE;
    }
    Limit = ReadNumber(key, L"Limit", 50, &found);
    all = all && found;
    if (complete)
        *complete = all;

    // A user id or password that cannot be read fails the load, but only at
    // its end, so that whoever shows the record again sees the rest of it.
    LONG credentials = ReadCredential(key, L"UserID", &UserID);
    result = ReadCredential(key, L"Password", &Password);
    if (credentials == ERROR_SUCCESS)
        credentials = result;

    KeyMode = ReadNumber(key, L"KeyMode", 0);
    AutoNextArticle = ReadNumber(key, L"AutoNextArticle", 1);
    Dialup = ReadNumber(key, L"Dialup", 0);
    if (!ReadFixedString(key, L"EntryName", EntryName, kEntryNameCapacity))
        EntryName[0] = L'\0';
    DisconnectWaitTime = ReadNumber(key, L"DisconnectWaitTime", 0);
    Security = ReadNumber(key, L"Security", 0);
    if (!ReadFixedString(key, L"TlsFingerprint", TlsFingerprint, kFingerprintCapacity))
        TlsFingerprint[0] = L'\0';
    Pipelining = ReadNumber(key, L"Pipelining", 0);
    Compress = ReadNumber(key, L"Compress", 0);
    if (!ReadFixedString(key, L"FontName", FontName, kFontNameCapacity))
        wcscpy(FontName, L"Tahoma");
    FontSizeA = ReadNumber(key, L"FontSizeA", 14);
    FontSizeS = ReadNumber(key, L"FontSizeS", 14);
    MakeFont(&ArticleFont, FontName, FontSizeA);
    MakeFont(&SubjectFont, FontName, FontSizeS);
    HeaderColor = ReadNumber(key, L"HeaderColor", 0);
    ReferenceLine = ReadNumber(key, L"ReferenceLine", 0);
    ConvertMime = ReadNumber(key, L"ConvertMime", 0);

    result = ReadPosterField(key, L"UserName", &UserName);
    if (result == ERROR_SUCCESS)
        result = ReadPosterField(key, L"MailAddress", &MailAddress);
    if (result == ERROR_SUCCESS)
        result = ReadPosterField(key, L"Organization", &Organization);
    if (result == ERROR_SUCCESS) {
        free(EditorPath);
        EditorPath = ReadWholeString(key, L"EditorPath", &result);
        if (!EditorPath && result == ERROR_SUCCESS) {
            EditorPath = (wchar_t*)calloc(1, sizeof(wchar_t));
            if (!EditorPath)
                result = ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    RegCloseKey(key);
    if (credentials != ERROR_SUCCESS)
        result = credentials;
    SetLastError(result);
    return result == ERROR_SUCCESS;
}

BOOL Settings::Save()
{
    HKEY key;
    LONG result = OpenSettingsKey(&key);
    if (result != ERROR_SUCCESS) {
        SetLastError(result);
        return FALSE;
    }
    Terminate(Server, kSettingsPathCapacity);
    Terminate(DataPath, kSettingsPathCapacity);
    Terminate(EntryName, kEntryNameCapacity);
    Terminate(FontName, kFontNameCapacity);
    Terminate(TlsFingerprint, kFingerprintCapacity);

    // Each step runs only while all before it succeeded.
    result = WriteString(key, L"Server", Server);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"Port", Port);
    if (result == ERROR_SUCCESS) {
        size_t length = wcslen(DataPath);
        if (length > 0 && DataPath[length - 1] != L'\\') {
            if (length + 1 < kSettingsPathCapacity) {
                DataPath[length] = L'\\';
                DataPath[length + 1] = L'\0';
            } else {
                result = ERROR_INVALID_PARAMETER;   // no room for the backslash
            }
        }
    }
    if (result == ERROR_SUCCESS)
        result = WriteString(key, L"DataPath", DataPath);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"Limit", Limit);
    if (result == ERROR_SUCCESS) {
        if (UserID) {
            result = WriteMultiByte(key, L"UserID", UserID);
            if (result == ERROR_SUCCESS && Password)
                result = WriteMultiByte(key, L"Password", Password);
            else if (result == ERROR_SUCCESS)
                RegDeleteValueW(key, L"Password");
        } else {
            RegDeleteValueW(key, L"UserID");
            RegDeleteValueW(key, L"Password");
        }
    }
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"KeyMode", KeyMode);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"AutoNextArticle", AutoNextArticle);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"Dialup", Dialup);
    if (result == ERROR_SUCCESS)
        result = WriteString(key, L"EntryName", EntryName);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"DisconnectWaitTime", DisconnectWaitTime);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"Security", Security);
    if (result == ERROR_SUCCESS)
        result = WriteString(key, L"TlsFingerprint", TlsFingerprint);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"Pipelining", Pipelining);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"Compress", Compress);
    if (result == ERROR_SUCCESS)
        result = WriteString(key, L"FontName", FontName);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"FontSizeA", FontSizeA);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"FontSizeS", FontSizeS);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"HeaderColor", HeaderColor, REG_BINARY);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"ReferenceLine", ReferenceLine, REG_BINARY);
    if (result == ERROR_SUCCESS)
        result = WriteNumber(key, L"ConvertMime", ConvertMime);
    if (result == ERROR_SUCCESS)
        result = WriteMultiByte(key, L"UserName", UserName);
    if (result == ERROR_SUCCESS)
        result = WriteMultiByte(key, L"MailAddress", MailAddress);
    if (result == ERROR_SUCCESS)
        result = WriteMultiByte(key, L"Organization", Organization);
    if (result == ERROR_SUCCESS)
        result = WriteString(key, L"EditorPath", EditorPath ? EditorPath : L"");
    RegCloseKey(key);
    SetLastError(result);
    return result == ERROR_SUCCESS;
}

BOOL Settings::MakeFont(HFONT* handle, const wchar_t* faceName, DWORD height)
{
    if (*handle)
        DeleteObject(*handle);
    if (height == kNoFont) {
        *handle = NULL;
        return TRUE;
    }
    LOGFONTW font;
    memset(&font, 0, sizeof font);
    font.lfHeight = (LONG)height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(font.lfFaceName, faceName ? faceName : L"", LF_FACESIZE - 1);
    font.lfFaceName[LF_FACESIZE - 1] = L'\0';
    *handle = CreateFontIndirectW(&font);
    return *handle != NULL;
}
