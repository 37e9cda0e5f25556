// The one place that chooses the platform's TLS. The host build uses the
// desktop's Schannel (SSPI) and its certificate chain functions, which the
// device lacks: Windows CE 2.11 and 3.0 offer only SSL 3.0, which today's
// servers refuse. The device build gets the stub at the end until a TLS
// library is built for it.
#include "nntp/Sockets.h"
#include "nntp/SecureLayer.h"

#ifndef _WIN32_WCE

#define SECURITY_WIN32
#include <new>
#include <schannel.h>
#include <security.h>
#include <string.h>
#include <wincrypt.h>

namespace {

enum {
    // One whole record: 16 KB of data and what a cipher may add to it.
    kIncomingSize = 16384 + 2048 + 512,
    // Commands are short; longer sends go out in several records.
    kOutgoingSize = 8192,
    kNameCapacity = 260,
    kHashSize = 32,
};

const DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                            ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;

class SchannelLayer final : public SecureLayer {
public:
    SchannelLayer()
        : below_(NULL), haveCredentials_(FALSE), haveContext_(FALSE), pending_(0), pendingLength_(0), plain_(0),
          plainLength_(0), closed_(FALSE)
    {
        name_[0] = 0;
    }
    BOOL Handshake(StreamLayer* below, const char* serverName) override;
    BOOL CheckCertificate(const char* serverName, CertificateVerdict* verdict, char* fingerprint) override;
    BOOL Send(const char* data, DWORD length) override;
    BOOL Receive(char* data, DWORD capacity, DWORD* received) override;
    BOOL HoldsInput() override { return plainLength_ || pendingLength_ || below_->HoldsInput(); }
    void Destroy() override;

private:
    ~SchannelLayer() {}
    BOOL SetName(const char* serverName);
    BOOL ReadMore();
    void KeepUnused(DWORD length);
    BOOL SendToken(SecBuffer* token);
    BOOL Decrypt();

