// The roots the TLS layer trusts: Debian's ca-certificates, made into a
// table at build time by tools/bearssl/trust-anchors.py.
#pragma once
#include <stddef.h>
#include <bearssl.h>

#ifdef __cplusplus
extern "C" {
#endif
extern const br_x509_trust_anchor kTrustAnchors[];
extern const size_t kTrustAnchorCount;
#ifdef __cplusplus
}

// A root trusted beside the table, for the tests' own test root; none takes
// it away. The program never sets one. The anchor must outlive its use.
void SetExtraTrustAnchor(const br_x509_trust_anchor* anchor);
#endif
