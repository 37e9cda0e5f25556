// The groups of a pipelined patrol, asked for at once before the first
// GROUP: LIST ACTIVE with the group names as patterns (several commands,
// each under the command limit, in one send) gives every group's numbers,
// so a group with nothing new needs no GROUP, and the commands of the
// groups after the one being read can go out before its replies are read.
#pragma once
#include <windows.h>

class GroupCursor;
class GroupRecord;
class NntpConnection;

// One number of a server's reply. Besides what ParseNumber refuses, a
// missing number (the reply ended) and one beyond 32 bits count as
// malformed: read as 0 or wrapped they would move the group's numbers
// backwards or across the whole number range.
BOOL ParseReplyNumber(const char** cursor, DWORD* value);
// The first article a pass asks for, from the device's last article and the
// server's first and last.
DWORD FirstToFetch(DWORD lastArticle, DWORD first, DWORD last);

struct PlannedGroup {
    char* name;          // for commands; none: the group is not planned
    DWORD lastArticle;   // the device's, when the plan was made
    DWORD first, last;   // the server's, once listed or selected
    DWORD from;          // the first article asked for
    BOOL listed;         // LIST ACTIVE gave its numbers
    BOOL known;          // first, last and from are set
    BOOL groupSent;      // its GROUP went out before its turn
    DWORD sentEnd;       // the commands of its articles before this went out
};

enum PlanResult { kPlanReady, kPlanNone, kPlanBroken };

class GroupPlan {
public:
    void Init()
    {
        groups_ = NULL;
        count_ = 0;
    }
    void Destroy();
    // Every row of `cursor` (the group headers read through `record`), then
    // the LIST ACTIVE exchange. None: a server that refuses it, fewer than
    // two groups, or no memory: the pass goes one group at a time. Broken:
    // the connection failed, with its error.
    PlanResult Build(NntpConnection* connection, GroupCursor* cursor, GroupRecord* record,
                     const wchar_t* dataPath);
    // The row's group, none past the rows.
    PlannedGroup* At(DWORD row) { return row < count_ ? &groups_[row] : NULL; }

private:
    BOOL Collect(GroupCursor* cursor, GroupRecord* record, const wchar_t* dataPath);
    BOOL SendLists(NntpConnection* connection, DWORD* commands);
    PlanResult ReadList(NntpConnection* connection, BOOL* refused);
    void TakeLine(const char* line);

    PlannedGroup* groups_;
    DWORD count_;
    char line_[1024];
};
