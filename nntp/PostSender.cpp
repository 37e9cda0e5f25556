#include "nntp/PostSender.h"
#include <stdlib.h>
#include <string.h>
#include "resource.h"
#include "store/Outbox.h"
#include "text/CodePage.h"
#include "text/DraftText.h"
#include "text/MessageCatalog.h"

namespace {

BOOL IsReply(const char* reply, const char* code)
{
    return strncmp(reply, code, 3) == 0;
}

// A 441 that says an earlier attempt already got the article in ("441 435
// Duplicate" from INN).
BOOL IsDuplicate(const char* reply)
{
    if (!IsReply(reply, "441"))
        return FALSE;
    if (strncmp(reply + 3, " 435", 4) == 0)
        return TRUE;
    for (const char* c = reply; *c; ++c)
        if (_strnicmp(c, "duplicate", 9) == 0)
            return TRUE;
    return FALSE;
}

}  // namespace

BOOL PostSender::SendAll(NntpConnection* connection, const wchar_t* dataPath, const Poster& poster,
                         BOOL allowed, const char* greeting, PostTally* tally)
{
    connection_ = connection;
    poster_ = poster;
    tally->posted = tally->refused = 0;
    Outbox::Recover(dataPath);
    DWORD ids[kOutboxMax];
    size_t count = Outbox::List(dataPath, ids, kOutboxMax);
    for (size_t i = 0; i < count; ++i) {
        wchar_t path[kStorePathCapacity];
        size_t length;
        char* text = Outbox::PathOf(dataPath, ids[i], path) ? Outbox::Load(path, &length) : NULL;
        if (!text)
            continue;
        PostState state = Outbox::StateOf(text, length, NULL, 0);
        BOOL alive = TRUE;
        if (state == kPostQueued || state == kPostSentOnce) {
            if (allowed)
                alive = SendOne(path, text, length, tally);
            else
                Outbox::SaveState(path, text, length, state, greeting);
        }
        free(text);
        if (!alive)
            return FALSE;
    }
    return TRUE;
}

BOOL PostSender::Read()
{
    return connection_->ReadLine(reply_, sizeof reply_, FALSE);
}

// STAT of the post's Message-ID, its answer in reply_; FALSE when the
// connection broke.
BOOL PostSender::AskAlready(const char* text, size_t length)
{
    const char* id = "";
    size_t idLength = 0;
    if (!DraftField(text, length, "Message-ID", &id, &idLength) || idLength + 6 > kCommandTextMax)
        idLength = 0;
    memcpy(line_, "STAT ", 5);
    memcpy(line_ + 5, id, idLength);
    line_[5 + idLength] = 0;
    return connection_->SendLine(line_) && Read();
}

BOOL PostSender::SendOne(const wchar_t* path, char* text, size_t length, PostTally* tally)
{
    PostFault fault;
    if (!CheckPost(text, length, poster_, &fault)) {
        // Changed where it cannot be checked (another editor) or the poster
        // settings lack the address: kept as it is until edited.
        const wchar_t* why = MessageCatalog::Load(fault.kind == kPostNoAddress ? IDS_POST_NO_ADDRESS
                                                                                : IDS_POST_UNENCODABLE);
        char* reason = ToMultiByte(why ? why : L"");
        Outbox::SaveState(path, text, length, Outbox::StateOf(text, length, NULL, 0), reason ? reason : "");
        free(reason);
        return TRUE;
    }
    if (Outbox::StateOf(text, length, NULL, 0) == kPostSentOnce) {
        if (!AskAlready(text, length))
            return FALSE;
        if (IsReply(reply_, "223")) {
            Outbox::Delete(path);
            ++tally->posted;
            return TRUE;
        }
        // Only "no such article" makes a second POST safe.
        if (!IsReply(reply_, "430")) {
            Outbox::SaveState(path, text, length, kPostSentOnce, reply_);
            return TRUE;
        }
    }
    // Marked before POST goes out: whatever happens after, the next patrol
    // asks before it sends again.
    if (!Outbox::SaveState(path, text, length, kPostSentOnce, NULL))
        return TRUE;
    if (!connection_->SendLine("POST") || !Read())
        return FALSE;
    if (!IsReply(reply_, "340")) {
        // Not sent (440: no posting here): queued again with the reason.
        Outbox::SaveState(path, text, length, kPostQueued, reply_);
        return TRUE;
    }
    if (!SendArticle(text, length) || !Read())
        return FALSE;
    if (IsReply(reply_, "240") || IsDuplicate(reply_)) {
        if (!Outbox::Delete(path))
            Outbox::SaveState(path, text, length, kPostSentOnce, reply_);
        ++tally->posted;
    } else if (IsReply(reply_, "441")) {
        Outbox::SaveState(path, text, length, kPostRefused, reply_);
        ++tally->refused;
    } else {
        // An answer that says neither: the server may have it.
        Outbox::SaveState(path, text, length, kPostSentOnce, reply_);
    }
    return TRUE;
}

// The composed lines in sends of at most a command line's size.
BOOL PostSender::SendArticle(const char* text, size_t length)
{
    PostComposer composer;
    composer.Begin(text, length, poster_);
    DWORD used = 0;
    for (;;) {
        size_t got = composer.Next(line_);
        if (got == (size_t)-1) {   // checked before: cannot happen
            SetLastError(ERROR_INVALID_DATA);
            return FALSE;
        }
        if ((got == 0 || used + got > sizeof batch_) && used) {
            if (!connection_->SendLines(batch_, used))
                return FALSE;
            used = 0;
        }
        if (got == 0)
            return TRUE;
        memcpy(batch_ + used, line_, got);
        used += (DWORD)got;
    }
}
