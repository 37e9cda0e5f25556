// The start of a connection with the security the user chose: TLS from the
// first byte, or STARTTLS after the greeting, and never a fall back to clear
// text once either is chosen. The patrol and the group list fetch both open
// their connections through here.
#pragma once
#include "nntp/Sockets.h"
#include <windows.h>
#include "nntp/NntpConnection.h"
#include "nntp/SecureLayer.h"

// The Security setting.
enum SecurityMode { kSecurityNone = 0, kSecurityStartTls = 1, kSecurityTls = 2 };

struct SecureChannel {
    DWORD security;               // SecurityMode
    const wchar_t* fingerprint;   // TlsFingerprint, borrowed; may be none or empty
    SecureLayer* layer;           // made by GreetSecurely

    void Init(DWORD mode, const wchar_t* pinned)
    {
        security = mode;
        fingerprint = pinned;
        layer = NULL;
    }
    // Frees the layer; only after the connection's Close.
    void Release();
};

// Reads the server's greeting into `line`; with kSecurityTls the handshake
// comes before it, with kSecurityStartTls the STARTTLS exchange and the
// handshake after it (unless the greeting refuses), so that whatever the
// caller sends next goes inside TLS. `server` is the name the certificate
// must carry. FALSE when the greeting cannot be read (the last error set,
// `failure` empty), or when TLS could not start: then `failure` says why,
// the connection is closed and nothing was sent after the handshake.
BOOL GreetSecurely(NntpConnection* connection, const char* server, SecureChannel* secure, char* line,
                   DWORD capacity, wchar_t* failure, DWORD failureCapacity);

// The fingerprint in `text` as 64 upper-case digits into `digits`
// (kFingerprintSize bytes): case and colons do not count. FALSE unless it
// holds exactly 64 hexadecimal digits.
BOOL NormalizeFingerprint(const wchar_t* text, char* digits);

// For a reply to "authinfo user" in clear text: TRUE, and the message into
// `text`, when the server demands encryption first (483).
BOOL DescribeEncryptionRequired(const char* reply, wchar_t* text, DWORD capacity);