    StreamLayer* below_;
    CredHandle credentials_;
    BOOL haveCredentials_;
    CtxtHandle context_;
    BOOL haveContext_;
    SecPkgContext_StreamSizes sizes_;
    wchar_t name_[kNameCapacity];
    // Bytes from below: pending_ marks those not yet decrypted, plain_ the
    // decrypted ones not yet handed out; both lie in incoming_.
    char incoming_[kIncomingSize];
    DWORD pending_, pendingLength_;
    DWORD plain_, plainLength_;
    BOOL closed_;
    char outgoing_[kOutgoingSize];
};

BOOL SchannelLayer::SetName(const char* serverName)
{
    if (!MultiByteToWideChar(CP_ACP, 0, serverName, -1, name_, kNameCapacity)) {
        name_[0] = 0;
        return FALSE;
    }
    return TRUE;
}

// The context took all but the last `length` of the pending bytes: those
// are the server's next ones (more handshake, or already data).
void SchannelLayer::KeepUnused(DWORD length)
{
    pending_ += pendingLength_ - length;
    pendingLength_ = length;
}

// Appends what the layer below has to the undecrypted bytes, which are
// first moved to the buffer's start.
BOOL SchannelLayer::ReadMore()
{
    if (pending_) {
        memmove(incoming_, incoming_ + pending_, pendingLength_);
        pending_ = 0;
    }
    if (pendingLength_ >= kIncomingSize) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    DWORD received = 0;
    if (!below_->Receive(incoming_ + pendingLength_, kIncomingSize - pendingLength_, &received))
        return FALSE;
    if (received == 0) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    pendingLength_ += received;
    return TRUE;
}

BOOL SchannelLayer::SendToken(SecBuffer* token)
{
    BOOL ok = TRUE;
    if (token->pvBuffer && token->cbBuffer)
        ok = below_->Send((const char*)token->pvBuffer, token->cbBuffer);
    if (token->pvBuffer)
        FreeContextBuffer(token->pvBuffer);
    token->pvBuffer = NULL;
    token->cbBuffer = 0;
    return ok;
}

BOOL SchannelLayer::Handshake(StreamLayer* below, const char* serverName)
{
    below_ = below;
    if (!SetName(serverName))
        return FALSE;
    SCHANNEL_CRED wanted;
    memset(&wanted, 0, sizeof wanted);
    wanted.dwVersion = SCHANNEL_CRED_VERSION;
    // The program checks the certificate itself, every time.
    wanted.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    // TLS 1.0 and 1.1 are broken; a server that offers nothing newer is refused.
    wanted.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
    SECURITY_STATUS status = AcquireCredentialsHandleW(NULL, (SEC_WCHAR*)UNISP_NAME_W, SECPKG_CRED_OUTBOUND, NULL,
                                                       &wanted, NULL, NULL, &credentials_, NULL);
    if (status != SEC_E_OK) {
        SetLastError((DWORD)status);
        return FALSE;
    }
    haveCredentials_ = TRUE;

    SecBuffer out = {0, SECBUFFER_TOKEN, NULL};
    SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, &out};
    ULONG attributes = 0;
    status = InitializeSecurityContextW(&credentials_, NULL, name_, kContextFlags, 0, 0, NULL, 0, &context_,
                                        &outDesc, &attributes, NULL);
    if (status != SEC_I_CONTINUE_NEEDED) {
        SetLastError((DWORD)status);
        return FALSE;
    }
    haveContext_ = TRUE;
    if (!SendToken(&out))
        return FALSE;
    BOOL needMore = TRUE;
    for (;;) {
        if (needMore && !ReadMore())
            return FALSE;
        SecBuffer in[2] = {{pendingLength_, SECBUFFER_TOKEN, incoming_ + pending_}, {0, SECBUFFER_EMPTY, NULL}};
        SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in};
        out.BufferType = SECBUFFER_TOKEN;
        status = InitializeSecurityContextW(&credentials_, &context_, name_, kContextFlags, 0, 0, &inDesc, 0, NULL,
                                            &outDesc, &attributes, NULL);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needMore = TRUE;
            continue;
        }
        if (!SendToken(&out))
            return FALSE;
        KeepUnused(in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0);
        if (status == SEC_E_OK)
            break;
        if (status != SEC_I_CONTINUE_NEEDED) {
            SetLastError((DWORD)status);
            return FALSE;
        }
        needMore = pendingLength_ == 0;
    }
    status = QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
    if (status != SEC_E_OK) {
        SetLastError((DWORD)status);
        return FALSE;
    }
    if (sizes_.cbHeader + sizes_.cbTrailer + 1 >= kOutgoingSize) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    return TRUE;
}

// What the system's server policy says of `chain`; with `name` none, the
// name is not looked at.
HRESULT VerifyChain(PCCERT_CHAIN_CONTEXT chain, wchar_t* name)
{
    HTTPSPolicyCallbackData server;
    memset(&server, 0, sizeof server);
    server.cbStruct = sizeof server;
    server.dwAuthType = AUTHTYPE_SERVER;
    server.pwszServerName = name;
    CERT_CHAIN_POLICY_PARA policy;
    memset(&policy, 0, sizeof policy);
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &server;
    CERT_CHAIN_POLICY_STATUS result;
    memset(&result, 0, sizeof result);
    result.cbSize = sizeof result;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &result))
        return CERT_E_UNTRUSTEDROOT;
    return (HRESULT)result.dwError;
}

// Whether the certificate names the IPv4 `address` among its alternative
// names; the system's policy matches only host names.
BOOL HasAddress(PCCERT_CONTEXT certificate, unsigned long address)
{
    PCERT_EXTENSION extension = CertFindExtension(szOID_SUBJECT_ALT_NAME2, certificate->pCertInfo->cExtension,
                                                  certificate->pCertInfo->rgExtension);
    CERT_ALT_NAME_INFO* names = NULL;
    DWORD size = 0;
    if (!extension || !CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                                           extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, NULL, &names, &size))
        return FALSE;
    BOOL found = FALSE;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == 4 &&
                memcmp(entry.IPAddress.pbData, &address, 4) == 0;
    }
    LocalFree(names);
    return found;
}

