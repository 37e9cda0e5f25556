// Host-only view into the simulated remote access service, for tests.
//
// The phone book is the registry, one sub-key per entry under
// HKEY_CURRENT_USER\Comm\RasBook. Values read from an entry's key:
//   UserName, Password, Domain (REG_SZ)  returned by RasGetEntryDialParams
//   FailDial (REG_DWORD, not 0)          the dial fails after the device step
// A dial walks the connection states one timer tick apart on the thread that
// called RasDial, so that thread must pump messages.
#pragma once
#include "host/Ras.h"

struct RasServiceCounts {
    DWORD dials;      // RasDial calls that started a dial
    DWORD hangUps;    // RasHangUp calls on a live handle
    DWORD connected;  // dials that reached RASCS_Connected
    DWORD live;       // connections up now
};

// Milliseconds between two states of a simulated dial (default 20).
void RasServiceSetStepTime(UINT milliseconds);
// Forgets every connection, without notifications, and clears the counts.
void RasServiceReset();
RasServiceCounts RasServiceGetCounts();
