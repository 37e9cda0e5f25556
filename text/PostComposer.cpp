#include "text/PostComposer.h"
#include <string.h>
#include "text/DraftText.h"
#include "text/JisEncoder.h"

namespace {

enum Step {
    kFrom, kNewsgroups, kSubject, kMessageId, kReferences, kOrganization, kMimeVersion,
    kContentType, kEncoding, kUserAgent, kEmptyLine, kBody, kEnd, kDone
};

const char kReferencesName[] = "References: ";
const char kSpecials[] = "()<>@,;:\\\".[]";

bool IsAscii(const char* text, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if ((unsigned char)text[i] >= 0x80 || (unsigned char)text[i] < 0x20)
            return false;
    return true;
}

size_t Append(char* line, size_t at, const char* text, size_t length)
{
    if (at + length >= kComposedLineSize)
        return (size_t)-1;
    memcpy(line + at, text, length);
    line[at + length] = 0;
    return at + length;
}

size_t AppendText(char* line, size_t at, const char* text)
{
    return at == (size_t)-1 ? at : Append(line, at, text, strlen(text));
}

// Whether each physical line of a folded field fits the wire.
bool FitsWire(const char* line, size_t length)
{
    size_t start = 0;
    for (size_t i = 0; i + 1 < length; ++i)
        if (line[i] == '\r' && line[i + 1] == '\n') {
            if (i - start > kWireLineMax)
                return false;
            start = i + 2;
        }
    return length - start <= kWireLineMax;
}

// Identifier bounds in `text`: each "<...>" with what lies between them.
size_t NextIdentifier(const char* text, size_t length, size_t at, size_t* end)
{
    while (at < length && text[at] != '<')
        ++at;
    size_t close = at;
    while (close < length && text[close] != '>')
        ++close;
    *end = close < length ? close + 1 : close;
    return at;
}

}  // namespace

void PostComposer::Begin(const char* draft, size_t length, const Poster& poster)
{
    draft_ = draft;
    length_ = length;
    poster_ = poster;
    step_ = kFrom;
    at_ = DraftBodyStart(draft, length);
    bodyLine_ = 0;
    memset(&fault_, 0, sizeof fault_);
}

size_t PostComposer::Fail(PostFaultKind kind, const char* field)
{
    fault_.kind = kind;
    fault_.field = field;
    return (size_t)-1;
}

size_t PostComposer::Next(char* line)
{
    while (step_ < kBody) {
        size_t length = Field(line);
        ++step_;
        if (length != 0)
            return length;
    }
    if (step_ == kBody) {
        if (at_ < length_)
            return BodyLine(line);
        step_ = kEnd;
    }
    if (step_ == kEnd) {
        step_ = kDone;
        return Append(line, 0, ".\r\n", 3);
    }
    return 0;
}