BOOL SchannelLayer::CheckCertificate(const char* serverName, CertificateVerdict* verdict, char* fingerprint)
{
    *verdict = kCertificateUntrusted;
    fingerprint[0] = 0;
    if (!haveContext_ || !SetName(serverName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PCCERT_CONTEXT certificate = NULL;
    SECURITY_STATUS status = QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
    if (status != SEC_E_OK || !certificate) {
        SetLastError(status != SEC_E_OK ? (DWORD)status : ERROR_INVALID_DATA);
        return FALSE;
    }
    BYTE hash[kHashSize];
    DWORD hashSize = sizeof hash;
    if (!CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, NULL, certificate->pbCertEncoded,
                               certificate->cbCertEncoded, hash, &hashSize) ||
        hashSize != kHashSize) {
        DWORD error = GetLastError();
        CertFreeCertificateContext(certificate);
        SetLastError(error ? error : ERROR_INVALID_DATA);
        return FALSE;
    }
    const char digits[] = "0123456789ABCDEF";
    for (DWORD i = 0; i < kHashSize; ++i) {
        fingerprint[2 * i] = digits[hash[i] >> 4];
        fingerprint[2 * i + 1] = digits[hash[i] & 15];
    }
    fingerprint[kFingerprintDigits] = 0;

    // The intermediates the server sent are in the certificate's own store.
    LPSTR usages[] = {(LPSTR)szOID_PKIX_KP_SERVER_AUTH};
    CERT_CHAIN_PARA chainPara;
    memset(&chainPara, 0, sizeof chainPara);
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    // An engine of its own reads the trusted roots as they are now, not as
    // they were at the first connection of the run.
    CERT_CHAIN_ENGINE_CONFIG config;
    memset(&config, 0, sizeof config);
    config.cbSize = sizeof config;
    HCERTCHAINENGINE engine = NULL;
    PCCERT_CHAIN_CONTEXT chain = NULL;
    if (CertCreateCertificateChainEngine(&config, &engine) &&
        CertGetCertificateChain(engine, certificate, NULL, certificate->hCertStore, &chainPara, 0, NULL, &chain)) {
        // Trust and dates first, whatever order the system checks them in,
        // and from the chain itself too: the policy does not everywhere
        // count a chain that ends short of any root as an error.
        DWORD problems = chain->TrustStatus.dwErrorStatus & ~CERT_TRUST_IS_NOT_TIME_NESTED;
        HRESULT error = problems == CERT_TRUST_IS_NOT_TIME_VALID ? CERT_E_EXPIRED
                        : problems                               ? CERT_E_UNTRUSTEDROOT
                                                                 : VerifyChain(chain, NULL);
        if (error == S_OK && inet_addr(serverName) != INADDR_NONE)
            error = HasAddress(certificate, inet_addr(serverName)) ? S_OK : CERT_E_CN_NO_MATCH;
        else if (error == S_OK)
            error = VerifyChain(chain, name_);
        if (error == S_OK)
            *verdict = kCertificateTrusted;
        else if (error == CERT_E_EXPIRED)
            *verdict = kCertificateExpired;
        else if (error == CERT_E_CN_NO_MATCH)
            *verdict = kCertificateWrongName;
        CertFreeCertificateChain(chain);
    }
    if (engine)
        CertFreeCertificateChainEngine(engine);
    CertFreeCertificateContext(certificate);
    return TRUE;
}

BOOL SchannelLayer::Send(const char* data, DWORD length)
{
    DWORD room = kOutgoingSize - sizes_.cbHeader - sizes_.cbTrailer;
    if (room > sizes_.cbMaximumMessage)
        room = sizes_.cbMaximumMessage;
    while (length) {
        DWORD chunk = length < room ? length : room;
        memcpy(outgoing_ + sizes_.cbHeader, data, chunk);
        SecBuffer parts[4] = {
            {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, outgoing_},
            {chunk, SECBUFFER_DATA, outgoing_ + sizes_.cbHeader},
            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, outgoing_ + sizes_.cbHeader + chunk},
            {0, SECBUFFER_EMPTY, NULL},
        };
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, parts};
        SECURITY_STATUS status = EncryptMessage(&context_, 0, &desc, 0);
        if (status != SEC_E_OK) {
            SetLastError((DWORD)status);
            return FALSE;
        }
        if (!below_->Send(outgoing_, parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer))
            return FALSE;
        data += chunk;
        length -= chunk;
    }
    return TRUE;
}

