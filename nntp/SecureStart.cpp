#include "nntp/SecureStart.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "resource.h"
#include "text/CodePage.h"
#include "text/MessageCatalog.h"

namespace {

enum { kReplySize = 1024, kDateSize = 16, kDatesSize = 256 };

// Message `id` into `failure`, its "%s" (or two) filled with `first` and
// `second`; with `first` none, its "%d" with the last error.
void Describe(wchar_t* failure, DWORD capacity, UINT id, const wchar_t* first = L"", const wchar_t* second = L"")
{
    if (!first) {
        wcsncpy(failure, FormatErrorMessage(id), capacity - 1);
        failure[capacity - 1] = 0;
        return;
    }
    const wchar_t* format = MessageCatalog::Load(id);
    _snwprintf(failure, capacity - 1, format ? format : L"%s %s", first, second);
    failure[capacity - 1] = 0;
}

// A reply line as wide text without its CR LF.
void DescribeReply(wchar_t* failure, DWORD capacity, UINT id, const char* reply)
{
    char line[kReplySize];
    strncpy(line, reply, kReplySize - 1);
    line[kReplySize - 1] = 0;
    line[strcspn(line, "\r\n")] = 0;
    wchar_t* wide = ToWide(line);
    Describe(failure, capacity, id, wide ? wide : L"??");
    free(wide);
}

// A handheld's clock resets when its battery dies: the device's date beside
// the certificate's validity shows the user which one is wrong.
struct DatesText {
    wchar_t text[kDatesSize];
};

DatesText DescribeDates(const CertificateDates& dates)
{
    const SYSTEMTIME* shown[] = {&dates.now, &dates.notBefore, &dates.notAfter};
    wchar_t day[3][kDateSize];
    for (int i = 0; i < 3; ++i)
        _snwprintf(day[i], kDateSize, L"%04u/%02u/%02u", shown[i]->wYear, shown[i]->wMonth, shown[i]->wDay);
    DatesText result;
    const wchar_t* format = MessageCatalog::Load(IDS_CERTIFICATE_DATES);
    _snwprintf(result.text, kDatesSize - 1, format ? format : L"%s %s %s", day[0], day[1], day[2]);
    result.text[kDatesSize - 1] = 0;
    return result;
}

// Whether the server lists STARTTLS among its capabilities.
BOOL OffersStartTls(NntpConnection* connection, char* reply)
{
    if (!connection->SendLine("CAPABILITIES") || !connection->ReadLine(reply, kReplySize, TRUE))
        return FALSE;
    if (strncmp(reply, "101", 3) != 0)
        return FALSE;
    BOOL offered = FALSE;
    for (;;) {
        if (!connection->ReadLine(reply, kReplySize, TRUE))
            return FALSE;
        if (strcmp(reply, ".") == 0)
            return offered;
        if (_strnicmp(reply, "STARTTLS", 8) == 0 && (reply[8] == 0 || reply[8] == ' '))
            offered = TRUE;
    }
}

// The handshake on the connection's top and the certificate's check; the
// layer becomes the new top only when the certificate is accepted.
BOOL StartTls(NntpConnection* connection, const char* server, SecureChannel* secure, wchar_t* failure,
              DWORD capacity)
{
    secure->layer = CreateSecureLayer();
    if (!secure->layer) {
        Describe(failure, capacity, IDS_OUT_OF_MEMORY);
        return FALSE;
    }
    if (!secure->layer->Handshake(connection->Top(), server)) {
        Describe(failure, capacity, IDS_TLS_FAILED, NULL);
        return FALSE;
    }
    CertificateVerdict verdict;
    char fingerprint[kFingerprintSize];
    CertificateDates dates;
    if (!secure->layer->CheckCertificate(server, &verdict, fingerprint, &dates)) {
        Describe(failure, capacity, IDS_TLS_FAILED, NULL);
        return FALSE;
    }
    // A stored fingerprint is the only certificate let in, whatever the
    // roots say: one that chains to a trusted root but differs is refused.
    char pinned[kFingerprintSize];
    BOOL pinnedSet = secure->fingerprint && NormalizeFingerprint(secure->fingerprint, pinned);
    BOOL accepted = pinnedSet ? strcmp(pinned, fingerprint) == 0 : verdict == kCertificateTrusted;
    if (!accepted) {
        // Shown in pairs with colons, as certificate viewers show it.
        wchar_t shown[kFingerprintDigits / 2 * 3];
        for (int i = 0; i < kFingerprintDigits / 2; ++i) {
            shown[3 * i] = fingerprint[2 * i];
            shown[3 * i + 1] = fingerprint[2 * i + 1];
            shown[3 * i + 2] = L':';
        }
        shown[kFingerprintDigits / 2 * 3 - 1] = 0;
        wchar_t* name = ToWide(server);
        if (pinnedSet)
            Describe(failure, capacity, IDS_CERTIFICATE_CHANGED, shown);
        else if (verdict == kCertificateExpired || verdict == kCertificateNotYetValid)
            Describe(failure, capacity,
                     verdict == kCertificateExpired ? IDS_CERTIFICATE_EXPIRED : IDS_CERTIFICATE_NOT_YET_VALID,
                     DescribeDates(dates).text, shown);
        else if (verdict == kCertificateWrongName)
            Describe(failure, capacity, IDS_CERTIFICATE_WRONG_NAME, name ? name : L"", shown);
        else
            Describe(failure, capacity, IDS_CERTIFICATE_UNTRUSTED, shown);
        free(name);
        return FALSE;
    }
    // Bytes that came in clear after the reply to STARTTLS would be read as
    // if the server had sent them inside TLS: PushLayer refuses them.
    if (!connection->PushLayer(secure->layer)) {
        Describe(failure, capacity, IDS_TLS_FAILED, NULL);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void SecureChannel::Release()
{
    if (layer)
        layer->Destroy();
    layer = NULL;
}

BOOL GreetSecurely(NntpConnection* connection, const char* server, SecureChannel* secure, char* line,
                   DWORD capacity, wchar_t* failure, DWORD failureCapacity)
{
    failure[0] = 0;
    // A value the page never stores still means encryption, never clear text.
    BOOL fromFirstByte = secure->security != kSecurityNone && secure->security != kSecurityStartTls;
    if (fromFirstByte && !StartTls(connection, server, secure, failure, failureCapacity)) {
        connection->Close();
        return FALSE;
    }
    if (!connection->ReadLine(line, capacity, FALSE))
        return FALSE;
    if (secure->security != kSecurityStartTls || line[0] != '2')
        return TRUE;
    char reply[kReplySize];
    BOOL started = FALSE;
    if (!OffersStartTls(connection, reply))
        Describe(failure, failureCapacity, IDS_STARTTLS_NOT_OFFERED);
    else if (!connection->SendLine("STARTTLS") || !connection->ReadLine(reply, kReplySize, FALSE))
        Describe(failure, failureCapacity, IDS_TLS_FAILED, NULL);
    else if (strncmp(reply, "382", 3) != 0)
        DescribeReply(failure, failureCapacity, IDS_STARTTLS_REFUSED, reply);
    else if (!connection->PushLayer(connection->Top()))   // refuses while more than the reply came in clear
        Describe(failure, failureCapacity, IDS_TLS_FAILED, NULL);
    else
        started = StartTls(connection, server, secure, failure, failureCapacity);
    if (!started) {
        connection->Close();
        return FALSE;
    }
    return TRUE;
}

BOOL NormalizeFingerprint(const wchar_t* text, char* digits)
{
    int count = 0;
    for (; *text; ++text) {
        wchar_t c = *text;
        if (c == L':')
            continue;
        if (c >= L'a' && c <= L'f')
            c = (wchar_t)(c - L'a' + L'A');
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) || count == kFingerprintDigits)
            return FALSE;
        digits[count++] = (char)c;
    }
    digits[count] = 0;
    return count == kFingerprintDigits;
}

BOOL DescribeEncryptionRequired(const char* reply, wchar_t* text, DWORD capacity)
{
    if (strncmp(reply, "483", 3) != 0)
        return FALSE;
    DescribeReply(text, capacity, IDS_ENCRYPTION_REQUIRED, reply);
    return TRUE;
}
