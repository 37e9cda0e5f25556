#include "shots/ShotScript.h"
#include <windows.h>
#include <stdlib.h>
#include "support/DialogDriver.h"

static std::wstring Env(const wchar_t* name)
{
    const wchar_t* value = _wgetenv(name);
    return value ? value : L"";
}

void Shoot(const std::wstring& name)
{
    DialogDriver::PumpFor(300);
    std::wstring ready = Env(L"PELORA_SHOT_DIR") + L"\\" + Env(L"PELORA_SHOT_PREFIX") + name + L".ready";
    CloseHandle(CreateFileW(ready.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    DialogDriver::PumpUntil([&] { return GetFileAttributesW(ready.c_str()) == INVALID_FILE_ATTRIBUTES; }, 8000);
}
