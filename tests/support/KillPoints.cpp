#include "support/KillPoints.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "store/FileOps.h"
#include "support/StoreFiles.h"

namespace {

enum { kSector = 512 };
const char kGarbage = (char)0xE7;

// One file as the card holds it: what was flushed (or was there before),
// and the writes made since its last flush, in order.
struct CardFile {
    int ordinal;
    std::string flushed;
    struct Write {
        DWORD offset;
        std::string bytes;
    };
    std::vector<Write> pending;

    // What survives when `keep` bytes of the pending writes reached the
    // card; the sector at the cut holds garbage where it was written.
    std::string Image(size_t keep) const
    {
        std::string image = flushed;
        if (keep == 0)
            return image;
        for (const Write& write : pending) {
            size_t length = write.bytes.size();
            size_t whole = std::min(keep, length);
            std::string bytes = write.bytes.substr(0, whole);
            if (whole < length) {
                DWORD cut = write.offset + (DWORD)whole;
                DWORD sector = cut - cut % kSector;
                size_t from = sector > write.offset ? sector - write.offset : 0;
                size_t to = std::min(length, (size_t)(sector + kSector - write.offset));
                bytes = write.bytes.substr(0, from) + std::string(to - from, kGarbage);
            }
            if (image.size() < write.offset + bytes.size())
                image.resize(write.offset + bytes.size(), '\0');
            image.replace(write.offset, bytes.size(), bytes);
            if (whole < length)
                break;
            keep -= whole;
        }
        return image;
    }
    size_t PendingBytes() const
    {
        size_t total = 0;
        for (const Write& write : pending)
            total += write.bytes.size();
        return total;
    }
};

struct Card {
    std::vector<std::unique_ptr<CardFile>> files;
    std::map<std::wstring, CardFile*> names;     // what the card's folders list
    std::map<std::wstring, bool> touched;        // every name seen
    std::map<std::wstring, bool> folders;        // not files: left alone
    std::map<HANDLE, CardFile*> handles;
    // A delete or rename told before it was made: checked at the next call.
    FileOpKind lastKind;
    std::wstring lastPath, lastTarget;
    CardFile* lastFile;

