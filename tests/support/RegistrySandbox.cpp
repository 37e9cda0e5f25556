#include "support/RegistrySandbox.h"
#include <stdio.h>

RegistrySandbox::RegistrySandbox() : root_(NULL)
{
    _snwprintf(path_, 64, L"Software\\PeloraTestSandbox\\%lu", GetCurrentProcessId());
    path_[63] = L'\0';
    RegDeleteTreeW(HKEY_CURRENT_USER, path_);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path_, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &root_, NULL) !=
        ERROR_SUCCESS) {
        root_ = NULL;
        return;
    }
    if (RegOverridePredefKey(HKEY_CURRENT_USER, root_) != ERROR_SUCCESS) {
        RegCloseKey(root_);
        root_ = NULL;
    }
}

RegistrySandbox::~RegistrySandbox()
{
    if (!root_)
        return;
    RegOverridePredefKey(HKEY_CURRENT_USER, NULL);
    RegCloseKey(root_);
    RegDeleteTreeW(HKEY_CURRENT_USER, path_);
    HKEY parent;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_ALL_ACCESS, &parent) == ERROR_SUCCESS) {
        RegDeleteKeyW(parent, L"PeloraTestSandbox");   // only when no other sandbox is left
        RegCloseKey(parent);
    }
}

void RegistrySandbox::Clear()
{
    if (root_)
        RegDeleteTreeW(root_, NULL);
}
