// The device's remote access interface, with its names, records and
// signatures. On the host build a simulated service stands behind it
// (RasService.cpp); a device build drops this folder and uses the system's.
#pragma once
#include <windows.h>

#define RAS_MaxEntryName      20
#define RAS_MaxPhoneNumber    128
#define RAS_MaxCallbackNumber 48
#define UNLEN                 256
#define PWLEN                 256
#define DNLEN                 15

#define WM_RASDIALEVENT 0xCCCD

DECLARE_HANDLE(HRASCONN);
typedef HRASCONN* LPHRASCONN;

typedef enum tagRASCONNSTATE {
    RASCS_OpenPort = 0,
    RASCS_PortOpened,
    RASCS_ConnectDevice,
    RASCS_DeviceConnected,
    RASCS_AllDevicesConnected,
    RASCS_Authenticate,
    RASCS_AuthNotify,
    RASCS_AuthRetry,
    RASCS_AuthCallback,
    RASCS_AuthChangePassword,
    RASCS_AuthProject,
    RASCS_AuthLinkSpeed,
    RASCS_AuthAck,
    RASCS_ReAuthenticate,
    RASCS_Authenticated,
    RASCS_PrepareForCallback,
    RASCS_WaitForModemReset,
    RASCS_WaitForCallback,
    RASCS_Projected,
    RASCS_Interactive = 0x1000,
    RASCS_RetryAuthentication,
    RASCS_CallbackSetByCaller,
    RASCS_PasswordExpired,
    RASCS_Connected = 0x2000,
    RASCS_Disconnected
} RASCONNSTATE;

typedef struct tagRASCONN {
    DWORD dwSize;
    HRASCONN hrasconn;
    WCHAR szEntryName[RAS_MaxEntryName + 1];
} RASCONN, *LPRASCONN;

typedef struct tagRASDIALPARAMS {
    DWORD dwSize;
    WCHAR szEntryName[RAS_MaxEntryName + 1];
    WCHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
    WCHAR szCallbackNumber[RAS_MaxCallbackNumber + 1];
    WCHAR szUserName[UNLEN + 1];
    WCHAR szPassword[PWLEN + 1];
    WCHAR szDomain[DNLEN + 1];
} RASDIALPARAMS, *LPRASDIALPARAMS;

typedef struct tagRASENTRYNAME {
    DWORD dwSize;
    WCHAR szEntryName[RAS_MaxEntryName + 1];
} RASENTRYNAME, *LPRASENTRYNAME;

typedef struct tagRASDIALEXTENSIONS RASDIALEXTENSIONS, *LPRASDIALEXTENSIONS;

// Error codes of the service.
#define RAS_PENDING                       600
#define ERROR_BUFFER_TOO_SMALL            603
#define ERROR_CANNOT_OPEN_PHONEBOOK       621
#define ERROR_CANNOT_FIND_PHONEBOOK_ENTRY 623
#define ERROR_INVALID_SIZE                632
#define ERROR_PORT_NOT_AVAILABLE          633
#define ERROR_NO_ANSWER                   678

// Notifier type 0xFFFFFFFF: the notifier is a window that receives
// WM_RASDIALEVENT with the state in wParam and the error in lParam.
extern "C" {
DWORD WINAPI RasDial(LPRASDIALEXTENSIONS dialExtensions, LPWSTR phoneBook,
                     LPRASDIALPARAMS params, DWORD notifierType, LPVOID notifier,
                     LPHRASCONN connection);
DWORD WINAPI RasHangUp(HRASCONN connection);
DWORD WINAPI RasEnumConnections(LPRASCONN connections, LPDWORD bufferSize, LPDWORD count);
DWORD WINAPI RasGetEntryDialParams(LPWSTR phoneBook, LPRASDIALPARAMS params,
                                   LPBOOL passwordReturned);
DWORD WINAPI RasEnumEntries(LPWSTR reserved, LPWSTR phoneBook, LPRASENTRYNAME entries,
                            LPDWORD bufferSize, LPDWORD count);
}
