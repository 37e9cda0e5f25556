#include "text/MimeFields.h"
#include <string.h>

namespace {

const char kTypeField[] = "Content-Type:";
const char kEncodingField[] = "Content-Transfer-Encoding:";

bool StartsWith(const char* text, size_t length, const char* prefix)
{
    size_t n = strlen(prefix);
    return length >= n && _strnicmp(text, prefix, n) == 0;
}

bool Equals(const char* text, size_t length, const char* word)
{
    return strlen(word) == length && _strnicmp(text, word, length) == 0;
}

// The token or quoted string at `*p`, up to ";"; `*p` moves past it.
size_t ReadValue(const char** p, char* value, size_t capacity)
{
    const char* s = *p;
    size_t length = 0;
    if (*s == '"') {
        ++s;
        while (*s && *s != '"') {
            if (*s == '\\' && s[1])
                ++s;
            if (length + 1 < capacity)
                value[length++] = *s;
            ++s;
        }
        if (*s == '"')
            ++s;
    } else {
        while (*s && *s != ';' && !IsHeaderBlank(*s)) {
            if (length + 1 < capacity)
                value[length++] = *s;
            ++s;
        }
    }
    value[length] = '\0';
    *p = s;
    return length;
}

// The text with each comment ("(...)", nested, "\" escaping) outside quoted
// strings made a blank: "utf-8(Japanese)" names utf-8.
void BlankComments(char* text)
{
    bool quoted = false;
    int depth = 0;
    for (char* p = text; *p; ++p) {
        if (*p == '\\' && p[1] && (quoted || depth)) {
            if (depth)
                p[0] = p[1] = ' ';
            ++p;
        } else if (depth) {
            depth += *p == '(' ? 1 : *p == ')' ? -1 : 0;
            *p = ' ';
        } else if (*p == '"') {
            quoted = !quoted;
        } else if (*p == '(' && !quoted) {
            depth = 1;
            *p = ' ';
        }
    }
}

// The charset an RFC 2231 value names: "utf-8''" or "us-ascii'en'utf-8".
MimeCharset ExtendedCharset(const char* value, size_t length)
{
    const char* first = (const char*)memchr(value, '\'', length);
    const char* second = first ? (const char*)memchr(first + 1, '\'', length - (size_t)(first + 1 - value)) : NULL;
    if (!second)
        return CharsetFromName(value, length);
    size_t rest = length - (size_t)(second + 1 - value);
    return rest ? CharsetFromName(second + 1, rest) : CharsetFromName(value, (size_t)(first - value));
}

}  // namespace

void MimeFields::Reset()
{
    current_ = kFieldOther;
    typeLength_ = 0;
    type_[0] = '\0';
    encodingLength_ = 0;
    encodingText_[0] = '\0';
    kind_ = kMimeNoType;
    charset_ = kCharsetNone;
    encoding_ = kEncodingNone;
    boundary_[0] = '\0';
}

void MimeFields::Append(const char* text)
{
    char* buffer = current_ == kFieldType ? type_ : encodingText_;
    size_t& length = current_ == kFieldType ? typeLength_ : encodingLength_;
    size_t capacity = current_ == kFieldType ? sizeof type_ : sizeof encodingText_;
    if (length && length + 1 < capacity)
        buffer[length++] = ' ';   // the fold
    while (*text && length + 1 < capacity)
        buffer[length++] = *text++;
    buffer[length] = '\0';
}

void MimeFields::AddLine(const char* line)
{
    if (IsHeaderBlank(line[0])) {
        if (current_ != kFieldOther)
            Append(line);
        return;
    }
    size_t length = strlen(line);
    if (StartsWith(line, length, kTypeField)) {
        current_ = kFieldType;
        typeLength_ = 0;   // a repeated field: the last one counts
        Append(line + strlen(kTypeField));
    } else if (StartsWith(line, length, kEncodingField)) {
        current_ = kFieldEncoding;
        encodingLength_ = 0;
        Append(line + strlen(kEncodingField));
    } else {
        current_ = kFieldOther;
    }
}

void MimeFields::Parse()
{
    BlankComments(type_);
    const char* p = type_;
    while (IsHeaderBlank(*p))
        ++p;
    const char* type = p;
    while (*p && *p != ';' && !IsHeaderBlank(*p))
        ++p;
    size_t typeLength = (size_t)(p - type);
    if (typeLength == 0)
        kind_ = kMimeNoType;
    else if (StartsWith(type, typeLength, "text/"))
        kind_ = kMimeText;
    else if (StartsWith(type, typeLength, "multipart/"))
        kind_ = kMimeMultipart;
    else
        kind_ = kMimeOther;

    charset_ = kCharsetNone;
    boundary_[0] = '\0';
    while (*p) {
        while (*p && *p != ';')
            ++p;
        if (!*p)
            break;
        ++p;
        while (IsHeaderBlank(*p))
            ++p;
        const char* name = p;
        while (*p && *p != '=' && *p != ';' && !IsHeaderBlank(*p))
            ++p;
        size_t nameLength = (size_t)(p - name);
        while (IsHeaderBlank(*p))
            ++p;
        if (*p != '=')
            continue;
        ++p;
        while (IsHeaderBlank(*p))
            ++p;
        char value[kBoundaryMax + 2];
        size_t valueLength = ReadValue(&p, value, sizeof value);
        if (Equals(name, nameLength, "charset"))
            charset_ = valueLength ? CharsetFromName(value, valueLength) : kCharsetNone;
        else if (Equals(name, nameLength, "charset*"))
            charset_ = valueLength ? ExtendedCharset(value, valueLength) : kCharsetNone;
        else if (Equals(name, nameLength, "boundary") && valueLength <= kBoundaryMax)
            memcpy(boundary_, value, valueLength + 1);
    }

    p = encodingText_;
    while (IsHeaderBlank(*p))
        ++p;
    const char* end = p;
    while (*end && !IsHeaderBlank(*end) && *end != ';' && *end != '(')
        ++end;
    size_t length = (size_t)(end - p);
    if (length == 0 || Equals(p, length, "7bit") || Equals(p, length, "8bit") || Equals(p, length, "binary"))
        encoding_ = kEncodingNone;
    else if (Equals(p, length, "quoted-printable"))
        encoding_ = kEncodingQuotedPrintable;
    else if (Equals(p, length, "base64"))
        encoding_ = kEncodingBase64;
    else
        encoding_ = kEncodingUnknown;
}