// One record of the pending bytes into plain text; FALSE with
// SEC_E_INCOMPLETE_MESSAGE as last error when it has not all come yet.
BOOL SchannelLayer::Decrypt()
{
    SecBuffer parts[4] = {
        {pendingLength_, SECBUFFER_DATA, incoming_ + pending_},
        {0, SECBUFFER_EMPTY, NULL},
        {0, SECBUFFER_EMPTY, NULL},
        {0, SECBUFFER_EMPTY, NULL},
    };
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, parts};
    SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, NULL);
    if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED && status != SEC_I_RENEGOTIATE) {
        SetLastError((DWORD)status);
        return FALSE;
    }
    DWORD extraLength = 0;
    for (int i = 1; i < 4; ++i) {
        if (parts[i].BufferType == SECBUFFER_DATA) {
            plain_ = (DWORD)((char*)parts[i].pvBuffer - incoming_);
            plainLength_ = parts[i].cbBuffer;
        } else if (parts[i].BufferType == SECBUFFER_EXTRA) {
            extraLength = parts[i].cbBuffer;
        }
    }
    KeepUnused(extraLength);
    if (status == SEC_I_CONTEXT_EXPIRED)
        closed_ = TRUE;   // the server's close_notify
    if (status == SEC_I_RENEGOTIATE) {
        // A handshake message after the handshake (a TLS 1.3 ticket): it goes
        // back to the context, and whatever it answers goes out.
        SecBuffer in[2] = {{pendingLength_, SECBUFFER_TOKEN, incoming_ + pending_}, {0, SECBUFFER_EMPTY, NULL}};
        SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in};
        SecBuffer out = {0, SECBUFFER_TOKEN, NULL};
        SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, &out};
        ULONG attributes = 0;
        status = InitializeSecurityContextW(&credentials_, &context_, name_, kContextFlags, 0, 0, &inDesc, 0, NULL,
                                            &outDesc, &attributes, NULL);
        if (!SendToken(&out))
            return FALSE;
        KeepUnused(in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0);
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
            SetLastError((DWORD)status);
            return FALSE;
        }
    }
    return TRUE;
}

BOOL SchannelLayer::Receive(char* data, DWORD capacity, DWORD* received)
{
    *received = 0;
    for (;;) {
        if (plainLength_) {
            DWORD count = plainLength_ < capacity ? plainLength_ : capacity;
            memcpy(data, incoming_ + plain_, count);
            plain_ += count;
            plainLength_ -= count;
            *received = count;
            return TRUE;
        }
        if (closed_)
            return TRUE;
        if (pendingLength_) {
            if (Decrypt())
                continue;
            if (GetLastError() != (DWORD)SEC_E_INCOMPLETE_MESSAGE) {
                SetLastError(ERROR_INVALID_DATA);
                return FALSE;
            }
        }
        if (!ReadMore()) {
            // A server that hangs up between records has simply closed.
            if (GetLastError() == ERROR_HANDLE_EOF && pendingLength_ == 0) {
                closed_ = TRUE;
                return TRUE;
            }
            SetLastError(ERROR_INVALID_DATA);
            return FALSE;
        }
    }
}

void SchannelLayer::Destroy()
{
    if (haveContext_)
        DeleteSecurityContext(&context_);
    if (haveCredentials_)
        FreeCredentialsHandle(&credentials_);
    delete this;
}

}  // namespace

SecureLayer* CreateSecureLayer()
{
    SecureLayer* layer = new (std::nothrow) SchannelLayer;
    if (!layer)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return layer;
}

#else

SecureLayer* CreateSecureLayer()
{
    SetLastError(ERROR_NOT_SUPPORTED);
    return NULL;
}

#endif
