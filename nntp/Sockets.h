// The socket interface, chosen here alone. The device has Windows Sockets
// 1.1 only (winsock.h, winsock.dll, on CE 2.11 and 3.0 alike); the host
// build takes its successor (ws2_32), whose header must precede windows.h.
#pragma once
#ifdef _WIN32_WCE
#include <windows.h>
#include <winsock.h>
#else
#include <winsock2.h>
#include <windows.h>
#endif
