// A keyword filter and the priorities of its group's records kept in step
// across a kill or a power cut: a change of filter is marked on the medium
// before it is committed, and the mark goes only once every record has the
// priority the new filter gives it and is on the medium.
#pragma once
#include <windows.h>

class FileRewrite;
class GroupRecord;

// The mark beside the filter: its path with "flt" replaced by "rp~".
BOOL FilterChangeMarkPath(const wchar_t* filterPath, wchar_t* path);
// Marks the change, then commits `file`, the new filter. A failed commit
// leaves the mark: at worst the next start reprioritises in vain.
BOOL CommitFilterChange(FileRewrite* file, const wchar_t* filterPath);
// Reprioritises the group and, with the records on the medium, removes the
// mark. Damaged records (ERROR_INVALID_DATA) or a missing log
// (ERROR_FILE_NOT_FOUND) fail it but still remove the mark.
BOOL ApplyFilterChange(GroupRecord* group);
// At start, for a marked group: finishes the interrupted change. One that
// cannot be finished now keeps its mark for the next start, which it never
// stops.
void FinishFilterChange(GroupRecord* group);
