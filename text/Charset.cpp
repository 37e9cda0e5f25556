#include "text/Charset.h"
#include <windows.h>
#include <string.h>
#include "text/Jis.h"

namespace {

const unsigned char kGeta[2] = {0x81, 0xAC};   // "〓"
const UINT kShiftJisCodePage = 932;
const size_t kWideChunk = 128;

struct CharsetName {
    const char* name;
    MimeCharset charset;
};

const CharsetName kCharsetNames[] = {
    {"iso-2022-jp", kCharsetJis},   {"utf-8", kCharsetUtf8},       {"utf8", kCharsetUtf8},
    {"shift_jis", kCharsetShiftJis}, {"shift-jis", kCharsetShiftJis}, {"x-sjis", kCharsetShiftJis},
    {"cp932", kCharsetShiftJis},    {"windows-31j", kCharsetShiftJis}, {"euc-jp", kCharsetEucJp},
    {"x-euc-jp", kCharsetEucJp},    {"us-ascii", kCharsetAscii},   {"iso-8859-1", kCharsetLatin1},
};

// Where the converted bytes go; Room keeps the place of the NUL.
struct Sink {
    unsigned char* out;
    size_t capacity;
    size_t length;
    bool Room(size_t count) const { return length + count < capacity; }
    void Put(unsigned char b) { out[length++] = b; }
    void Geta()
    {
        out[length++] = kGeta[0];
        out[length++] = kGeta[1];
    }
    // How many double-byte characters still fit.
    size_t PairsLeft() const { return (capacity - 1 - length) / 2; }
    // Copies the ASCII bytes from s[*i] on; false when one did not fit.
    bool Ascii(const unsigned char* s, size_t end, size_t* i)
    {
        for (; *i < end && s[*i] < 0x80; ++*i) {
            if (!Room(1))
                return false;
            Put(s[*i]);
        }
        return true;
    }
};

bool IsSjisTrail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// The forms Japanese readers expect where converters disagree, and what
// code page 932 writes for characters common in Japanese text that it lacks.
// A byte-order mark stands for nothing and is dropped.
const wchar_t kDropped = 0xFEFF;
wchar_t JapaneseForm(wchar_t c)
{
    switch (c) {
    case 0x301C: return 0xFF5E;   // wave dash
    case 0x2016: return 0x2225;   // double vertical line
    case 0x2212: return 0xFF0D;   // minus sign
    case 0x00A2: return 0xFFE0;   // cent
    case 0x00A3: return 0xFFE1;   // pound
    case 0x00AC: return 0xFFE2;   // not sign
    case 0x2014: return 0x2015;   // em dash: 932 has the horizontal bar
    case 0x00A5: return 0xFFE5;   // yen sign
    case 0x203E: return 0xFFE3;   // overline
    case 0x00A0: return 0x0020;   // no-break space
    default: return c;
    }
}

// Bytes that code page 932 may hand out for characters it only pretends to
// have; none of them is Shift_JIS text.
bool IsStrayByte(unsigned char b) { return b == 0x80 || b == 0xA0 || b >= 0xFD; }

// One character into the sink (room for two bytes): its Shift_JIS code when
// the system's code survives the way back, else "〓". The device knows no
// flag that forbids a best fit ("e" for "é"), so the way back tells.
void CharToSjis(wchar_t c, Sink& sink)
{
    char bytes[2];
    wchar_t back = 0;
    int length = WideCharToMultiByte(kShiftJisCodePage, 0, &c, 1, bytes, 2, NULL, NULL);
    if (length > 0 && MultiByteToWideChar(kShiftJisCodePage, 0, bytes, length, &back, 1) == 1 &&
        back == c && !(length == 1 && IsStrayByte((unsigned char)bytes[0]))) {
        for (int i = 0; i < length; ++i)
            sink.Put((unsigned char)bytes[i]);
    } else {
        sink.Geta();
    }
}

// `count` wide characters into the sink, which has room for two bytes each.
// A whole run goes through the system there and back at once; only when
// the two sides do not pair up character by character is each converted
// alone.
void WideToSjis(wchar_t* wide, size_t count, Sink& sink)
{
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        wchar_t c = JapaneseForm(wide[i]);
        if (c != kDropped)
            wide[kept++] = c;
    }
    count = kept;
    if (count == 0)
        return;
    char bytes[2 * kWideChunk];
    wchar_t back[kWideChunk];
    int written = WideCharToMultiByte(kShiftJisCodePage, 0, wide, (int)count, bytes, (int)sizeof bytes, NULL, NULL);
    int returned = written > 0 ? MultiByteToWideChar(kShiftJisCodePage, 0, bytes, written, back, (int)kWideChunk) : 0;
    if (returned != (int)count) {
        for (size_t i = 0; i < count; ++i)
            CharToSjis(wide[i], sink);
        return;
    }
    int at = 0;
    for (size_t i = 0; i < count; ++i) {
        int length = at + 1 < written && IsShiftJisLead((unsigned char)bytes[at]) ? 2 : 1;
        if (at < written && back[i] == wide[i] && !(length == 1 && IsStrayByte((unsigned char)bytes[at]))) {
            for (int b = 0; b < length; ++b)
                sink.Put((unsigned char)bytes[at + b]);
        } else {
            sink.Geta();
        }
        at += length;
    }
}

