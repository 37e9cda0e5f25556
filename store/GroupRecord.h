// One subscribed group in memory: its file paths, handles and the counters
// persisted in the index header. Lives for one operation.
#pragma once
#include <windows.h>
#include "store/IndexHeader.h"

class ArticleHeader;
class KeywordFilter;

class GroupRecord {
public:
    void Reset();                    // handles invalid, paths and state none
    // Builds dataPath + group + ".idx"/".log"/".flt"; ERROR_NOT_ENOUGH_MEMORY
    // on lack of memory.
    BOOL SetNames(const wchar_t* dataPath, const wchar_t* groupName);
    void Clear();                    // frees state, closes index, zeroes counters
    // ERROR_INVALID_PARAMETER without names, ERROR_INVALID_DATA short or not
    // version 5.
    BOOL ReadHeader();
    // With INVALID_HANDLE_VALUE the index is opened, written, flushed and
    // closed;
    // otherwise `file` is written at offset 0 and left open.
    BOOL WriteHeader(HANDLE file = INVALID_HANDLE_VALUE);
    // Writes the header at offset 0 of the open `file` and flushes it,
    // unless the file holds those very bytes: a pass that changes nothing
    // costs the card no write.
    BOOL StoreHeader(HANDLE file);
    void Release();                  // paths, state, index handle; not the log

    BOOL OpenIndex();                // read/write, not shared, created
    void CloseIndex();
    BOOL OpenLog();                  // read/write, not shared, created
    void CloseLog();
    HANDLE IndexHandle() const { return index_; }
    HANDLE LogHandle() const { return log_; }
    const wchar_t* IndexPath() const { return indexPath_; }
    const wchar_t* LogPath() const { return logPath_; }
    const wchar_t* FilterPath() const { return filterPath_; }

    // Record I/O. `count` in: capacity of `buffer` in records; out: records
    // read (never more than the file or recordCount hold).
    BOOL ReadRecords(DWORD first, IndexRecord* buffer, DWORD* count);
    // index kCurrentPosition writes at the index file's current position.
    BOOL WriteRecord(const IndexRecord& record, DWORD index);
    // Only the flags word of record `index`: a write a cut can tear stays
    // inside one word of one record.
    BOOL WriteFlags(DWORD flags, DWORD index);
    // Appends the record of an article already in the log, at recordCount.
    BOOL AddRecord(DWORD articleStart, DWORD articleEnd, DWORD articleNumber,
                   const ArticleHeader& header, const KeywordFilter& filter);
    // Fills a record as AddRecord does, without writing it or counting it.
    static void FillRecord(IndexRecord* record, DWORD articleStart, DWORD articleEnd,
                           DWORD articleNumber, const ArticleHeader& header,
                           const KeywordFilter& filter);
    void CountAdded(const IndexRecord& record);

    DWORD LastArticle() const { return lastArticle_; }
    void SetLastArticle(DWORD value) { lastArticle_ = value; }
    const wchar_t* StateText() const { return stateText_ ? stateText_ : L""; }
    // Stores a copy; ERROR_NOT_ENOUGH_MEMORY on failure.
    BOOL SetStateText(const wchar_t* text);
    DWORD ServerLast() const { return serverLast_; }
    void SetServerLast(DWORD value) { serverLast_ = value; }
    DWORD ReservedWord() const { return reservedWord_; }
    void SetReservedWord(DWORD value) { reservedWord_ = value; }
    DWORD RecordCount() const { return recordCount_; }
    void SetRecordCount(DWORD value) { recordCount_ = value; }
    DWORD SavedPosition() const { return savedPosition_; }
    void SetSavedPosition(DWORD value) { savedPosition_ = value; }
    DWORD UnreadCount() const { return unreadCount_; }
    void SetUnreadCount(DWORD value) { unreadCount_ = value; }
    DWORD HighCount() const { return highCount_; }
    void SetHighCount(DWORD value) { highCount_ = value; }
    DWORD LowCount() const { return lowCount_; }
    void SetLowCount(DWORD value) { lowCount_ = value; }

    enum { kCurrentPosition = 0xFFFFFFFF };

protected:
    BOOL BuildHeader(IndexHeader* header);

    HANDLE index_;
    HANDLE log_;
    wchar_t* indexPath_;
    wchar_t* logPath_;
    wchar_t* filterPath_;
    DWORD lastArticle_;
    wchar_t* stateText_;
    DWORD serverLast_;
    DWORD reservedWord_;
    DWORD recordCount_;
    DWORD savedPosition_;
    DWORD unreadCount_;
    DWORD highCount_;
    DWORD lowCount_;
};
