#include "text/MimeWords.h"
#include <string.h>
#include "text/Base64.h"
#include "text/Jis.h"
#include "text/MimeFields.h"
#include "text/QuotedPrintable.h"

namespace {

enum { kDecodedSize = 1024, kCharsetNameMax = 40 };

struct EncodedWord {
    MimeCharset charset;
    bool base64;
    const char* text;
    size_t length;
    const char* end;   // just after "?="
};

// The encoded-word at `s` ("=?"), if it is well formed and of a charset we
// read.
bool ParseWord(const char* s, EncodedWord* word)
{
    const char* p = s + 2;
    const char* name = p;
    while (*p && *p != '?' && *p != '*' && (unsigned char)*p > ' ' && *p != 0x7F)
        ++p;
    size_t nameLength = (size_t)(p - name);
    if (*p == '*') {   // a language tag: "*ja"
        while (*p && *p != '?' && (unsigned char)*p > ' ')
            ++p;
    }
    if (*p != '?' || nameLength == 0 || nameLength > kCharsetNameMax)
        return false;
    char encoding = p[1];
    if ((encoding != 'B' && encoding != 'b' && encoding != 'Q' && encoding != 'q') || p[2] != '?')
        return false;
    const char* text = p + 3;
    const char* q = text;
    while (*q && *q != '?' && (unsigned char)*q > ' ' && (unsigned char)*q < 0x7F)
        ++q;
    if (q[0] != '?' || q[1] != '=')
        return false;
    bool base64 = encoding == 'B' || encoding == 'b';
    if (base64) {
        for (const char* c = text; c < q; ++c)
            if (Base64Value((unsigned char)*c) == 64 && *c != '=')
                return false;
    }
    MimeCharset charset = CharsetFromName(name, nameLength);
    if (charset != kCharsetJis && !IsConvertibleCharset(charset))
        return false;
    word->charset = charset;
    word->base64 = base64;
    word->text = text;
    word->length = (size_t)(q - text);
    word->end = q + 2;
    return true;
}

class WordDecoder {
public:
    WordDecoder(MimeCharset rawCharset, char* destination, size_t capacity)
        : raw_(rawCharset), out_(destination), capacity_(capacity), length_(0), decoded_(0),
          charset_(kCharsetNone), full_(false)
    {
    }
    void Raw(const char* text, size_t length);
    void Word(const EncodedWord& word);
    void Flush();
    size_t Finish()
    {
        Flush();
        out_[length_] = '\0';
        return length_;
    }
    bool InRun() const { return charset_ != kCharsetNone; }

private:
    void Convert(MimeCharset charset, const char* text, size_t length);
    void Put(const char* bytes, size_t length);

    MimeCharset raw_;
    char* out_;
    size_t capacity_;
    size_t length_;
    char bytes_[kDecodedSize + 1];   // decoded words of one run
    size_t decoded_;
    MimeCharset charset_;            // of the run; none when there is none
    // Something did not fit: nothing after it may follow, or the text would
    // have a hole instead of being cut short.
    bool full_;
};

// Shift_JIS bytes, as many whole characters as fit.
void WordDecoder::Put(const char* bytes, size_t length)
{
    size_t take = ShiftJisFit(bytes, length, capacity_ - 1 - length_);
    memcpy(out_ + length_, bytes, take);
    length_ += take;
    full_ = take < length;
}

void WordDecoder::Convert(MimeCharset charset, const char* text, size_t length)
{
    if (full_ || length == 0)
        return;
    if (IsConvertibleCharset(charset)) {
        size_t used;
        length_ += ConvertToSjis(charset, text, length, true, out_ + length_, capacity_ - length_, &used);
        full_ = used < length;
        return;
    }
    // JIS (or no charset we read): JisToSjis needs a terminated text and
    // never grows it.
    char jis[kDecodedSize + 1];
    size_t take = length < (size_t)kDecodedSize ? length : (size_t)kDecodedSize;
    memcpy(jis, text, take);
    jis[take] = '\0';
    Put(jis, JisToSjis(jis, jis, sizeof jis));
    full_ = full_ || take < length;
}

void WordDecoder::Raw(const char* text, size_t length)
{
    Flush();
    bool eightBit = false, escape = false;
    for (size_t i = 0; i < length; ++i) {
        eightBit = eightBit || (unsigned char)text[i] >= 0x80;
        escape = escape || text[i] == 0x1B;
    }
    if (!eightBit && !escape) {
        if (!full_)
            Put(text, length);
        return;
    }
    // 7-bit text with escapes is ISO-2022-JP whatever the article says.
    Convert(eightBit && IsConvertibleCharset(raw_) ? raw_ : kCharsetJis, text, length);
}

void WordDecoder::Word(const EncodedWord& word)
{
    if (charset_ != word.charset || decoded_ + word.length > kDecodedSize)
        Flush();
    charset_ = word.charset;
    char* out = bytes_ + decoded_;
    // Neither encoding yields more bytes than it has characters.
    size_t room = kDecodedSize - decoded_;
    size_t take = word.length < room ? word.length : room;
    size_t count;
    if (word.base64) {
        Base64Decoder decoder;
        decoder.Reset();
        count = decoder.Decode(word.text, take, out);
        count += decoder.Flush(out + count);
    } else {
        count = DecodeQuotedPrintable(word.text, take, true, out, NULL);
    }
    // A decoded NUL would end the text early; drop it.
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i)
        if (out[i])
            out[kept++] = out[i];
    decoded_ += kept;
    if (take < word.length) {
        Flush();
        full_ = true;
    }
}

void WordDecoder::Flush()
{
    if (charset_ != kCharsetNone)
        Convert(charset_, bytes_, decoded_);
    charset_ = kCharsetNone;
    decoded_ = 0;
}

}  // namespace

size_t DecodeMimeWords(const char* source, MimeCharset rawCharset, char* destination,
                       size_t capacity)
{
    if (capacity == 0)
        return 0;
    WordDecoder decoder(rawCharset, destination, capacity);
    const char* s = source;
    const char* raw = s;   // start of text not yet written
    while (*s) {
        EncodedWord word;
        if (s[0] == '=' && s[1] == '?' && ParseWord(s, &word)) {
            bool onlyBlanks = true;
            for (const char* c = raw; c < s && onlyBlanks; ++c)
                onlyBlanks = IsHeaderBlank(*c);
            if (!(decoder.InRun() && onlyBlanks))
                decoder.Raw(raw, (size_t)(s - raw));
            decoder.Word(word);
            s = word.end;
            raw = s;
            continue;
        }
        ++s;
    }
    decoder.Raw(raw, (size_t)(s - raw));
    return decoder.Finish();
}
