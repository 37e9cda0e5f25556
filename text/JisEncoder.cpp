#include "text/JisEncoder.h"
#include <string.h>
#include "text/Charset.h"

namespace {

const char kToKanji[] = "\x1b$B";
const char kToAscii[] = "\x1b(B";
const size_t kEscapeLength = 3;
const char kWordStart[] = "=?ISO-2022-JP?B?";
const char kWordEnd[] = "?=";
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Raw bytes one word can carry: its base64 (4 per 3) fills what the word's
// frame leaves of kEncodedWordMax.
const size_t kWordRawMax = (kEncodedWordMax - (sizeof kWordStart - 1) - (sizeof kWordEnd - 1)) / 4 * 3;

// The JIS X 0208 codes of half-width katakana 0xA1-0xDF.
const unsigned short kFullWidthKana[] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529,
    0x2563, 0x2565, 0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B,
    0x252D, 0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541,
    0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D, 0x254E, 0x254F, 0x2552, 0x2555,
    0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569,
    0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,
};
const unsigned char kVoicedMark = 0xDE, kSemiVoicedMark = 0xDF;

// One character of the source: its JIS X 0208 code (0 for ASCII) or ASCII
// byte, and how many source bytes it took. False when it has no code.
bool ReadCharacter(const unsigned char* s, size_t left, unsigned* code, size_t* taken)
{
    unsigned char b = s[0];
    *taken = 1;
    if (b < 0x80) {
        *code = b;
        // Control bytes other than the tab would be read as escapes or line ends.
        return b >= 0x20 ? b != 0x7F : b == '\t';
    }
    if (b >= 0xA1 && b <= 0xDF) {
        unsigned jis = kFullWidthKana[b - 0xA1];
        unsigned char next = left > 1 ? s[1] : 0;
        bool voiceable = (b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE);
        if (next == kVoicedMark && (voiceable || b == 0xB3)) {
            jis = b == 0xB3 ? 0x2574 : jis + 1;
            *taken = 2;
        } else if (next == kSemiVoicedMark && b >= 0xCA && b <= 0xCE) {
            jis += 2;
            *taken = 2;
        }
        *code = jis;
        return true;
    }
    if (!IsShiftJisLead(b) || left < 2)
        return false;
    unsigned char t = s[1];
    if (t < 0x40 || t > 0xFC || t == 0x7F)
        return false;
    *taken = 2;
    unsigned lead = b >= 0xE0 ? b - 0x40 : b;
    unsigned j1 = (lead - 0x81) * 2 + 0x21;
    unsigned j2;
    if (t >= 0x9F) {
        ++j1;
        j2 = t - 0x7E;
    } else {
        j2 = t - (t >= 0x80 ? 0x20 : 0x1F);
    }
    // Rows 1-8 and 16-84 are JIS X 0208; rows 9-15 and 85 on hold the
    // vendors' and users' characters.
    if (!((j1 >= 0x21 && j1 <= 0x28) || (j1 >= 0x30 && j1 <= 0x74)))
        return false;
    *code = j1 << 8 | j2;
    return true;
}

bool Fault(JisFault* fault, const unsigned char* s, size_t left, size_t offset)
{
    fault->offset = offset;
    fault->character[0] = (char)s[0];
    fault->character[1] = left > 1 && IsShiftJisLead(s[0]) ? (char)s[1] : 0;
    fault->character[2] = 0;
    return false;
}

// Appends one character in the mode it needs; false when it does not fit
// with the return to ASCII after it.
bool PutCharacter(unsigned code, bool* kanji, char* out, size_t capacity, size_t* length)
{
    bool wide = code > 0xFF;
    size_t need = (wide != *kanji ? kEscapeLength : 0) + (wide ? 2 : 1) + (wide ? kEscapeLength : 0);
    if (*length + need + 1 > capacity)
        return false;
    if (wide != *kanji) {
        memcpy(out + *length, wide ? kToKanji : kToAscii, kEscapeLength);
        *length += kEscapeLength;
        *kanji = wide;
    }
    if (wide) {
        out[(*length)++] = (char)(code >> 8);
        out[(*length)++] = (char)(code & 0xFF);
    } else {
        out[(*length)++] = (char)code;
    }
    return true;
}

