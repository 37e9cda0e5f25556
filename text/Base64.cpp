#include "text/Base64.h"

int Base64Value(unsigned char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 64;
}

// The bytes of the `count_` values gathered so far: 2 values give 1 byte,
// 3 give 2, 4 give 3; a single value carries no whole byte.
size_t Base64Decoder::Group(char* out)
{
    size_t written = 0;
    if (count_ >= 2)
        out[written++] = (char)(values_[0] << 2 | values_[1] >> 4);
    if (count_ >= 3)
        out[written++] = (char)((values_[1] & 15) << 4 | values_[2] >> 2);
    if (count_ >= 4)
        out[written++] = (char)((values_[2] & 3) << 6 | values_[3]);
    count_ = 0;
    return written;
}

size_t Base64Decoder::Decode(const char* text, size_t length, char* out)
{
    size_t written = 0;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = (unsigned char)text[i];
        if (c == '=') {
            if (count_)
                written += Group(out + written);
            continue;
        }
        int value = Base64Value(c);
        if (value == 64)
            continue;
        values_[count_++] = value;
        if (count_ == 4)
            written += Group(out + written);
    }
    return written;
}

size_t Base64Decoder::Flush(char* out)
{
    return Group(out);
}
