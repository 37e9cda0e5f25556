// Points HKEY_CURRENT_USER of this process at a private key, so that tests
// neither see nor touch the prefix's real settings, nor race with another
// test program in the same prefix. The test main takes it before any test
// runs and removes it when they are done.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

class RegistrySandbox {
public:
    // A fixture member: the private key starts empty for each test.
    RegistrySandbox() { Clear(); }
    bool Ready() const;

    // Takes the private key (once; again after Release()).
    static bool Take();
    // Clears everything written so far.
    static void Clear();
    // The real key again, for programs a test starts; the private one is deleted.
    static void Release();
};

// Values under HKEY_CURRENT_USER\key; writing creates the key.
struct RegistryValue {
    bool present;
    DWORD type;
    std::vector<BYTE> bytes;
};
RegistryValue ReadValue(const std::wstring& key, const wchar_t* name);
DWORD ReadDword(const std::wstring& key, const wchar_t* name, DWORD* type = NULL);   // 0xDEADBEEF when missing
std::wstring ReadString(const std::wstring& key, const wchar_t* name);
void WriteValue(const std::wstring& key, const wchar_t* name, DWORD type, const void* data, DWORD size);
void WriteDword(const std::wstring& key, const wchar_t* name, DWORD value);
void WriteString(const std::wstring& key, const wchar_t* name, const std::wstring& text);
// An entry of the simulated remote access service's phone book; a FailDial
// value of 1 makes its dials fail.
void AddPhoneBookEntry(const wchar_t* name, DWORD failDial = 0);