void EndInAscii(bool kanji, char* out, size_t* length)
{
    if (kanji) {
        memcpy(out + *length, kToAscii, kEscapeLength);
        *length += kEscapeLength;
    }
    out[*length] = 0;
}

size_t PutBase64(const unsigned char* raw, size_t length, char* out)
{
    size_t written = 0;
    for (size_t i = 0; i < length; i += 3) {
        unsigned v = raw[i] << 16 | (i + 1 < length ? raw[i + 1] << 8 : 0) | (i + 2 < length ? raw[i + 2] : 0);
        out[written++] = kAlphabet[v >> 18 & 63];
        out[written++] = kAlphabet[v >> 12 & 63];
        out[written++] = i + 1 < length ? kAlphabet[v >> 6 & 63] : '=';
        out[written++] = i + 2 < length ? kAlphabet[v & 63] : '=';
    }
    return written;
}

}  // namespace

size_t SjisToJis(const char* source, size_t length, char* destination, size_t capacity,
                 JisFault* fault)
{
    const unsigned char* s = (const unsigned char*)source;
    size_t written = 0;
    bool kanji = false;
    fault->character[0] = 0;
    if (capacity == 0)
        return (size_t)-1;
    for (size_t at = 0; at < length;) {
        unsigned code;
        size_t taken;
        if (!ReadCharacter(s + at, length - at, &code, &taken)) {
            Fault(fault, s + at, length - at, at);
            return (size_t)-1;
        }
        if (!PutCharacter(code, &kanji, destination, capacity, &written)) {
            fault->offset = at;
            return (size_t)-1;
        }
        at += taken;
    }
    EndInAscii(kanji, destination, &written);
    return written;
}

size_t EncodeHeaderText(const char* source, size_t length, char* destination, size_t capacity,
                        JisFault* fault)
{
    const unsigned char* s = (const unsigned char*)source;
    size_t plain = 0;
    while (plain < length && s[plain] < 0x80)
        ++plain;
    if (plain == length)
        return SjisToJis(source, length, destination, capacity, fault);
    // The encoded part starts at the word that holds the first non-ASCII byte.
    while (plain && s[plain - 1] != ' ')
        --plain;
    size_t written = SjisToJis(source, plain, destination, capacity, fault);
    if (written == (size_t)-1)
        return written;
    fault->character[0] = 0;
    size_t at = plain;
    while (at < length) {
        // One word: as many characters as its raw bytes allow, ending in ASCII.
        unsigned char raw[kWordRawMax + 1];
        size_t rawLength = 0;
        bool kanji = false;
        size_t start = at;
        while (at < length) {
            unsigned code;
            size_t taken;
            if (!ReadCharacter(s + at, length - at, &code, &taken)) {
                Fault(fault, s + at, length - at, at);
                return (size_t)-1;
            }
            if (!PutCharacter(code, &kanji, (char*)raw, kWordRawMax + 1, &rawLength))
                break;
            at += taken;
        }
        if (at == start) {   // cannot be: one character always fits a word
            fault->offset = at;
            return (size_t)-1;
        }
        EndInAscii(kanji, (char*)raw, &rawLength);
        size_t fold = written > 0 && start > plain ? 3 : 0;
        size_t need = fold + (sizeof kWordStart - 1) + (rawLength + 2) / 3 * 4 + (sizeof kWordEnd - 1);
        if (written + need + 1 > capacity) {
            fault->offset = start;
            return (size_t)-1;
        }
        if (fold) {
            memcpy(destination + written, "\r\n ", fold);
            written += fold;
        }
        memcpy(destination + written, kWordStart, sizeof kWordStart - 1);
        written += sizeof kWordStart - 1;
        written += PutBase64(raw, rawLength, destination + written);
        memcpy(destination + written, kWordEnd, sizeof kWordEnd - 1);
        written += sizeof kWordEnd - 1;
    }
    destination[written] = 0;
    return written;
}