    static std::wstring Key(const wchar_t* path)
    {
        std::wstring key = path;
        std::transform(key.begin(), key.end(), key.begin(), towlower);
        return key;
    }
    // The name as the card holds it before this run touched it: what the
    // real file holds now.
    CardFile* Lookup(const wchar_t* path)
    {
        std::wstring key = Key(path);
        if (!touched[key]) {
            touched[key] = true;
            DWORD attributes = GetFileAttributesW(path);
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                folders[key] = true;
            } else if (attributes != INVALID_FILE_ATTRIBUTES) {
                std::string bytes = ReadBytes(path, "\1unreadable");
                if (bytes == "\1unreadable")
                    ADD_FAILURE() << "cannot read a file before the run changes it";
                files.emplace_back(new CardFile{(int)files.size(), bytes, {}});
                names[key] = files.back().get();
            }
        }
        auto found = names.find(key);
        return found == names.end() ? NULL : found->second;
    }
    // Undoes the last delete or rename when the real one failed.
    void Settle()
    {
        if (lastKind == kFileOpDelete && GetFileAttributesW(lastPath.c_str()) != INVALID_FILE_ATTRIBUTES)
            names[Key(lastPath.c_str())] = lastFile;
        if (lastKind == kFileOpMove && GetFileAttributesW(lastPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
            names[Key(lastPath.c_str())] = lastFile;
            names.erase(Key(lastTarget.c_str()));
        }
        lastKind = kFileOpProbe;
    }
    static DWORD Position(HANDLE file)
    {
        return SetFilePointer(file, 0, NULL, FILE_CURRENT);
    }
    void Record(const FileOpCall& call)
    {
        Settle();
        CardFile* file = NULL;
        if (call.file && call.kind != kFileOpOpened) {
            auto found = handles.find(call.file);
            if (found == handles.end()) {
                ADD_FAILURE() << "a write through a handle the file layer did not open";
                return;
            }
            file = found->second;
        }
        switch (call.kind) {
        case kFileOpCreate:
            Lookup(call.path);
            break;
        case kFileOpOpened:
            file = Lookup(call.path);
            if (!file) {
                files.emplace_back(new CardFile{(int)files.size(), "", {}});
                file = names[Key(call.path)] = files.back().get();
            } else if (call.disposition == CREATE_ALWAYS || call.disposition == TRUNCATE_EXISTING) {
                file->flushed.clear();
                file->pending.clear();
            }
            handles[call.file] = file;
            break;
        case kFileOpWrite:
            file->pending.push_back({Position(call.file), std::string((const char*)call.data, call.length)});
            break;
        case kFileOpFlush:
            file->flushed = file->Image(file->PendingBytes());
            file->pending.clear();
            break;
        case kFileOpSetEnd: {
            DWORD size = Position(call.file);
            file->flushed.resize(size, '\0');
            for (CardFile::Write& write : file->pending) {
                if (write.offset >= size)
                    write.bytes.clear();
                else if (write.offset + write.bytes.size() > size)
                    write.bytes.resize(size - write.offset);
            }
            break;
        }
        case kFileOpDelete:
            lastFile = Lookup(call.path);
            names.erase(Key(call.path));
            lastKind = call.kind;
            lastPath = call.path;
            break;
        case kFileOpMove:
            Lookup(call.target);
            lastFile = Lookup(call.path);
            if (lastFile) {
                names[Key(call.target)] = lastFile;
                names.erase(Key(call.path));
            }
            lastKind = call.kind;
            lastPath = call.path;
            lastTarget = call.target;
            break;
        case kFileOpProbe:
            break;
        }
    }
    // Puts every name this run touched back to what the card holds after a
    // cut at this instant; `variant` picks how much of each file's
    // unflushed writes survived.
    void Restore(int variant)
    {
        Settle();
        for (const auto& name : touched) {
            if (folders.count(name.first))
                continue;
            auto found = names.find(name.first);
            if (found == names.end()) {
                DeleteFileW(name.first.c_str());
                continue;
            }
            const CardFile* file = found->second;
            size_t pending = file->PendingBytes();
            size_t keep[3] = {0, pending ? pending - 1 : 0, pending / 2};
            EXPECT_TRUE(WriteBytes(name.first, file->Image(keep[(variant + file->ordinal) % 3])));
        }
    }
};

int g_allowed;
int g_calls;
bool g_fired;
Card* g_card;

BOOL CountCall(const FileOpCall& call, void*)
{
    // A look-up changes nothing: stopping there is stopping before the
    // next change.
    if (call.kind == kFileOpOpened || call.kind == kFileOpProbe) {
        if (g_card)
            g_card->Record(call);
        return TRUE;
    }
    if (g_calls++ < g_allowed) {
        if (g_card)
            g_card->Record(call);
        return TRUE;
    }
    g_fired = true;
    return FALSE;
}

bool RunStopping(int k, Card* card, const std::function<void()>& operation)
{
    g_allowed = k;
    g_calls = 0;
    g_fired = false;
    g_card = card;
    SetFileOpHook(CountCall, NULL);
    operation();
    SetFileOpHook(NULL, NULL);
    g_card = NULL;
    return g_fired;
}

}  // namespace

int ForEachKillPoint(const std::function<void()>& prepare, const std::function<void()>& operation,
                     const std::function<void(int)>& check, int limit)
{
    for (int k = 0; k < limit; ++k) {
        prepare();
        bool stopped = RunStopping(k, NULL, operation);
        {
            SCOPED_TRACE("killed");
            check(k);
        }
        if (!stopped)
            return k;
        prepare();
        Card card;
        card.lastKind = kFileOpProbe;
        card.lastFile = NULL;
        RunStopping(k, &card, operation);
        card.Restore(k);
        SCOPED_TRACE("power cut");
        check(k);
    }
    return limit;
}
