// TLS on top of another layer of the connection: BearSSL, for the host and
// the device alike (nntp/BearSslLayer.cpp). The layer reports what it found
// of the certificate; the program decides (nntp/SecureStart.cpp).
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
    kCertificateNotYetValid,
    kCertificateWrongName,
};

// The server certificate's validity and the device's time it was checked
// against, all UTC.
struct CertificateDates {
    SYSTEMTIME now, notBefore, notAfter;
};

class SecureLayer : public StreamLayer {
public:
    // The handshake over `below`, for `serverName` (host name or dotted
    // address, multi-byte). Sends only the handshake's own bytes. FALSE with
    // the last error set.
    virtual BOOL Handshake(StreamLayer* below, const char* serverName) = 0;
    // The server's certificate after the handshake: its SHA-256 fingerprint
    // (64 upper-case hexadecimal digits), the verdict on it for `serverName`
    // (the name given to Handshake) and its dates. FALSE with the last error
    // when it cannot be read.
    virtual BOOL CheckCertificate(const char* serverName, CertificateVerdict* verdict, char* fingerprint,
                                  CertificateDates* dates) = 0;
    // Frees the layer without sending anything.
    virtual void Destroy() = 0;

protected:
    ~SecureLayer() {}
};

// A new layer; none with ERROR_NOT_ENOUGH_MEMORY.
SecureLayer* CreateSecureLayer();