// One header field with its CR LF; 0 for one the post goes without.
size_t PostComposer::Field(char* line)
{
    const char* value = NULL;
    size_t valueLength = 0;
    size_t length = 0;
    JisFault jis;
    switch (step_) {
    case kFrom: {
        const char* address = poster_.address;
        if (!address || !address[0] || !IsAscii(address, strlen(address)) || strchr(address, '<'))
            return Fail(kPostNoAddress, "From");
        length = AppendText(line, 0, "From: ");
        const char* name = poster_.name;
        size_t nameLength = name ? strlen(name) : 0;
        if (nameLength && IsAscii(name, nameLength) && strpbrk(name, kSpecials)) {
            length = AppendText(line, length, "\"");
            for (size_t i = 0; i < nameLength && length != (size_t)-1; ++i) {
                if (name[i] == '"' || name[i] == '\\')
                    length = Append(line, length, "\\", 1);
                length = length == (size_t)-1 ? length : Append(line, length, name + i, 1);
            }
            length = AppendText(line, length, "\" <");
        } else if (nameLength) {
            size_t encoded = EncodeHeaderText(name, nameLength, line + length, kComposedLineSize - length, &jis);
            if (encoded == (size_t)-1) {
                memcpy(fault_.character, jis.character, sizeof jis.character);
                return Fail(jis.character[0] ? kPostBadCharacter : kPostLongLine, "From");
            }
            length = AppendText(line, length + encoded, " <");
        }
        length = AppendText(line, length, address);
        if (nameLength)
            length = AppendText(line, length, ">");
        break;
    }
    case kNewsgroups:
        if (!DraftField(draft_, length_, "Newsgroups", &value, &valueLength) || !valueLength ||
            !IsAscii(value, valueLength))
            return Fail(kPostNoGroup, "Newsgroups");
        length = AppendText(line, 0, "Newsgroups: ");
        length = length == (size_t)-1 ? length : Append(line, length, value, valueLength);
        break;
    case kSubject:
    case kOrganization: {
        const char* name = step_ == kSubject ? "Subject" : "Organization";
        if (step_ == kSubject) {
            DraftField(draft_, length_, name, &value, &valueLength);
        } else if (poster_.organization) {
            value = poster_.organization;
            valueLength = strlen(value);
        }
        if (step_ == kOrganization && !valueLength)
            return 0;
        length = AppendText(line, 0, name);
        length = AppendText(line, length, ": ");
        size_t encoded = EncodeHeaderText(value ? value : "", valueLength, line + length,
                                          kComposedLineSize - length, &jis);
        if (encoded == (size_t)-1) {
            memcpy(fault_.character, jis.character, sizeof jis.character);
            return Fail(jis.character[0] ? kPostBadCharacter : kPostLongLine, name);
        }
        length += encoded;
        break;
    }
    case kMessageId:
        if (!DraftField(draft_, length_, "Message-ID", &value, &valueLength) || valueLength < 3 ||
            !IsAscii(value, valueLength))
            return Fail(kPostNoMessageId, "Message-ID");
        length = AppendText(line, 0, "Message-ID: ");
        length = length == (size_t)-1 ? length : Append(line, length, value, valueLength);
        break;
    case kReferences:
        if (!DraftField(draft_, length_, "References", &value, &valueLength) || !valueLength)
            return 0;
        if (!IsAscii(value, valueLength))
            return Fail(kPostBadCharacter, "References");
        length = AppendText(line, 0, kReferencesName);
        length += TrimReferences(value, valueLength, line + length, kComposedLineSize - length);
        break;
    case kMimeVersion:
        length = AppendText(line, 0, "MIME-Version: 1.0");
        break;
    case kContentType:
        length = AppendText(line, 0, "Content-Type: text/plain; charset=ISO-2022-JP");
        break;
    case kEncoding:
        length = AppendText(line, 0, "Content-Transfer-Encoding: 7bit");
        break;
    case kUserAgent:
        length = AppendText(line, 0, "User-Agent: " PELORA_USER_AGENT);
        break;
    case kEmptyLine:
        return Append(line, 0, "\r\n", 2);
    }
    if (length == (size_t)-1 || !FitsWire(line, length))
        return Fail(kPostLongLine, step_ == kFrom ? "From" : step_ == kSubject ? "Subject" : "Newsgroups");
    return Append(line, length, "\r\n", 2);
}

size_t PostComposer::BodyLine(char* line)
{
    size_t next;
    size_t length = DraftLine(draft_, length_, at_, &next);
    ++bodyLine_;
    fault_.line = bodyLine_;
    JisFault jis;
    size_t written = SjisToJis(draft_ + at_, length, line + 1, kWireLineMax + 2, &jis);
    if (written == (size_t)-1) {
        memcpy(fault_.character, jis.character, sizeof jis.character);
        return Fail(jis.character[0] ? kPostBadCharacter : kPostLongLine, NULL);
    }
    at_ = next;
    size_t start = line[1] == '.' ? 0 : 1;   // a leading dot is doubled
    if (start == 0)
        line[0] = '.';
    if (written + 1 - start > kWireLineMax)
        return Fail(kPostLongLine, NULL);
    if (start)
        memmove(line, line + 1, written);
    written += 1 - start;
    return Append(line, written, "\r\n", 2);
}

bool CheckPost(const char* draft, size_t length, const Poster& poster, PostFault* fault)
{
    PostComposer composer;
    composer.Begin(draft, length, poster);
    char line[kComposedLineSize];
    size_t got;
    while ((got = composer.Next(line)) != 0 && got != (size_t)-1) {
    }
    *fault = composer.Fault();
    return got == 0;
}

size_t TrimReferences(const char* references, size_t length, char* destination, size_t capacity)
{
    enum { kMaxIds = 512 };
    size_t starts[kMaxIds], ends[kMaxIds];
    size_t count = 0;
    for (size_t at = 0, end; count < kMaxIds && (at = NextIdentifier(references, length, at, &end)) < length; at = end) {
        starts[count] = at;
        ends[count++] = end;
    }
    size_t room = kWireLineMax - (sizeof kReferencesName - 1);
    if (room + 1 > capacity)
        room = capacity - 1;
    // Drop from the second on while the rest is too long: the oldest
    // ancestors go first, the first and the nearest stay.
    size_t total = 0;
    for (size_t i = 0; i < count; ++i)
        total += (ends[i] - starts[i]) + (i ? 1 : 0);
    size_t dropFrom = 1, dropped = 0;
    while (total > room && count - dropped > 1) {
        size_t victim = dropFrom + dropped;
        if (victim >= count)
            break;
        total -= (ends[victim] - starts[victim]) + 1;
        ++dropped;
    }
    size_t written = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i >= dropFrom && i < dropFrom + dropped)
            continue;
        size_t idLength = ends[i] - starts[i];
        if (written + idLength + (written ? 1 : 0) > room)
            break;
        if (written)
            destination[written++] = ' ';
        memcpy(destination + written, references + starts[i], idLength);
        written += idLength;
    }
    destination[written] = 0;
    return written;
}
