#include "support/RegistrySandbox.h"
#include <stdio.h>
#include <string.h>

static HKEY g_root;

static void SandboxPath(wchar_t* path, size_t size)
{
    _snwprintf(path, size, L"Software\\PeloraTestSandbox\\%lu", GetCurrentProcessId());
    path[size - 1] = L'\0';
}

bool RegistrySandbox::Take()
{
    if (g_root)
        return true;
    wchar_t path[64];
    SandboxPath(path, 64);
    RegDeleteTreeW(HKEY_CURRENT_USER, path);
    HKEY root;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &root, NULL) != ERROR_SUCCESS)
        return false;
    if (RegOverridePredefKey(HKEY_CURRENT_USER, root) != ERROR_SUCCESS) {
        RegCloseKey(root);
        return false;
    }
    g_root = root;
    return true;
}

bool RegistrySandbox::Ready() const
{
    return g_root != NULL;
}

void RegistrySandbox::Clear()
{
    if (Take())
        RegDeleteTreeW(g_root, NULL);
}

void RegistrySandbox::Release()
{
    if (!g_root)
        return;
    RegOverridePredefKey(HKEY_CURRENT_USER, NULL);
    RegCloseKey(g_root);
    g_root = NULL;
    wchar_t path[64];
    SandboxPath(path, 64);
    RegDeleteTreeW(HKEY_CURRENT_USER, path);
    HKEY parent;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_ALL_ACCESS, &parent) == ERROR_SUCCESS) {
        RegDeleteKeyW(parent, L"PeloraTestSandbox");   // only when no other sandbox is left
        RegCloseKey(parent);
    }
}

RegistryValue ReadValue(const std::wstring& key, const wchar_t* name)
{
    RegistryValue value = {false, 0, {}};
    HKEY handle;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExW(handle, name, NULL, &value.type, NULL, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        value.present = RegQueryValueExW(handle, name, NULL, NULL, value.bytes.data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(handle);
    return value;
}

DWORD ReadDword(const std::wstring& key, const wchar_t* name, DWORD* type)
{
    RegistryValue value = ReadValue(key, name);
    DWORD number = 0xDEADBEEF;
    if (value.present && value.bytes.size() == 4)
        memcpy(&number, value.bytes.data(), 4);
    if (type)
        *type = value.type;
    return number;
}

std::wstring ReadString(const std::wstring& key, const wchar_t* name)
{
    RegistryValue value = ReadValue(key, name);
    std::wstring text((const wchar_t*)value.bytes.data(), value.bytes.size() / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

void WriteValue(const std::wstring& key, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    HKEY handle;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &handle, NULL)
        != ERROR_SUCCESS)
        return;
    if (name)
        RegSetValueExW(handle, name, 0, type, (const BYTE*)data, size);
    RegCloseKey(handle);
}

void WriteDword(const std::wstring& key, const wchar_t* name, DWORD value)
{
    WriteValue(key, name, REG_DWORD, &value, 4);
}

void WriteString(const std::wstring& key, const wchar_t* name, const std::wstring& text)
{
    WriteValue(key, name, REG_SZ, text.c_str(), (DWORD)(text.size() + 1) * sizeof(wchar_t));
}

void AddPhoneBookEntry(const wchar_t* name, DWORD failDial)
{
    WriteDword(std::wstring(L"Comm\\RasBook\\") + name, L"FailDial", failDial);
}