// Whether a Shift_JIS pair is a character of code page 932. The system gives
// a pair it lacks the same mark as 0x85 0x40, from a row that holds none;
// only the mark's own code turns that mark back into itself.
bool IsCodePagePair(unsigned char b1, unsigned char b2)
{
    const char pair[2] = {(char)b1, (char)b2}, empty[2] = {(char)0x85, 0x40};
    wchar_t c, mark;
    if (MultiByteToWideChar(kShiftJisCodePage, 0, pair, 2, &c, 1) != 1)
        return false;
    if (MultiByteToWideChar(kShiftJisCodePage, 0, empty, 2, &mark, 1) != 1 || c != mark)
        return true;
    char back[2];
    return WideCharToMultiByte(kShiftJisCodePage, 0, &c, 1, back, 2, NULL, NULL) == 2 && back[0] == pair[0] &&
           back[1] == pair[1];
}

enum SequenceState { kValid, kIncomplete, kInvalid };

// The UTF-8 sequence at `s` (`available` bytes): its state and length (for
// an invalid one, the bytes that make up one "〓").
SequenceState Utf8Sequence(const unsigned char* s, size_t available, size_t* length)
{
    unsigned char b = s[0];
    size_t need;
    unsigned char low = 0x80, high = 0xBF;
    if (b < 0x80) {
        *length = 1;
        return kValid;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        need = 2;
    } else if (b == 0xE0) {
        need = 3;
        low = 0xA0;
    } else if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) {
        need = 3;
    } else if (b == 0xED) {
        need = 3;
        high = 0x9F;   // no surrogates
    } else if (b == 0xF0) {
        need = 4;
        low = 0x90;
    } else if (b >= 0xF1 && b <= 0xF3) {
        need = 4;
    } else if (b == 0xF4) {
        need = 4;
        high = 0x8F;
    } else {
        *length = 1;
        return kInvalid;
    }
    for (size_t i = 1; i < need; ++i) {
        if (i >= available) {
            *length = i;
            return kIncomplete;
        }
        unsigned char c = s[i];
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) {
            *length = i;
            return kInvalid;
        }
    }
    *length = need;
    return kValid;
}

size_t Utf8ToSjis(const unsigned char* s, size_t length, bool final, Sink& sink)
{
    wchar_t wide[kWideChunk];
    size_t i = 0;
    while (i < length) {
        if (!sink.Ascii(s, length, &i) || i == length)
            break;
        // A run of characters below U+10000 goes through the system at once.
        size_t room = sink.PairsLeft();
        size_t most = room < kWideChunk ? room : kWideChunk;
        size_t start = i, count = 0, step = 0;
        SequenceState state = kValid;
        while (i < length && count < most) {
            state = Utf8Sequence(s + i, length - i, &step);
            if (state != kValid || step == 4)
                break;
            i += step;
            ++count;
        }
        if (count) {
            int got = MultiByteToWideChar(CP_UTF8, 0, (const char*)s + start, (int)(i - start), wide,
                                          (int)kWideChunk);
            WideToSjis(wide, got > 0 ? (size_t)got : 0, sink);
            continue;
        }
        if (most == 0)
            break;
        // An invalid sequence, a character beyond U+FFFF (no Shift_JIS code
        // has one), or the unfinished end of the source.
        state = Utf8Sequence(s + i, length - i, &step);
        if (state == kIncomplete && !final)
            break;
        sink.Geta();
        i += step;
    }
    return i;
}

size_t Latin1ToSjis(const unsigned char* s, size_t length, Sink& sink)
{
    wchar_t wide[kWideChunk];
    size_t i = 0;
    while (i < length) {
        if (!sink.Ascii(s, length, &i) || i == length)
            break;
        size_t room = sink.PairsLeft();
        size_t count = 0;
        while (i < length && s[i] >= 0x80 && count < room && count < kWideChunk)
            wide[count++] = s[i++];
        if (!count)
            break;
        WideToSjis(wide, count, sink);
    }
    return i;
}

