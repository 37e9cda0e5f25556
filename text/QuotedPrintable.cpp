#include "text/QuotedPrintable.h"

namespace {

int HexValue(unsigned char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

size_t DecodeQuotedPrintable(const char* text, size_t length, bool qEncoding, char* out,
                             bool* softBreak)
{
    const unsigned char* s = (const unsigned char*)text;
    bool soft = false;
    if (!qEncoding) {
        while (length && (s[length - 1] == ' ' || s[length - 1] == '\t'))
            --length;
        if (length && s[length - 1] == '=') {
            soft = true;
            --length;
        }
    }
    size_t written = 0;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = s[i];
        if (c == '=' && i + 2 < length) {
            int high = HexValue(s[i + 1]);
            int low = HexValue(s[i + 2]);
            if (high >= 0 && low >= 0) {
                out[written++] = (char)(high << 4 | low);
                i += 2;
                continue;
            }
        }
        out[written++] = (char)(qEncoding && c == '_' ? ' ' : c);
    }
    if (softBreak)
        *softBreak = soft;
    return written;
}
