#include "support/RegistrySandbox.h"
#include <stdio.h>

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

bool RegistrySandbox::Taken()
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
