// The one TLS engine of both programs: BearSSL, built from its sources into
// the program (tools/bearssl/), so the device runs the code the tests run.
// What it needs from the system comes from the device's own calls: random
// bytes from CryptGenRandom, the time from GetSystemTime; its memory lies in
// the layer.
#include "nntp/Sockets.h"
#include "nntp/SecureLayer.h"
#include <new>
#include <string.h>
#include <wincrypt.h>
#include "nntp/TrustAnchors.h"
#include "text/SecretMemory.h"

namespace {

enum {
    // TLS 1.2 allows the server records of 16 KB; what we send is at most one
    // batch of commands a record.
    kOutgoingPlain = 4096,
    kBufferSize = BR_SSL_BUFSIZE_INPUT + kOutgoingPlain + (BR_SSL_BUFSIZE_OUTPUT - 16384),
    kSeedSize = 32,
    // Servers send many small records; the engine takes a record's header
    // and body apart, so they are read from below a block at a time.
    kReadAheadSize = 4096,
    // The end certificate is kept for its IP addresses; a larger one can
    // still be pinned by its fingerprint.
    kCertificateCapacity = 4096,
    kDaysTo1970 = 719528,   // BearSSL counts days from 1 January of year 0
};

const br_x509_trust_anchor* g_extraAnchor;

// TLS 1.2 with forward secrecy and an AEAD cipher only.
const uint16_t kSuites[] = {
    BR_TLS_ECDHE_ECDSA_WITH_CHACHA20_POLY1305_SHA256, BR_TLS_ECDHE_RSA_WITH_CHACHA20_POLY1305_SHA256,
    BR_TLS_ECDHE_ECDSA_WITH_AES_128_GCM_SHA256,       BR_TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256,
    BR_TLS_ECDHE_ECDSA_WITH_AES_256_GCM_SHA384,       BR_TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384,
};

const br_hash_class* const kHashes[] = {&br_sha1_vtable, &br_sha224_vtable, &br_sha256_vtable,
                                        &br_sha384_vtable, &br_sha512_vtable};

// Days since 1 January of year 0 (proleptic Gregorian), and back.
long DaysOf(const SYSTEMTIME& date)
{
    long y = date.wYear - (date.wMonth <= 2);
    long era = (y >= 0 ? y : y - 399) / 400;
    long yearOfEra = y - era * 400;
    long dayOfYear = (153 * (date.wMonth + (date.wMonth > 2 ? -3 : 9)) + 2) / 5 + date.wDay - 1;
    return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468 + kDaysTo1970;
}

void DateOf(uint32_t days, uint32_t seconds, SYSTEMTIME* date)
{
    long z = (long)days - kDaysTo1970 + 719468;
    long era = (z >= 0 ? z : z - 146096) / 146097;
    long dayOfEra = z - era * 146097;
    long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    long mp = (5 * dayOfYear + 2) / 153;
    memset(date, 0, sizeof *date);
    date->wMonth = (WORD)(mp < 10 ? mp + 3 : mp - 9);
    date->wYear = (WORD)(yearOfEra + era * 400 + (date->wMonth <= 2));
    date->wDay = (WORD)(dayOfYear - (153 * mp + 2) / 5 + 1);
    date->wHour = (WORD)(seconds / 3600);
    date->wMinute = (WORD)(seconds / 60 % 60);
    date->wSecond = (WORD)(seconds % 60);
}

// DER elements one after another, never past the end.
class DerReader {
public:
    DerReader(const unsigned char* data, size_t size) : at_(data), end_(data + size) {}
    // The next element: its tag and a reader over its contents.
    BOOL Next(unsigned char* tag, DerReader* contents)
    {
        if (end_ - at_ < 2)
            return FALSE;
        *tag = at_[0];
        size_t length = at_[1];
        const unsigned char* body = at_ + 2;
        if (length & 0x80) {
            size_t count = length & 0x7F;
            if (count == 0 || count > 3 || (size_t)(end_ - body) < count)
                return FALSE;
            length = 0;
            while (count--)
                length = length << 8 | *body++;
        }
        if ((size_t)(end_ - body) < length)
            return FALSE;
        *contents = DerReader(body, length);
        at_ = body + length;
        return TRUE;
    }
    BOOL Is(const unsigned char* bytes, size_t size) const
    {
        return (size_t)(end_ - at_) == size && memcmp(at_, bytes, size) == 0;
    }

private:
    const unsigned char* at_;
    const unsigned char* end_;
};

// Whether the DER certificate lists the IPv4 `address` (network order)
// among its alternative names.
BOOL HasAddress(const unsigned char* der, size_t size, unsigned long address)
{
    static const unsigned char kAltNames[] = {0x55, 0x1D, 0x11};   // 2.5.29.17
    unsigned char tag;
    DerReader certificate(der, size), body(NULL, 0), tbs(NULL, 0), field(NULL, 0);
    if (!certificate.Next(&tag, &body) || !body.Next(&tag, &tbs))
        return FALSE;
    while (tbs.Next(&tag, &field)) {
        if (tag != 0xA3)   // [3] extensions
            continue;
        DerReader extensions(NULL, 0), extension(NULL, 0), part(NULL, 0);
        if (!field.Next(&tag, &extensions))
            return FALSE;
        while (extensions.Next(&tag, &extension)) {
            if (!extension.Next(&tag, &part) || tag != 0x06 || !part.Is(kAltNames, sizeof kAltNames))
                continue;
            while (extension.Next(&tag, &part) && tag != 0x04) {}   // past "critical" to the value
            DerReader names(NULL, 0), name(NULL, 0);
            if (tag != 0x04 || !part.Next(&tag, &names))
                return FALSE;
            while (names.Next(&tag, &name))
                if (tag == 0x87 && name.Is((const unsigned char*)&address, 4))   // [7] iPAddress
                    return TRUE;
            return FALSE;
        }
    }
    return FALSE;
}

class BearSslLayer;

// Stands between the engine and BearSSL's chain check: the chain is checked
// as usual, but the verdict is kept for the program to judge (a stored
// fingerprint may let in what the roots do not), and the handshake goes on
// with the end certificate's key. Nothing is sent after the handshake before
// the program accepted the certificate.
struct CertificateWatch {
    const br_x509_class* vtable;
    BearSslLayer* layer;
};

class BearSslLayer final : public SecureLayer {
public:
    BearSslLayer() : below_(NULL), anchors_(NULL), ended_(FALSE), closed_(FALSE), ahead_(0), aheadLength_(0) {}
    BOOL Handshake(StreamLayer* below, const char* serverName) override;
    BOOL CheckCertificate(const char* serverName, CertificateVerdict* verdict, char* fingerprint,
                          CertificateDates* dates) override;
    BOOL Send(const char* data, DWORD length) override;
    BOOL Receive(char* data, DWORD capacity, DWORD* received) override;
    BOOL HoldsInput() override
    {
        return aheadLength_ || (br_ssl_engine_current_state(&client_.eng) & BR_SSL_RECVAPP) || below_->HoldsInput();
    }
    void Destroy() override;