size_t AsciiToSjis(const unsigned char* s, size_t length, Sink& sink)
{
    size_t i = 0;
    for (; i < length; ++i) {
        if (s[i] < 0x80) {
            if (!sink.Room(1))
                break;
            sink.Put(s[i]);
        } else {
            if (!sink.Room(2))
                break;
            sink.Geta();
        }
    }
    return i;
}

// Shift_JIS as it comes, but every byte that is no part of a character
// becomes "〓".
size_t CheckSjis(const unsigned char* s, size_t length, bool final, Sink& sink)
{
    size_t i = 0;
    while (i < length) {
        unsigned char b = s[i];
        if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) {
            if (!sink.Room(1))
                break;
            sink.Put(b);
            ++i;
            continue;
        }
        if (!sink.Room(2))
            break;
        if (IsShiftJisLead(b) && i + 1 >= length && !final)
            break;
        if (IsShiftJisLead(b) && i + 1 < length && IsSjisTrail(s[i + 1])) {
            sink.Put(b);
            sink.Put(s[i + 1]);
            i += 2;
        } else {
            sink.Geta();
            ++i;
        }
    }
    return i;
}

size_t EucToSjis(const unsigned char* s, size_t length, bool final, Sink& sink)
{
    size_t i = 0;
    while (i < length) {
        if (!sink.Ascii(s, length, &i) || i == length)
            break;
        unsigned char b = s[i];
        if (!sink.Room(2))
            break;
        size_t need = b == 0x8F ? 3 : 2;
        if ((b == 0x8E || b == 0x8F || IsEucByte(b)) && i + need > length && !final)
            break;
        if (b == 0x8E && i + 1 < length && s[i + 1] >= 0xA1 && s[i + 1] <= 0xDF) {
            sink.Put(s[i + 1]);   // half-width katakana
            i += 2;
        } else if (b == 0x8F && i + 2 < length && IsEucByte(s[i + 1]) && IsEucByte(s[i + 2])) {
            sink.Geta();          // JIS X 0212: not in Shift_JIS
            i += 3;
        } else if (IsEucByte(b) && i + 1 < length && IsEucByte(s[i + 1])) {
            unsigned char b1 = b & 0x7F, b2 = s[i + 1] & 0x7F;
            JisPairToSjis(b1, b2);
            if (IsCodePagePair(b1, b2)) {
                sink.Put(b1);
                sink.Put(b2);
            } else {
                sink.Geta();   // a user-defined row or an empty cell
            }
            i += 2;
        } else {
            sink.Geta();
            ++i;
        }
    }
    return i;
}

}  // namespace

MimeCharset CharsetFromName(const char* name, size_t length)
{
    if (length == 0)
        return kCharsetNone;
    for (const CharsetName& known : kCharsetNames) {
        if (strlen(known.name) == length && _strnicmp(known.name, name, length) == 0)
            return known.charset;
    }
    return kCharsetUnknown;
}

bool IsValidUtf8(const char* text, size_t length)
{
    const unsigned char* s = (const unsigned char*)text;
    size_t step;
    for (size_t i = 0; i < length; i += step) {
        if (Utf8Sequence(s + i, length - i, &step) != kValid)
            return false;
    }
    return true;
}

bool IsConvertibleCharset(MimeCharset charset)
{
    return charset == kCharsetUtf8 || charset == kCharsetShiftJis || charset == kCharsetEucJp ||
           charset == kCharsetAscii || charset == kCharsetLatin1;
}

size_t ConvertToSjis(MimeCharset charset, const char* source, size_t length, bool final,
                     char* destination, size_t capacity, size_t* consumed)
{
    *consumed = 0;
    if (capacity == 0)
        return 0;
    Sink sink = {(unsigned char*)destination, capacity, 0};
    const unsigned char* s = (const unsigned char*)source;
    size_t used;
    switch (charset) {
    case kCharsetUtf8: used = Utf8ToSjis(s, length, final, sink); break;
    case kCharsetShiftJis: used = CheckSjis(s, length, final, sink); break;
    case kCharsetEucJp: used = EucToSjis(s, length, final, sink); break;
    case kCharsetAscii: used = AsciiToSjis(s, length, sink); break;
    case kCharsetLatin1: used = Latin1ToSjis(s, length, sink); break;
    default:
        used = length < capacity - 1 ? length : capacity - 1;
        memcpy(destination, source, used);
        sink.length = used;
        break;
    }
    destination[sink.length] = '\0';
    *consumed = used;
    return sink.length;
}

size_t ShiftJisFit(const char* bytes, size_t length, size_t room)
{
    size_t fit = 0;
    while (fit < length) {
        size_t step = IsShiftJisLead((unsigned char)bytes[fit]) && fit + 1 < length ? 2 : 1;
        if (fit + step > room)
            break;
        fit += step;
    }
    return fit;
}
