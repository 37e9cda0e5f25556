#include "text/Jis.h"
#include <string.h>
#include "text/Base64.h"

namespace {

enum JisMode { kAscii, kKanji, kKatakana };

const unsigned char kEsc = 0x1B;

bool IsJisByte(unsigned char b) { return b >= 0x21 && b <= 0x7E; }

// Length of the escape sequence at `s` (which holds ESC) and the mode it
// selects; 0 when it is no sequence we know. Stops at the NUL.
size_t ReadEscape(const unsigned char* s, JisMode& mode)
{
    if (s[1] == '$' && (s[2] == 'B' || s[2] == '@')) {
        mode = kKanji;
        return 3;
    }
    if (s[1] == '(' && (s[2] == 'B' || s[2] == 'J' || s[2] == 'H')) {
        mode = kAscii;
        return 3;
    }
    if (s[1] == '(' && s[2] == 'I') {
        mode = kKatakana;
        return 3;
    }
    if (s[1] == 'K') {
        mode = kKanji;
        return 2;
    }
    if (s[1] == 'H') {
        mode = kAscii;
        return 2;
    }
    return 0;
}

// Writes `count` bytes when they all fit before the terminator's place.
bool Put(char* destination, size_t capacity, size_t& length, const unsigned char* bytes, size_t count)
{
    if (length + count >= capacity)
        return false;
    for (size_t i = 0; i < count; ++i)
        destination[length++] = (char)bytes[i];
    return true;
}

const char kLowerCharset[] = "iso-2022-jp?B?";
const char kUpperCharset[] = "ISO-2022-JP?B?";
const size_t kCharsetLength = sizeof(kLowerCharset) - 1;

}  // namespace

void JisPairToSjis(unsigned char& b1, unsigned char& b2)
{
    unsigned j1 = b1, j2 = b2;
    unsigned s2;
    if (j1 & 1)
        s2 = j2 < 0x60 ? j2 + 0x1F : j2 + 0x20;
    else
        s2 = j2 + 0x7E;
    unsigned s1 = j1 < 0x5F ? (j1 + 0xE1) / 2 : (j1 + 0x161) / 2;
    b1 = (unsigned char)s1;
    b2 = (unsigned char)s2;
}

size_t JisToSjis(const char* source, char* destination, size_t capacity)
{
    if (capacity == 0)
        return 0;
    const unsigned char* s = (const unsigned char*)source;
    size_t length = 0;
    JisMode mode = kAscii;
    while (*s) {
        if (*s == kEsc) {
            size_t skip = ReadEscape(s, mode);
            if (skip) {
                s += skip;
                continue;
            }
        }
        unsigned char out[2];
        size_t count = 1;
        out[0] = *s++;
        if (mode == kKatakana) {
            // Line ends stay line ends, or a stored line would lose its CR LF.
            if (out[0] != '\r' && out[0] != '\n')
                out[0] |= 0x80;
        } else if (mode == kKanji) {
            bool jis = IsJisByte(out[0]);
            bool euc = IsEucByte(out[0]);
            // A lone first byte before an escape leaves the escape to do its
            // work instead of swallowing it as a second byte.
            if ((jis || euc) && *s != '\0' && *s != kEsc) {
                out[1] = *s++;
                count = 2;
                if (jis && IsJisByte(out[1])) {
                    JisPairToSjis(out[0], out[1]);
                } else if (euc && IsEucByte(out[1])) {
                    out[0] &= 0x7F;
                    out[1] &= 0x7F;
                    JisPairToSjis(out[0], out[1]);
                }
            }
        }
        if (!Put(destination, capacity, length, out, count))
            break;
    }
    destination[length] = '\0';
    return length;
}

bool LooksLikeJis(const char* text, size_t length)
{
    bool escape = false;
    for (size_t i = 0; i < length; ++i) {
        if ((unsigned char)text[i] >= 0x80)
            return false;
        escape = escape || text[i] == kEsc;
    }
    return escape;
}

size_t JisPieceLength(const char* source, size_t length, char* resume)
{
    const unsigned char* s = (const unsigned char*)source;
    JisMode mode = kAscii;
    size_t i = 0;
    while (i < length) {
        if (s[i] == kEsc) {
            if (i + 2 >= length)
                break;
            size_t skip = ReadEscape(s + i, mode);
            if (skip) {
                i += skip;
                continue;
            }
        }
        // Paired as JisToSjis pairs them.
        bool pair = mode == kKanji && (IsJisByte(s[i]) || IsEucByte(s[i]));
        if (pair && i + 1 == length)
            break;
        i += pair && s[i + 1] != kEsc ? 2 : 1;
    }
    const char* sequence = mode == kKanji ? "\x1b$B" : mode == kKatakana ? "\x1b(I" : "";
    strcpy(resume, sequence);
    return i;
}

size_t DecodeEncodedWords(char* destination, size_t capacity, const char* source)
{
    if (capacity == 0)
        return 0;
    const unsigned char* s = (const unsigned char*)source;
    size_t length = 0;
    while (*s) {
        bool encoded = s[0] == '=' && s[1] == '?' &&
                       (strncmp((const char*)s + 2, kLowerCharset, kCharsetLength) == 0 ||
                        strncmp((const char*)s + 2, kUpperCharset, kCharsetLength) == 0);
        if (!encoded) {
            if (!Put(destination, capacity, length, s, 1))
                break;
            ++s;
            continue;
        }
        s += 2 + kCharsetLength;
        bool full = false;
        while (*s && *s != '?') {
            // A short group ends at '?' or the end; its missing places count
            // as padding.
            int v[4] = {64, 64, 64, 64};
            for (int i = 0; i < 4 && *s && *s != '?'; ++i)
                v[i] = Base64Value(*s++);
            unsigned char out[3];
            size_t count = 0;
            if (v[0] != 64 && v[1] != 64) {
                out[count++] = (unsigned char)(v[0] * 4 + (v[1] / 16) % 4);
                if (v[2] != 64) {
                    out[count++] = (unsigned char)(v[1] * 16 + (v[2] / 4) % 16);
                    if (v[3] != 64)
                        out[count++] = (unsigned char)(v[2] * 64 + v[3]);
                }
            }
            // A decoded NUL would end the line early; drop it.
            size_t kept = 0;
            for (size_t i = 0; i < count; ++i)
                if (out[i])
                    out[kept++] = out[i];
            if (!Put(destination, capacity, length, out, kept)) {
                full = true;
                break;
            }
        }
        if (full || *s == '\0')
            break;
        // *s is '?': "?=" closes the word; a lone '?' ends the text.
        if (s[1] != '=')
            break;
        s += 2;
    }
    destination[length] = '\0';
    return length;
}
