// The model behind the subject view: which of a group's articles are listed
// and in which order (high priority first, then normal, then low, each in
// arrival order; read ones only on request), with one window of index
// records, as many as fit on the screen, read from the index as the view
// scrolls. Marks go straight to the record in the index file.
#pragma once
#include <windows.h>
#include "store/GroupRecord.h"
#include "store/ThreadOrder.h"

// Which priorities are listed (PriorityViewLevel).
enum {
    kLevelNormalAndHigh = 0,
    kLevelAll = 1,
    kLevelHighOnly = 2
};

class SubjectList : public GroupRecord {
public:
    SubjectList();
    ~SubjectList();
    void Construct();   // nothing open, nothing allocated
    void Destroy();     // frees the window, the order list and the paths

    // Names the group and reads its header; a group still open is closed
    // first.
    BOOL Open(const wchar_t* dataPath, const wchar_t* groupName);
    // Builds the order list, makes a window of `pageSize` records and fills
    // it from the first entry. A failed read keeps what was listed so far.
    BOOL Load(DWORD pageSize);
    // Fills the window from order-list position `top`.
    BOOL LoadWindow(DWORD top);
    // Change the flags of the window's record at `row` and write it back;
    // kRecordRead in the mask keeps unreadCount in step.
    BOOL SetFlags(DWORD row, DWORD mask);
    BOOL ClearFlags(DWORD row, DWORD mask);
    // Stores top + selection as savedPosition and writes the header, once
    // per open.
    BOOL Close();

    // Byte lengths, over the loaded records.
    DWORD WidestSender() const;
    DWORD WidestSubject() const;
    // The selected entry's whole subject from the log as a new wide string
    // (free() it), or none.
    wchar_t* SelectedSubjectText();
    // The selected entry's record, none when nothing is loaded.
    const IndexRecord* SelectedRecord() const;
    // The window's record at `row`, none past the loaded ones.
    const IndexRecord* Record(DWORD row) const;
    // The index position of the window's record at `row`; 0xFFFFFFFF past
    // the loaded ones.
    DWORD RecordNumber(DWORD row) const;

    DWORD PageSize() const { return pageSize_; }
    DWORD VisibleCount() const { return visibleCount_; }
    DWORD LoadedCount() const { return loadedCount_; }
    DWORD Top() const { return top_; }
    DWORD Selection() const { return selection_; }
    // Kept below the loaded count (0 when nothing is loaded).
    void SetSelection(DWORD row);
    BOOL ShowRead() const { return showRead_; }
    void SetShowRead(BOOL showRead) { showRead_ = showRead ? TRUE : FALSE; }
    DWORD PriorityLevel() const { return priorityLevel_; }
    void SetPriorityLevel(DWORD level) { priorityLevel_ = level; }
    BOOL IsOpen() const { return open_; }

    // Thread order instead of the flat one, from the next load on. When the
    // threads cannot be had the list stays flat.
    void SetThreaded(BOOL threaded) { threaded_ = threaded ? TRUE : FALSE; }
    BOOL Threaded() const { return threaded_; }
    // Whether the loaded list is in thread order.
    BOOL InThreadOrder() const { return threads_.Active(); }
    // The row's listed ancestors, and whether its subject repeats its
    // parent's; 0 and FALSE in the flat order.
    DWORD RowDepth(DWORD row) const;
    BOOL RowRepeatsSubject(DWORD row) const;
    // Marks every article of the row's thread read, one record write each;
    // unreadCount follows.
    BOOL MarkThreadRead(DWORD row);
    // Bytes held for the order: the order list and the thread links.
    DWORD HeldBytesPerArticle() const;

private:
    BOOL IsListed(const IndexRecord& record) const;
    void FreeList();
    BOOL ChangeFlags(DWORD row, DWORD mask, BOOL set);
    BOOL RepairFlags(IndexRecord* record, DWORD index);

    DWORD pageSize_;
    DWORD visibleCount_;
    DWORD loadedCount_;
    DWORD top_;
    IndexRecord* window_;
    DWORD* order_;
    BOOL open_;
    BOOL showRead_;
    DWORD priorityLevel_;
    DWORD selection_;
    BOOL threaded_;
    ThreadOrder threads_;
};