    static const br_x509_class kWatchClass;

private:
    ~BearSslLayer() {}
    BOOL Seed();
    void SetTime();
    BOOL Run(unsigned wanted);

    static void StartChain(const br_x509_class** context, const char* serverName);
    static void StartCertificate(const br_x509_class** context, uint32_t length);
    static void Append(const br_x509_class** context, const unsigned char* data, size_t length);
    static void EndCertificate(const br_x509_class** context);
    static unsigned EndChain(const br_x509_class** context);
    static const br_x509_pkey* GetKey(const br_x509_class* const* context, unsigned* usages);
    static BearSslLayer* Of(const br_x509_class* const* context)
    {
        return ((const CertificateWatch*)context)->layer;
    }

    StreamLayer* below_;
    br_ssl_client_context client_;
    br_x509_minimal_context chain_;
    CertificateWatch watch_;
    br_x509_trust_anchor* anchors_;   // the table and the extra root, when one is set
    // The end certificate: its hash, its decoding, its bytes (as far as they fit).
    unsigned certificates_;
    br_sha256_context hash_;
    br_x509_decoder_context decoder_;
    unsigned char certificate_[kCertificateCapacity];
    size_t certificateLength_;
    BOOL certificateWhole_;
    unsigned chainError_;   // what the chain check ended with: 0 or a BR_ERR_X509_ code
    BOOL ended_;
    BOOL closed_;   // the server hung up between records
    uint32_t days_, seconds_;
    unsigned char buffer_[kBufferSize];
    char readAhead_[kReadAheadSize];
    DWORD ahead_, aheadLength_;   // bytes from below the engine has not taken yet
};

const br_x509_class BearSslLayer::kWatchClass = {
    sizeof(CertificateWatch), StartChain, StartCertificate, Append, EndCertificate, EndChain, GetKey,
};

void BearSslLayer::StartChain(const br_x509_class** context, const char* serverName)
{
    BearSslLayer* layer = Of(context);
    layer->certificates_ = 0;
    layer->ended_ = FALSE;
    layer->chain_.vtable->start_chain(&layer->chain_.vtable, serverName);
}

void BearSslLayer::StartCertificate(const br_x509_class** context, uint32_t length)
{
    BearSslLayer* layer = Of(context);
    if (layer->certificates_ == 0) {
        br_sha256_init(&layer->hash_);
        br_x509_decoder_init(&layer->decoder_, NULL, NULL);
        layer->certificateLength_ = 0;
        layer->certificateWhole_ = length <= kCertificateCapacity;
    }
    layer->chain_.vtable->start_cert(&layer->chain_.vtable, length);
}

void BearSslLayer::Append(const br_x509_class** context, const unsigned char* data, size_t length)
{
    BearSslLayer* layer = Of(context);
    if (layer->certificates_ == 0) {
        br_sha256_update(&layer->hash_, data, length);
        br_x509_decoder_push(&layer->decoder_, data, length);
        if (layer->certificateWhole_ && length <= kCertificateCapacity - layer->certificateLength_) {
            memcpy(layer->certificate_ + layer->certificateLength_, data, length);
            layer->certificateLength_ += length;
        }
    }
    layer->chain_.vtable->append(&layer->chain_.vtable, data, length);
}

void BearSslLayer::EndCertificate(const br_x509_class** context)
{
    BearSslLayer* layer = Of(context);
    layer->certificates_++;
    layer->chain_.vtable->end_cert(&layer->chain_.vtable);
}

unsigned BearSslLayer::EndChain(const br_x509_class** context)
{
    BearSslLayer* layer = Of(context);
    layer->chainError_ = layer->chain_.vtable->end_chain(&layer->chain_.vtable);
    if (layer->certificates_ == 0)
        return BR_ERR_X509_EMPTY_CHAIN;
    if (!br_x509_decoder_get_pkey(&layer->decoder_))
        return BR_ERR_X509_INVALID_VALUE;
    layer->ended_ = TRUE;
    return 0;
}

const br_x509_pkey* BearSslLayer::GetKey(const br_x509_class* const* context, unsigned* usages)
{
    BearSslLayer* layer = Of(context);
    if (layer->chainError_ == 0)
        return layer->chain_.vtable->get_pkey(&layer->chain_.vtable, usages);
    if (usages)
        *usages = BR_KEYTYPE_KEYX | BR_KEYTYPE_SIGN;
    return br_x509_decoder_get_pkey(&layer->decoder_);
}

BOOL BearSslLayer::Seed()
{
    HCRYPTPROV provider;
    if (!CryptAcquireContextW(&provider, NULL, NULL, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return FALSE;
    BYTE seed[kSeedSize];
    BOOL ok = CryptGenRandom(provider, sizeof seed, seed);
    CryptReleaseContext(provider, 0);
    if (ok)
        br_ssl_engine_inject_entropy(&client_.eng, seed, sizeof seed);
    ClearSecret(seed, sizeof seed);
    return ok;
}

void BearSslLayer::SetTime()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    days_ = (uint32_t)DaysOf(now);
    seconds_ = (uint32_t)now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
    br_x509_minimal_set_time(&chain_, days_, seconds_);
}

// Moves records between the engine and the layer below until the engine
// has room for data to send (BR_SSL_SENDAPP) or data received
// (BR_SSL_RECVAPP). FALSE once the engine has closed: with no error and
// ERROR_HANDLE_EOF for the server's close.
BOOL BearSslLayer::Run(unsigned wanted)
{
    br_ssl_engine_context* engine = &client_.eng;
    for (;;) {
        unsigned state = br_ssl_engine_current_state(engine);
        if (state & BR_SSL_CLOSED) {
            int error = br_ssl_engine_last_error(engine);
            if (error == BR_ERR_OK)
                SetLastError(ERROR_HANDLE_EOF);
            else if (error == BR_ERR_UNSUPPORTED_VERSION || error == BR_ERR_BAD_CIPHER_SUITE ||
                     error == BR_ERR_RECV_FATAL_ALERT + 40 || error == BR_ERR_RECV_FATAL_ALERT + 70)
                SetLastError(ERROR_NOT_SUPPORTED);   // no TLS 1.2 with a suite of ours
            else if (error != BR_ERR_IO)
                SetLastError(ERROR_INVALID_DATA);
            return FALSE;
        }
        if (state & BR_SSL_SENDREC) {
            size_t length;
            unsigned char* record = br_ssl_engine_sendrec_buf(engine, &length);
            if (!below_->Send((const char*)record, (DWORD)length)) {
                SetLastError(ERROR_INVALID_DATA);
                return FALSE;
            }
            br_ssl_engine_sendrec_ack(engine, length);
            continue;
        }
        if (state & wanted)
            return TRUE;
        if (state & BR_SSL_RECVREC) {
            if (aheadLength_ == 0) {
                DWORD received = 0;
                if (!below_->Receive(readAhead_, kReadAheadSize, &received)) {
                    SetLastError(ERROR_INVALID_DATA);
                    return FALSE;
                }
                if (received == 0) {
                    // A server that hangs up between records has simply closed.
                    closed_ = TRUE;
                    SetLastError(ERROR_HANDLE_EOF);
                    return FALSE;
                }
                ahead_ = 0;
                aheadLength_ = received;
            }
            size_t length;
            unsigned char* room = br_ssl_engine_recvrec_buf(engine, &length);
            DWORD count = aheadLength_ < length ? aheadLength_ : (DWORD)length;
            memcpy(room, readAhead_ + ahead_, count);
            ahead_ += count;
            aheadLength_ -= count;
            br_ssl_engine_recvrec_ack(engine, count);
            continue;
        }
        br_ssl_engine_flush(engine, 0);
    }
}

BOOL BearSslLayer::Handshake(StreamLayer* below, const char* serverName)
{
    below_ = below;
    anchors_ = NULL;
    chainError_ = BR_ERR_X509_EMPTY_CHAIN;
    certificates_ = 0;
    ended_ = FALSE;
    const br_x509_trust_anchor* anchors = kTrustAnchors;
    size_t count = kTrustAnchorCount;
    if (g_extraAnchor) {
        anchors_ = new (std::nothrow) br_x509_trust_anchor[count + 1];
        if (!anchors_) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        memcpy(anchors_, kTrustAnchors, count * sizeof *anchors_);
        anchors_[count++] = *g_extraAnchor;
        anchors = anchors_;
    }
    br_ssl_engine_context* engine = &client_.eng;
    br_ssl_client_zero(&client_);
    br_ssl_engine_set_versions(engine, BR_TLS12, BR_TLS12);
    br_ssl_engine_set_suites(engine, kSuites, sizeof kSuites / sizeof kSuites[0]);
    br_ssl_engine_set_default_rsavrfy(engine);
    br_ssl_engine_set_default_ecdsa(engine);
    br_x509_minimal_init(&chain_, &br_sha256_vtable, anchors, count);
    br_x509_minimal_set_rsa(&chain_, br_ssl_engine_get_rsavrfy(engine));
    br_x509_minimal_set_ecdsa(&chain_, br_ssl_engine_get_ec(engine), br_ssl_engine_get_ecdsa(engine));
    for (const br_hash_class* hash : kHashes) {
        int id = (int)(hash->desc >> BR_HASHDESC_ID_OFF) & BR_HASHDESC_ID_MASK;
        br_ssl_engine_set_hash(engine, id, hash);
        br_x509_minimal_set_hash(&chain_, id, hash);
    }
    br_ssl_engine_set_prf_sha256(engine, &br_tls12_sha256_prf);
    br_ssl_engine_set_prf_sha384(engine, &br_tls12_sha384_prf);
    br_ssl_engine_set_default_aes_gcm(engine);
    br_ssl_engine_set_default_chapol(engine);
    SetTime();
    watch_.vtable = &kWatchClass;
    watch_.layer = this;
    br_ssl_engine_set_x509(engine, &watch_.vtable);
    br_ssl_engine_set_buffer(engine, buffer_, sizeof buffer_, 1);
    // The name goes out for SNI and is checked by the engine; an address
    // is neither sent nor a DNS name: CheckCertificate looks for it.
    BOOL address = inet_addr(serverName) != INADDR_NONE;
    if (!Seed())
        return FALSE;
    if (!br_ssl_client_reset(&client_, address ? NULL : serverName, 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!Run(BR_SSL_SENDAPP)) {
        if (GetLastError() == ERROR_HANDLE_EOF)
            SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    return TRUE;
}

BOOL BearSslLayer::CheckCertificate(const char* serverName, CertificateVerdict* verdict, char* fingerprint,
                                    CertificateDates* dates)
{
    *verdict = kCertificateUntrusted;
    fingerprint[0] = 0;
    if (!ended_) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    unsigned char hash[br_sha256_SIZE];
    br_sha256_out(&hash_, hash);
    const char digits[] = "0123456789ABCDEF";
    for (int i = 0; i < br_sha256_SIZE; ++i) {
        fingerprint[2 * i] = digits[hash[i] >> 4];
        fingerprint[2 * i + 1] = digits[hash[i] & 15];
    }
    fingerprint[kFingerprintDigits] = 0;
    DateOf(days_, seconds_, &dates->now);
    DateOf(decoder_.notbefore_days, decoder_.notbefore_seconds, &dates->notBefore);
    DateOf(decoder_.notafter_days, decoder_.notafter_seconds, &dates->notAfter);

    unsigned long address = inet_addr(serverName);
    if (chainError_ == 0 && address != INADDR_NONE)
        *verdict = HasAddress(certificate_, certificateLength_, address) ? kCertificateTrusted
                                                                         : kCertificateWrongName;
    else if (chainError_ == 0)
        *verdict = kCertificateTrusted;
    else if (chainError_ == BR_ERR_X509_BAD_SERVER_NAME)
        *verdict = kCertificateWrongName;
    else if (chainError_ == BR_ERR_X509_EXPIRED)
        *verdict = days_ < decoder_.notbefore_days ||
                           (days_ == decoder_.notbefore_days && seconds_ < decoder_.notbefore_seconds)
                       ? kCertificateNotYetValid
                       : kCertificateExpired;
    return TRUE;
}

BOOL BearSslLayer::Send(const char* data, DWORD length)
{
    br_ssl_engine_context* engine = &client_.eng;
    while (length) {
        if (!Run(BR_SSL_SENDAPP))
            return FALSE;
        size_t room;
        unsigned char* plain = br_ssl_engine_sendapp_buf(engine, &room);
        DWORD chunk = length < room ? length : (DWORD)room;
        memcpy(plain, data, chunk);
        br_ssl_engine_sendapp_ack(engine, chunk);
        data += chunk;
        length -= chunk;
    }
    // Out at once, and the records sealed in place: no clear copy remains.
    br_ssl_engine_flush(engine, 0);
    return Run(BR_SSL_SENDAPP);
}

BOOL BearSslLayer::Receive(char* data, DWORD capacity, DWORD* received)
{
    *received = 0;
    br_ssl_engine_context* engine = &client_.eng;
    if (closed_)
        return TRUE;
    if (!Run(BR_SSL_RECVAPP)) {
        if (GetLastError() == ERROR_HANDLE_EOF)
            return TRUE;   // closed: nothing more
        return FALSE;
    }
    size_t length;
    unsigned char* plain = br_ssl_engine_recvapp_buf(engine, &length);
    DWORD count = length < capacity ? (DWORD)length : capacity;
    memcpy(data, plain, count);
    br_ssl_engine_recvapp_ack(engine, count);
    *received = count;
    return TRUE;
}

void BearSslLayer::Destroy()
{
    delete[] anchors_;
    delete this;
}

}  // namespace

void SetExtraTrustAnchor(const br_x509_trust_anchor* anchor)
{
    g_extraAnchor = anchor;
}

SecureLayer* CreateSecureLayer()
{
    BearSslLayer* layer = new (std::nothrow) BearSslLayer;
    if (!layer) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    return layer;
}
