// TLS on top of another layer of the connection. One interface, so that the
// platform's TLS (or a library built for the device) can stand behind it;
// CreateSecureLayer picks it. The platform's own certificate checks are not
// relied on: the layer reports what the certificate chain functions say and
// the program decides.
#pragma once
#include <windows.h>
#include "nntp/StreamLayer.h"

enum {
    kFingerprintDigits = 64,   // SHA-256 in hexadecimal
    kFingerprintSize = kFingerprintDigits + 1,
};

enum CertificateVerdict {
    kCertificateTrusted,     // a chain to a trusted root, in its dates, for the name
    kCertificateUntrusted,
    kCertificateExpired,
    kCertificateWrongName,
};

class SecureLayer : public StreamLayer {
public:
    // The handshake over `below`, for `serverName` (host name or dotted
    // address, multi-byte). Sends only the handshake's own bytes. FALSE with
    // the last error set.
    virtual BOOL Handshake(StreamLayer* below, const char* serverName) = 0;
    // The server's certificate after the handshake: its SHA-256 fingerprint
    // (64 upper-case hexadecimal digits) and the system's verdict on it for
    // `serverName`. FALSE with the last error when it cannot be read.
    virtual BOOL CheckCertificate(const char* serverName, CertificateVerdict* verdict, char* fingerprint) = 0;
    // Frees the layer without sending anything.
    virtual void Destroy() = 0;

protected:
    ~SecureLayer() {}
};

// A new layer of the platform's TLS; none with ERROR_NOT_SUPPORTED where the
// platform has none, or ERROR_NOT_ENOUGH_MEMORY.
SecureLayer* CreateSecureLayer();
