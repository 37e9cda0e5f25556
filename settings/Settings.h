// The configuration record, kept in the registry of the current user under
// Software\tidewell\Pelora, and the two display fonts made from it.
#pragma once
#include <windows.h>

// The settings key; the views keep their column widths in sub-keys of it.
#define PELORA_SETTINGS_KEY L"Software\\tidewell\\Pelora"
extern const wchar_t kSettingsKey[];   // PELORA_SETTINGS_KEY

enum {
    kSettingsPathCapacity = 260,
    kEntryNameCapacity = 21,
    kFontNameCapacity = 32,
    // UserID and Password longer than this are refused at load.
    kCredentialMaxLength = 255,
    // 64 hexadecimal digits with a colon between pairs, and room to spare.
    kFingerprintCapacity = 128,
};

// Owned strings are malloc'd blocks (released with free()); the multi-byte
// ones are in the ANSI code page. The fonts are not owned: whoever uses them
// deletes them.
class Settings {
public:
    wchar_t Server[kSettingsPathCapacity];
    wchar_t DataPath[kSettingsPathCapacity];
    DWORD Port;
    DWORD Limit;
    DWORD KeyMode;            // 1: Up and Down scroll by one line
    DWORD AutoNextArticle;
    DWORD Dialup;
    wchar_t EntryName[kEntryNameCapacity];
    DWORD DisconnectWaitTime; // seconds
    DWORD Security;           // 0 clear text, 1 STARTTLS, 2 TLS from the first byte
    wchar_t TlsFingerprint[kFingerprintCapacity];  // the server certificate's SHA-256 the user trusts
    char* UserID;
    char* Password;           // kept exactly as stored
    char* UserName;
    char* MailAddress;
    char* Organization;
    wchar_t FontName[kFontNameCapacity];
    DWORD FontSizeA;
    DWORD FontSizeS;
    HFONT ArticleFont;
    HFONT SubjectFont;
    COLORREF HeaderColor;
    COLORREF ReferenceLine;
    DWORD ConvertMime;        // 1: UTF-8, EUC-JP, ... articles converted too
    wchar_t* EditorPath;      // never none after a load
    DWORD Pipelining;         // 1: several articles' commands in flight at once
    DWORD Compress;           // 1: deflated transfer when the server offers it

    Settings() { Init(); }
    // Every string empty or none, both fonts none.
    void Init();
    // Frees the owned strings (not the fonts); the record is as after Init.
    void Destroy();

    // Fills the record; `complete` tells whether Server, Port, DataPath and
    // Limit were all stored. 0 when the key cannot be opened, a user id or
    // password cannot be read (or is longer than kCredentialMaxLength:
    // ERROR_MORE_DATA), or memory runs out (ERROR_NOT_ENOUGH_MEMORY).
    BOOL Load(BOOL* complete);
    // Writes the record; stops at the first failure with 0 and its cause.
    // A DataPath without its trailing backslash gets one, in the field too.
    BOOL Save();

    // Replaces `*handle` (deleting the font it held) by a font of `faceName`
    // and cell height `height`; a height of 0xFFFFFFFF leaves none and
    // deletes nothing.
    static BOOL MakeFont(HFONT* handle, const wchar_t* faceName, DWORD height);
};

#include "settings/ViewFlags.h"

