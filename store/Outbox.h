// The posts of the data folder's draft folder: drafts being written, posts
// queued for the next patrol, and posts the server refused. One file a post,
// "draft\<8 hex digits>.txt" in DraftText form, the article's fields and
// body in Shift_JIS; its state in fields of its own. Every change replaces
// the whole file through its temporary file, so a kill or a power cut
// leaves the old post or the new one; RecoverOutbox settles what a cut
// left before anything reads the folder.
#pragma once
#include <windows.h>
#include "store/StorePath.h"

enum PostState {
    kPostDraft,      // being written; never sent
    kPostQueued,     // sent by the next patrol (its reply field says why one did not)
    kPostSentOnce,   // went out, and no answer came: the next patrol asks first
    kPostRefused,    // the server refused it; not sent again until edited
};

enum { kOutboxMax = 256, kPostReplySize = 512, kPostFileMax = 256 * 1024 };

extern const char kPostStateField[];
extern const char kPostReplyField[];

class Outbox {
public:
    // Puts whole temporary files in place and drops torn or empty ones.
    static BOOL Recover(const wchar_t* dataPath);
    // The ids of the posts, oldest first; at most kOutboxMax.
    static size_t List(const wchar_t* dataPath, DWORD* ids, size_t capacity);
    // The path of post `id` (kStorePathCapacity characters).
    static BOOL PathOf(const wchar_t* dataPath, DWORD id, wchar_t* path);
    // An id no post has, after every one there is.
    static DWORD NewId(const wchar_t* dataPath);

    // The whole file, NUL-terminated, in a new block released with free().
    static char* Load(const wchar_t* path, size_t* length);
    static BOOL Save(const wchar_t* path, const char* text, size_t length);
    static BOOL Delete(const wchar_t* path);

    // The state of a post's text, and the server's reply kept with it
    // (`reply` may be none).
    static PostState StateOf(const char* text, size_t length, char* reply, size_t capacity);
    // Saves the text with its state and reply (none: no reply) set.
    static BOOL SaveState(const wchar_t* path, const char* text, size_t length, PostState state,
                          const char* reply);
    // Saves the post queued: it gets its Message-ID now unless it has one,
    // and keeps it through every later change.
    static BOOL Queue(const wchar_t* path, const char* text, size_t length, const char* address);
    // "<time.count.random@domain>" into `id` (at least 128 bytes).
    static void MakeMessageId(const char* address, char* id, size_t capacity);
};
