// A simulated remote access service: a phone book in the registry, dials that
// walk the connection states by thread timer, and a table of connections.
#include "host/RasService.h"
#include <string.h>
#include <wchar.h>

static const wchar_t kRasBookKey[] = L"Comm\\RasBook";

namespace {

enum { kMaxConnections = 8 };

struct SimConnection {
    HRASCONN handle;        // none when the slot is free
    HWND notifier;
    UINT_PTR timer;
    int step;               // index into the walk
    BOOL fail;
    BOOL connected;
    WCHAR entryName[RAS_MaxEntryName + 1];
};

const RASCONNSTATE kWalk[] = {
    RASCS_OpenPort, RASCS_PortOpened, RASCS_ConnectDevice, RASCS_DeviceConnected,
    RASCS_AllDevicesConnected, RASCS_Authenticate, RASCS_Authenticated, RASCS_Connected,
};
// A failing dial stops after the device step.
const int kFailAfterStep = 2;

SimConnection g_connections[kMaxConnections];
UINT g_stepTime = 20;
UINT_PTR g_nextHandle = 0x5200;
RasServiceCounts g_counts;

SimConnection* FindByHandle(HRASCONN handle)
{
    if (!handle)
        return NULL;
    for (int i = 0; i < kMaxConnections; i++)
        if (g_connections[i].handle == handle)
            return &g_connections[i];
    return NULL;
}

SimConnection* FindByTimer(UINT_PTR timer)
{
    for (int i = 0; i < kMaxConnections; i++)
        if (g_connections[i].handle && g_connections[i].timer == timer)
            return &g_connections[i];
    return NULL;
}

void StopTimer(SimConnection* c)
{
    if (c->timer) {
        KillTimer(NULL, c->timer);
        c->timer = 0;
    }
}

void Notify(SimConnection* c, RASCONNSTATE state, DWORD error)
{
    if (c->notifier && IsWindow(c->notifier))
        SendMessageW(c->notifier, WM_RASDIALEVENT, (WPARAM)state, (LPARAM)error);
}

void CALLBACK StepTimer(HWND, UINT, UINT_PTR timer, DWORD)
{
    SimConnection* c = FindByTimer(timer);
    if (!c) {
        KillTimer(NULL, timer);
        return;
    }
    HRASCONN handle = c->handle;
    if (c->fail && c->step > kFailAfterStep) {
        StopTimer(c);
        Notify(c, RASCS_Disconnected, ERROR_NO_ANSWER);
        return;
    }
    RASCONNSTATE state = kWalk[c->step++];
    if (state == RASCS_Connected) {
        StopTimer(c);
        c->connected = TRUE;
        g_counts.connected++;
    }
    Notify(c, state, 0);
    // The notified window may have hung up meanwhile; the slot is then gone.
    (void)handle;
}

HKEY OpenEntryKey(const WCHAR* entryName)
{
    WCHAR path[64 + RAS_MaxEntryName];
    _snwprintf(path, sizeof path / sizeof path[0] - 1, L"%s\\%s", kRasBookKey, entryName);
    path[sizeof path / sizeof path[0] - 1] = L'\0';
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return NULL;
    return key;
}

void ReadString(HKEY key, const WCHAR* name, WCHAR* out, DWORD capacity)
{
    DWORD size = capacity * sizeof(WCHAR);
    DWORD type = 0;
    out[0] = L'\0';
    if (RegQueryValueExW(key, name, NULL, &type, (BYTE*)out, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        out[0] = L'\0';
        return;
    }
    out[capacity - 1] = L'\0';
    DWORD chars = size / sizeof(WCHAR);
    if (chars < capacity)
        out[chars] = L'\0';
}

BOOL EntryNameValid(const WCHAR* name)
{
    size_t n = wcsnlen(name, RAS_MaxEntryName + 1);
    return n > 0 && n <= RAS_MaxEntryName;
}

} // namespace

extern "C" DWORD WINAPI RasDial(LPRASDIALEXTENSIONS, LPWSTR, LPRASDIALPARAMS params,
                                DWORD notifierType, LPVOID notifier, LPHRASCONN connection)
{
    if (!params || !connection || params->dwSize != sizeof(RASDIALPARAMS))
        return ERROR_INVALID_PARAMETER;
    *connection = NULL;
    if (!EntryNameValid(params->szEntryName))
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    HKEY key = OpenEntryKey(params->szEntryName);
    if (!key)
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    DWORD fail = 0, size = sizeof fail, type = 0;
    if (RegQueryValueExW(key, L"FailDial", NULL, &type, (BYTE*)&fail, &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        fail = 0;
    RegCloseKey(key);

    SimConnection* c = NULL;
    for (int i = 0; i < kMaxConnections && !c; i++)
        if (!g_connections[i].handle)
            c = &g_connections[i];
    if (!c)
        return ERROR_PORT_NOT_AVAILABLE;
    memset(c, 0, sizeof *c);
    c->handle = (HRASCONN)(g_nextHandle++);
    c->notifier = notifierType == 0xFFFFFFFF ? (HWND)notifier : NULL;
    c->fail = fail != 0;
    wcsncpy(c->entryName, params->szEntryName, RAS_MaxEntryName);
    c->timer = SetTimer(NULL, 0, g_stepTime, StepTimer);
    if (!c->timer) {
        c->handle = NULL;
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    g_counts.dials++;
    *connection = c->handle;
    return 0;
}

extern "C" DWORD WINAPI RasHangUp(HRASCONN connection)
{
    SimConnection* c = FindByHandle(connection);
    if (!c)
        return ERROR_INVALID_HANDLE;
    StopTimer(c);
    c->handle = NULL;
    g_counts.hangUps++;
    return 0;
}

static DWORD LiveConnections()
{
    DWORD live = 0;
    for (int i = 0; i < kMaxConnections; i++)
        if (g_connections[i].handle && g_connections[i].connected)
            live++;
    return live;
}

extern "C" DWORD WINAPI RasEnumConnections(LPRASCONN connections, LPDWORD bufferSize,
                                           LPDWORD count)
{
    if (!connections || !bufferSize || !count || connections->dwSize != sizeof(RASCONN))
        return ERROR_INVALID_SIZE;
    DWORD live = LiveConnections();
    DWORD needed = live * sizeof(RASCONN);
    if (*bufferSize < needed) {
        *bufferSize = needed;
        *count = live;
        return ERROR_BUFFER_TOO_SMALL;
    }
    DWORD n = 0;
    for (int i = 0; i < kMaxConnections; i++) {
        if (!g_connections[i].handle || !g_connections[i].connected)
            continue;
        connections[n].dwSize = sizeof(RASCONN);
        connections[n].hrasconn = g_connections[i].handle;
        wcsncpy(connections[n].szEntryName, g_connections[i].entryName, RAS_MaxEntryName);
        connections[n].szEntryName[RAS_MaxEntryName] = L'\0';
        n++;
    }
    *bufferSize = needed;
    *count = n;
    return 0;
}

extern "C" DWORD WINAPI RasGetEntryDialParams(LPWSTR, LPRASDIALPARAMS params,
                                              LPBOOL passwordReturned)
{
    if (!params || params->dwSize != sizeof(RASDIALPARAMS))
        return ERROR_INVALID_SIZE;
    if (passwordReturned)
        *passwordReturned = FALSE;
    if (!EntryNameValid(params->szEntryName))
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    HKEY key = OpenEntryKey(params->szEntryName);
    if (!key)
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    ReadString(key, L"UserName", params->szUserName, UNLEN + 1);
    ReadString(key, L"Password", params->szPassword, PWLEN + 1);
    ReadString(key, L"Domain", params->szDomain, DNLEN + 1);
    if (passwordReturned)
        *passwordReturned = params->szPassword[0] != L'\0';
    RegCloseKey(key);
    return 0;
}

extern "C" DWORD WINAPI RasEnumEntries(LPWSTR, LPWSTR, LPRASENTRYNAME entries,
                                       LPDWORD bufferSize, LPDWORD count)
{
    if (!entries || !bufferSize || !count || entries->dwSize != sizeof(RASENTRYNAME))
        return ERROR_INVALID_SIZE;
    HKEY book = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRasBookKey, 0, KEY_READ, &book) != ERROR_SUCCESS)
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    DWORD capacity = *bufferSize / sizeof(RASENTRYNAME);
    DWORD n = 0, total = 0;
    for (DWORD i = 0;; i++) {
        WCHAR name[256];
        DWORD chars = 256;
        LONG r = RegEnumKeyExW(book, i, name, &chars, NULL, NULL, NULL, NULL);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS || chars > RAS_MaxEntryName)
            continue;  // not a name the device could hold
        total++;
        if (n < capacity) {
            entries[n].dwSize = sizeof(RASENTRYNAME);
            wcscpy(entries[n].szEntryName, name);
            n++;
        }
    }
    RegCloseKey(book);
    *count = n;
    if (total > capacity) {
        *bufferSize = total * sizeof(RASENTRYNAME);
        return ERROR_BUFFER_TOO_SMALL;
    }
    *bufferSize = total * sizeof(RASENTRYNAME);
    return 0;
}

void RasServiceSetStepTime(UINT milliseconds)
{
    g_stepTime = milliseconds ? milliseconds : 1;
}

void RasServiceReset()
{
    for (int i = 0; i < kMaxConnections; i++) {
        StopTimer(&g_connections[i]);
        g_connections[i].handle = NULL;
    }
    memset(&g_counts, 0, sizeof g_counts);
}

RasServiceCounts RasServiceGetCounts()
{
    RasServiceCounts counts = g_counts;
    counts.live = LiveConnections();
    return counts;
}
