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

// One file as the card holds it: what was flushed (or was there before the
// run), then the writes made since its last flush, in order.
struct CardFile {
    int ordinal;
    std::string flushed;
    std::vector<std::pair<DWORD, std::string>> pending;   // offset, bytes

    // `keep` bytes of the pending writes reached the card; the sector at the
    // cut holds garbage where it was being written, or with `sector` the
    // whole of it (the card rewrites whole sectors): of a write inside the
    // flushed bytes, those flushed before it in the sector too. An append
    // spares what was flushed: a tear there takes bytes no file format
    // without padding can keep.
    std::string Image(size_t keep, bool sector) const
    {
        std::string image = flushed;
        size_t cut = 0, reach = 0, spared = 0;
        bool torn = false;
        for (size_t i = 0; keep > 0 && i < pending.size(); ++i) {
            DWORD offset = pending[i].first;
            std::string bytes = pending[i].second;
            if (keep < bytes.size()) {
                torn = true;
                cut = offset + keep;
                spared = offset >= flushed.size() ? flushed.size() : 0;
                reach = offset + bytes.size();
                DWORD sector = (offset + (DWORD)keep) / kSector * kSector;
                size_t from = sector > offset ? sector - offset : 0;
                size_t to = std::min(bytes.size(), (size_t)(sector + kSector - offset));
                bytes = bytes.substr(0, from) + std::string(to - from, (char)0xE7);
            }
            keep -= std::min(keep, pending[i].second.size());
            if (image.size() < offset + bytes.size())
                image.resize(offset + bytes.size(), '\0');
            image.replace(offset, bytes.size(), bytes);
        }
        if (sector && torn) {
            size_t start = std::max(cut / kSector * kSector, spared);
            size_t end = std::min(start + kSector, std::max(image.size(), reach));
            if (image.size() < end)
                image.resize(end, '\0');
            for (size_t at = start; at < end; ++at)
                image[at] = (char)0xE7;
        }
        return image;
    }
    size_t PendingBytes() const
    {
        size_t total = 0;
        for (const auto& write : pending)
            total += write.second.size();
        return total;
    }
};

struct Card {
    std::vector<std::unique_ptr<CardFile>> files;
    std::map<std::wstring, CardFile*> names;   // what the card's folder lists
    std::map<std::wstring, bool> touched;      // every name the run used
    std::map<HANDLE, CardFile*> handles;

    // A name the run has not used yet holds on the card what it holds now.
    CardFile*& Name(const wchar_t* path)
    {
        std::wstring key = path;
        std::transform(key.begin(), key.end(), key.begin(), towlower);
        if (!touched[key]) {
            touched[key] = true;
            if (FileExists(key)) {
                files.emplace_back(new CardFile{(int)files.size(), ReadBytes(key), {}});
                names[key] = files.back().get();
            }
        }
        return names[key];
    }
    void Record(const FileOpCall& call)
    {
        CardFile* file = call.file && call.kind != kFileOpOpened ? handles[call.file] : NULL;
        DWORD position = call.file ? SetFilePointer(call.file, 0, NULL, FILE_CURRENT) : 0;
        switch (call.kind) {
        case kFileOpCreate:
            Name(call.path);
            break;
        case kFileOpOpened: {
            CardFile*& named = Name(call.path);
            if (!named) {
                files.emplace_back(new CardFile{(int)files.size(), "", {}});
                named = files.back().get();
            } else if (call.disposition == CREATE_ALWAYS || call.disposition == TRUNCATE_EXISTING) {
                named->flushed.clear();
                named->pending.clear();
            }
            handles[call.file] = named;
            break;
        }
        case kFileOpWrite:
            file->pending.push_back({position, std::string((const char*)call.data, call.length)});
            break;
        case kFileOpFlush:
            file->flushed = file->Image(file->PendingBytes(), false);
            file->pending.clear();
            break;
        case kFileOpSetEnd:
            file->flushed.resize(position, '\0');
            for (auto& write : file->pending)
                write.second.resize(write.first < position ? std::min<size_t>(write.second.size(), position - write.first) : 0);
            break;
        case kFileOpDelete:
            Name(call.path) = NULL;
            break;
        case kFileOpMove: {
            CardFile* moved = Name(call.path);
            Name(call.path) = NULL;
            Name(call.target) = moved;
            break;
        }
        default:
            break;
        }
    }
    // Every name the run used as the card holds it after a cut now;
    // `variant` picks how much of each file's unflushed writes got there.
    void Restore(int variant, bool sector)
    {
        for (const auto& name : touched) {
            const CardFile* file = names[name.first];
            if (!file) {
                DeleteFileW(name.first.c_str());
                continue;
            }
            size_t pending = file->PendingBytes();
            size_t keep[3] = {0, pending ? pending - 1 : 0, pending / 2};
            EXPECT_TRUE(WriteBytes(name.first, file->Image(keep[(variant + file->ordinal) % 3], sector)));
        }
    }
};

int g_allowed;
int g_calls;
bool g_fired;
Card* g_card;

BOOL CountCall(const FileOpCall& call, void*)
{
    // A look-up changes nothing: stopping there is stopping before the next
    // change.
    bool counted = call.kind != kFileOpOpened && call.kind != kFileOpProbe;
    if (counted && g_calls++ >= g_allowed) {
        g_fired = true;
        return FALSE;
    }
    if (g_card)
        g_card->Record(call);
    return TRUE;
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
        // Once the operation ends, the cut comes after it: what it left
        // unflushed is lost or torn, in each of three ways.
        for (int variant = 0; variant < (stopped ? 1 : 3); ++variant) {
            for (bool sector : {false, true}) {
                prepare();
                Card card;
                RunStopping(k, &card, operation);
                card.Restore(k + variant, sector);
                SCOPED_TRACE(std::string(stopped ? "power cut" : "power cut after the end")
                             + (sector ? ", sector torn" : ""));
                check(k);
            }
        }
        if (!stopped)
            return k;
    }
    return limit;
}
