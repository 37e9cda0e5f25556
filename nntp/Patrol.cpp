#include "nntp/Sockets.h"   // before windows.h on the host
#include "nntp/Patrol.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <new>
#include "text/MessageCatalog.h"
#include "nntp/CompressLayer.h"
#include "nntp/GroupPlan.h"
#include "nntp/LinePieces.h"
#include "nntp/LongHeaderLine.h"
#include "nntp/NntpConnection.h"
#include "nntp/PostSender.h"
#include "nntp/SecureStart.h"
#include "resource.h"
#include "store/ArticleHeader.h"
#include "store/ArticleLog.h"
#include "store/ArticleWriter.h"
#include "store/FileOps.h"
#include "store/GroupRecord.h"
#include "store/ThreadFile.h"
#include "text/ArticleConverter.h"
#include "text/Charset.h"
#include "text/CodePage.h"
#include "text/LastErrorKeeper.h"
#include "text/SecretMemory.h"

namespace {

enum {
    kLineSize = 1024,
    // Pipelining: articles whose HEAD and BODY go out in one send, when at
    // most that many are in flight, so the server never waits for the next
    // command. Articles in flight at most: their commands (under 1 KB) fit
    // any socket's send buffer, so a send never waits for the server to
    // read. Up to that, one more goes out whenever every byte that arrived
    // has been read: a server that holds each small write until the last is
    // acknowledged (Nagle) gets our acknowledgement with it, not after our
    // delayed-ACK timer.
    kBatch = 8,
    kWindow = 24,
    kArticleCommandsSize = 40,   // "HEAD n" CR LF "BODY n" CR LF
    kGroupCommandSize = 8,       // "GROUP " and CR LF around the name
};

// Unavailable: the server has no such article, which is skipped. Refused:
// any other refusal, which stops the group before that article, so the next
// pass asks for it again.
enum FetchResult { kFetched, kUnavailable, kRefused, kFailed };

const char* const kKeptHeaderFields[] = {
    "From:", "Subject:", "Newsgroups:", "Date:", "Message-ID:", "References:",
};

const wchar_t kCaptionSocketError[] = L"Socket Error";
const wchar_t kCaptionSocketErrorUpper[] = L"Socket ERROR";

BOOL IsKeptField(const char* line)
{
    for (size_t i = 0; i < sizeof kKeptHeaderFields / sizeof kKeptHeaderFields[0]; ++i) {
        const char* field = kKeptHeaderFields[i];
        if (strncmp(line, field, strlen(field)) == 0)
            return TRUE;
    }
    return FALSE;
}

// Removes the line's end (its LF and a CR just before it); the reader only
// ends a line at an LF.
void CutLineEnd(char* line)
{
    size_t length = strlen(line);
    if (length && line[length - 1] == '\n')
        line[--length] = 0;
    if (length && line[length - 1] == '\r')
        line[--length] = 0;
}

// The replies that say the server has no such article (420, 423, 430).
BOOL IsNoSuchArticle(const char* reply)
{
    static const char* const kCodes[] = {"420", "423", "430"};
    if (reply[3] >= '0' && reply[3] <= '9')
        return FALSE;
    for (size_t i = 0; i < sizeof kCodes / sizeof kCodes[0]; ++i) {
        if (strncmp(reply, kCodes[i], 3) == 0)
            return TRUE;
    }
    return FALSE;
}

// Gives `line` (capacity kLineSize) exactly one CR LF at its end. The text
// is cut, never inside a double-byte character, so that the CR LF fits:
// the store relies on every stored line ending so.
void EndLine(char* line)
{
    size_t length = strlen(line);
    if (length > kLineSize - 3)
        length = ShiftJisFit(line, length, kLineSize - 3);
    line[length] = '\r';
    line[length + 1] = '\n';
    line[length + 2] = 0;
}

// Decoded encoded-words may carry CR or LF; inside a stored header they
// would start lines of their own (a false "X-Local-Seq:", an early end of
// the header, a separator), so they become blanks.
void BlankLineBreaks(char* text)
{
    for (; *text; ++text) {
        if (*text == '\r' || *text == '\n')
            *text = ' ';
    }
}

// The reply line as wide text without its CR LF; "??" when it cannot be
// converted. Owned by the caller (free()).
wchar_t* ReplyText(const char* reply)
{
    char line[kLineSize];
    strncpy(line, reply, kLineSize - 1);
    line[kLineSize - 1] = 0;
    CutLineEnd(line);
    return ToWide(line);
}

// The converted lines of an article, made whole for the store and handed to
// the article writer. The header block goes to the log once, before the
// first body line, since the converter may hold header lines until then.
class WriterLines : public ConvertedLines {
public:
    explicit WriterLines(ArticleWriter* writer) : writer_(writer), headerWritten_(FALSE), headerFailed_(FALSE) {}
    void BeginArticle()
    {
        headerWritten_ = FALSE;
        headerFailed_ = FALSE;
    }
    BOOL WriteHeader()
    {
        if (headerWritten_)
            return TRUE;
        headerWritten_ = TRUE;
        headerFailed_ = !writer_->WriteHeader();
        return !headerFailed_;
    }
    BOOL HeaderFailed() const { return headerFailed_; }
    BOOL HeaderLine(char* line, BOOL continuation) override
    {
        BlankLineBreaks(line);
        EndLine(line);
        return continuation ? writer_->AddContinuationLine(line) : writer_->AddHeaderLine(line);
    }
    BOOL BodyLine(char* line) override
    {
        EndLine(line);
        return WriteHeader() && writer_->WriteBodyLine(line);
    }

private:
    ArticleWriter* writer_;
    BOOL headerWritten_;
    BOOL headerFailed_;
};

class Patrol {
public:
    explicit Patrol(DownloadJob* job)
        : job_(job), result_(job->result), groupName_(NULL), lines_(&writer_),
          pipelined_(job->pipelining != 0), nextToSend_(1), sendUpTo_(0), sendFailed_(FALSE), sendError_(0),
          broken_(FALSE), brokenError_(0), headRefused_(FALSE), planned_(FALSE), readRow_(0), sendRow_(0),
          sendGroupLine_(FALSE), sentPairs_(0), donePairs_(0), mayPost_(FALSE)
    {
        greeting_[0] = 0;
        converter_.Construct(job->convertMime);
        secure_.Init(job->security, job->tlsFingerprint);
        plan_.Init();
    }
    ~Patrol() { plan_.Destroy(); }
    void Run();

private:
    void PlanGroups();
    void FetchGroup(DWORD row, const wchar_t* groupName);
    BOOL Select(PlannedGroup* plan, DWORD lastArticle, DWORD* count, DWORD* first, DWORD* last);
    BOOL SelectGroup(PlannedGroup* plan, DWORD* count, DWORD* first, DWORD* last);
    void FetchRange(DWORD first, DWORD last, DWORD* newLast);
    FetchResult FetchArticle(DWORD number);
    FetchResult FetchHeader(DWORD number);
    FetchResult FetchBody(DWORD number);
    FetchResult SendArticleCommand(const char* command, DWORD number);
    BOOL ReadStatus();
    void SendAhead();
    DWORD SentEnd(DWORD row);
    void DropReply(BOOL block = TRUE);
    void DropArticles(DWORD row, DWORD from);
    void DropSent(DWORD number, BOOL bodySent);
    void DropAhead();
    BOOL MeetBreak(const wchar_t* caption);
    BOOL Authenticate();
    BOOL Compress();
    BOOL NoteGreeting();
    BOOL SendPosts();
    void RollBack(DWORD logSize, DWORD indexSize);

    void Fatal(const wchar_t* caption, UINT id);
    void FailWithCode(const wchar_t* caption, UINT id, DWORD status = StatusFatal);
    void FailWithReply(const wchar_t* caption, const char* reply);
    void FailWithMessageCaption(UINT captionId, const char* reply);
    void GroupMessage(UINT id, const char* reply, DWORD status);

    DownloadJob* job_;
    DownloadResult* result_;
    NntpConnection connection_;
    CompressLayer compress_;
    SecureChannel secure_;
    const wchar_t* groupName_;
    GroupRecord group_;
    ArticleWriter writer_;
    ArticleConverter converter_;
    WriterLines lines_;
    LinePieces pieces_;
    LongHeaderLine headerLine_;
    char line_[kLineSize];
    // Pipelining: the commands of every article of the sending row before
    // nextToSend_ are on the wire. A failed send is reported when the pass reaches the first
    // article it did not carry, as the one-at-a-time pass reports it.
    BOOL pipelined_;
    DWORD nextToSend_;
    DWORD sendUpTo_;   // the last article whose commands may go out now
    BOOL sendFailed_;
    DWORD sendError_;
    // The connection broke while a reply the one-at-a-time pass never asks
    // for was read; the break is reported where that pass would meet it.
    BOOL broken_;
    DWORD brokenError_;
    BOOL headRefused_;   // the last article refused was refused its HEAD
    // Pipelined with a plan, the commands of the rows after the one being
    // read (readRow_) may go out before its replies are read: sendRow_ is
    // the row whose commands go out now, nextToSend_ and sendUpTo_ are its.
    GroupPlan plan_;
    BOOL planned_;
    DWORD readRow_;
    DWORD sendRow_;
    BOOL sendGroupLine_;   // the GROUP of sendRow_ goes out first
    DWORD sentPairs_;      // articles whose commands went out
    DWORD donePairs_;      // articles whose replies were read
    char greeting_[kLineSize];
    BOOL mayPost_;
};

// Message `id` as it stands.
void Patrol::Fatal(const wchar_t* caption, UINT id)
{
    const wchar_t* text = MessageCatalog::Load(id);
    SetDownloadResult(result_, caption, text ? text : L"", StatusFatal);
}

// Message `id` with the last error as its "%d".
void Patrol::FailWithCode(const wchar_t* caption, UINT id, DWORD status)
{
    SetDownloadResult(result_, caption, FormatErrorMessage(id), status);
}

void Patrol::FailWithReply(const wchar_t* caption, const char* reply)
{
    wchar_t* text = ToWide(reply);
    SetDownloadResult(result_, caption, text ? text : L"??", StatusFatal);
    free(text);
}

void Patrol::FailWithMessageCaption(UINT captionId, const char* reply)
{
    wchar_t caption[kResultTextCapacity];
    const wchar_t* loaded = MessageCatalog::Load(captionId);
    wcsncpy(caption, loaded ? loaded : kCaptionPelora, kResultTextCapacity - 1);
    caption[kResultTextCapacity - 1] = 0;
    FailWithReply(caption, reply);
}

// Message `id` ("... : %s") with the server's reply, captioned by the group.
void Patrol::GroupMessage(UINT id, const char* reply, DWORD status)
{
    wchar_t* replyText = ReplyText(reply);
    const wchar_t* format = MessageCatalog::Load(id);
    wchar_t text[kResultTextCapacity];
    _snwprintf(text, kResultTextCapacity - 1, format ? format : L"%s",
               replyText ? replyText : L"??");
    text[kResultTextCapacity - 1] = 0;
    free(replyText);
    SetDownloadResult(result_, groupName_, text, status);
}

void Patrol::Run()
{
    SetDownloadResult(result_, L"", L"", StatusOk);
    char* server = ToMultiByte(job_->server);
    if (!server) {
        Fatal(kCaptionPelora, IDS_OUT_OF_MEMORY);
        return;
    }
    wchar_t failure[kResultTextCapacity];
    if (!connection_.Connect(server, job_->port)) {
        Fatal(job_->server, IDS_SERVER_CONNECT_FAILED);
    } else if (!GreetSecurely(&connection_, server, &secure_, line_, kLineSize, failure, kResultTextCapacity)) {
        if (failure[0])
            SetDownloadResult(result_, job_->server, failure, StatusFatal);
        else
            Fatal(job_->server, IDS_SERVER_NO_REPLY);
    } else if (line_[0] != '2') {
        FailWithMessageCaption(IDS_CONNECTION_REFUSED, line_);
    } else if (NoteGreeting() && Authenticate() && Compress() && SendPosts()) {
        GroupCursor* cursor = job_->cursor;
        PlanGroups();
        cursor->Reset();
        for (DWORD row = 0; const wchar_t* name = cursor->Next(); ++row) {
            if (name[0]) {   // a row without a name has no files to fetch into
                result_->status = StatusOk;
                FetchGroup(row, name);
                if (result_->status == StatusFatal)
                    break;
            }
            cursor->Advance();
        }
    }
    free(server);
    if (connection_.HasSocket()) {
        connection_.SendLine("QUIT");   // its reply is not read
        connection_.Close();
    }
    compress_.Destroy();
    secure_.Release();
}

// Pipelined, every group's numbers are asked for at once; a server that
// refuses leaves the pass one group at a time.
void Patrol::PlanGroups()
{
    if (!pipelined_)
        return;
    PlanResult plan = plan_.Build(&connection_, job_->cursor, &group_, job_->dataPath);
    planned_ = plan == kPlanReady;
    if (plan == kPlanBroken) {
        broken_ = TRUE;
        brokenError_ = GetLastError();
    }
}

// A greeting of 201 forbids posting, unless the login that follows allows it.
BOOL Patrol::NoteGreeting()
{
    strncpy(greeting_, line_, sizeof greeting_ - 1);
    greeting_[sizeof greeting_ - 1] = 0;
    mayPost_ = strncmp(line_, "201", 3) != 0 || (job_->userId && job_->password);
    return TRUE;
}

BOOL Patrol::SendPosts()
{
    PostSender* sender = new (std::nothrow) PostSender;
    if (!sender) {
        Fatal(kCaptionPelora, IDS_OUT_OF_MEMORY);
        return FALSE;
    }
    PostTally tally = {0, 0};
    BOOL alive = sender->SendAll(&connection_, job_->dataPath, job_->poster, mayPost_, greeting_, &tally);
    if (!alive)
        FailWithCode(kCaptionSocketError, IDS_RECEIVE_FAILED);
    delete sender;
    job_->posted = tally.posted;
    job_->refused = tally.refused;
    return alive;
}

BOOL Patrol::Compress()
{
    if (!job_->compress)
        return TRUE;
    CompressionStart start = StartCompression(&connection_, &compress_, pipelined_, line_, kLineSize);
    if (start == kCompressionSendFailed)
        FailWithCode(kCaptionSocketError, IDS_SEND_FAILED);
    else if (start == kCompressionReceiveFailed)
        FailWithCode(kCaptionSocketError, IDS_RECEIVE_FAILED);
    return start == kCompressionReady;
}

BOOL Patrol::Authenticate()
{
    if (!job_->userId || !job_->password)
        return TRUE;
    char command[kCommandLineSize];
    if (!JoinCommand(command, "authinfo user ", job_->userId) || !connection_.SendLine(command)) {
        FailWithCode(kCaptionPelora, IDS_SEND_FAILED);
        return FALSE;
    }
    if (!connection_.ReadLine(line_, kLineSize, FALSE)) {
        FailWithCode(kCaptionPelora, IDS_RECEIVE_FAILED);
        return FALSE;
    }
    if (line_[0] != '3') {
        wchar_t text[kResultTextCapacity];
        if (DescribeEncryptionRequired(line_, text, kResultTextCapacity))
            SetDownloadResult(result_, job_->server, text, StatusFatal);
        else
            FailWithMessageCaption(IDS_BAD_USER_NAME, line_);
        return FALSE;
    }
    BOOL sent = JoinCommand(command, "authinfo pass ", job_->password) && connection_.SendLine(command);
    ClearSecret(command, sizeof command);
    if (!sent) {
        FailWithCode(kCaptionSocketError, IDS_SEND_FAILED);
        return FALSE;
    }
    if (!connection_.ReadLine(line_, kLineSize, FALSE)) {
        FailWithCode(kCaptionSocketError, IDS_RECEIVE_FAILED);
        return FALSE;
    }
    if (line_[0] != '2') {
        FailWithMessageCaption(IDS_BAD_PASSWORD, line_);
        return FALSE;
    }
    return TRUE;
}

void Patrol::FetchGroup(DWORD row, const wchar_t* groupName)
{
    groupName_ = groupName;
    readRow_ = row;
    if (!planned_ || sendRow_ < row) {
        // The commands sent so far were all for the rows before.
        sendRow_ = row;
        nextToSend_ = 1;
        sendUpTo_ = 0;
        sendGroupLine_ = FALSE;
    }
    PlannedGroup* plan = planned_ ? plan_.At(row) : NULL;
    group_.Reset();
    if (!group_.SetNames(job_->dataPath, groupName) || !group_.ReadHeader()) {
        FailWithCode(groupName, IDS_INDEX_INIT_FAILED);
        group_.Release();
        return;
    }
    DWORD lastArticle = group_.LastArticle();
    DWORD newLast = lastArticle;
    DWORD count = 0, first = 0, last = group_.ServerLast();
    if (Select(plan, lastArticle, &count, &first, &last)) {
        DWORD from = FirstToFetch(lastArticle, first, last);
        DWORD countBefore = group_.RecordCount();

        if (!group_.OpenLog()) {
            FailWithCode(groupName, IDS_FILE_OPEN_FAILED);
        } else if (!group_.OpenIndex()) {
            FailWithCode(groupName, IDS_INDEX_OPEN_FAILED);
        } else if (!TakeInLogTail(&group_, TRUE)) {
            // What an interrupted pass left is settled before anything is added.
            FailWithCode(groupName, IDS_LOG_WRITE_FAILED);
        } else {
            // What the files held before this group; a fatal failure puts
            // them back, so log, index and header keep agreeing and the
            // articles are fetched again by the next pass.
            DWORD logSize = GetFileSize(group_.LogHandle(), NULL);
            DWORD indexSize = GetFileSize(group_.IndexHandle(), NULL);
            if (from > last) {
                const wchar_t* text = MessageCatalog::Load(IDS_NO_NEW_ARTICLES);
                SetDownloadResult(result_, L"", text ? text : L"", StatusOk);
                newLast = last;
            } else if (!MarkAppendStart(&group_)) {
                FailWithCode(groupName, IDS_INDEX_WRITE_FAILED);
            } else {
                FetchRange(from, last, &newLast);
            }
            if (result_->status != StatusFatal) {
                group_.SetLastArticle(newLast);
                group_.SetServerLast(last);
                // The articles reach the medium before the header counts them;
                // with nothing fetched there is nothing to flush before it.
                BOOL appended = from <= last;
                if (!group_.SetStateText(result_->text) || !DropAppendMark(&group_) ||
                    (appended && (!FileFlush(group_.LogHandle()) || !FileFlush(group_.IndexHandle()))) ||
                    !group_.StoreHeader(group_.IndexHandle()))
                    FailWithCode(groupName, IDS_INDEX_WRITE_FAILED);
            }
            if (result_->status == StatusFatal)
                RollBack(logSize, indexSize);
        }
        group_.CloseIndex();
        group_.CloseLog();
        // Derived data: a failure, like a thread file that was stale before
        // a pass that added nothing, is left to the next opening.
        if (result_->status != StatusFatal && group_.RecordCount() != countBefore)
            UpdateThreadFile(&group_);
    } else if (result_->status == StatusSkipped) {
        // The refusal becomes the group's state; its numbers stay as they were.
        if (!group_.SetStateText(result_->text) || !group_.WriteHeader())
            FailWithCode(groupName, IDS_INDEX_WRITE_FAILED);
    }
    group_.Release();
    group_.CloseLog();
}

void Patrol::RollBack(DWORD logSize, DWORD indexSize)
{
    LastErrorKeeper keep;
    if (logSize != INVALID_FILE_SIZE)
        FileTruncate(group_.LogHandle(), logSize);
    if (indexSize != INVALID_FILE_SIZE)
        FileTruncate(group_.IndexHandle(), indexSize);
}

// The group's numbers: from the plan for a group with nothing new, else
// from its GROUP. Numbers that disagree with the plan end the plan: what was
// sent ahead is dropped and the group is selected again.
BOOL Patrol::Select(PlannedGroup* plan, DWORD lastArticle, DWORD* count, DWORD* first, DWORD* last)
{
    if (plan && plan->listed && plan->from > plan->last && plan->lastArticle == lastArticle) {
        if (MeetBreak(kCaptionSocketErrorUpper))
            return FALSE;
        *count = 0;
        *first = plan->first;
        *last = plan->last;
        return TRUE;
    }
    BOOL selected = SelectGroup(plan, count, first, last);
    if (!plan || !plan->listed || (selected && *last == plan->last && lastArticle == plan->lastArticle &&
                                   FirstToFetch(lastArticle, *first, *last) == plan->from)) {
        if (selected && plan) {
            plan->first = *first;
            plan->last = *last;
            plan->from = FirstToFetch(lastArticle, *first, *last);
            plan->known = TRUE;
        }
        if (selected && sendRow_ == readRow_ && !sendGroupLine_ && !(plan && plan->groupSent))
            nextToSend_ = FirstToFetch(lastArticle, *first, *last);
        return selected;
    }
    if (!selected && result_->status == StatusFatal)
        return FALSE;
    DropAhead();
    planned_ = FALSE;
    sendRow_ = readRow_;
    nextToSend_ = 1;
    sendUpTo_ = 0;
    SetDownloadResult(result_, L"", L"", StatusOk);
    selected = SelectGroup(NULL, count, first, last);
    if (selected)
        nextToSend_ = FirstToFetch(lastArticle, *first, *last);
    return selected;
}

// False when the group cannot be fetched: the result then says why, as a
// skipped group or a fatal failure. The numbers are set only on success. A
// planned group's GROUP goes out with its first articles, if not already
// sent; the articles sent are dropped when the group is refused.
BOOL Patrol::SelectGroup(PlannedGroup* plan, DWORD* count, DWORD* first, DWORD* last)
{
    if (MeetBreak(kCaptionSocketErrorUpper))
        return FALSE;
    if (plan && plan->listed && !plan->groupSent) {
        DWORD limit = job_->limit;
        sendRow_ = readRow_;
        nextToSend_ = plan->from;
        sendUpTo_ = limit == 0 ? plan->from - 1 : plan->last - plan->from < limit ? plan->last : plan->from + limit - 1;
        sendGroupLine_ = TRUE;
        SendAhead();
        if (!plan->groupSent) {
            SetLastError(sendError_);
            FailWithCode(kCaptionSocketError, IDS_SEND_FAILED);
            return FALSE;
        }
    } else if (!(plan && plan->groupSent)) {
        char* name = ToMultiByte(groupName_);
        if (!name) {
            Fatal(groupName_, IDS_OUT_OF_MEMORY);
            return FALSE;
        }
        char command[kCommandLineSize];
        BOOL sent = JoinCommand(command, "GROUP ", name) && connection_.SendLine(command);
        free(name);
        if (!sent) {
            FailWithCode(kCaptionSocketError, IDS_SEND_FAILED);
            return FALSE;
        }
    }
    if (!connection_.ReadLine(line_, kLineSize, FALSE)) {
        FailWithCode(kCaptionSocketErrorUpper, IDS_RECEIVE_FAILED);
        return FALSE;
    }
    const char* cursor = line_;
    DWORD code, parsedCount, parsedFirst, parsedLast;
    BOOL parsed = line_[0] == '2' && ParseReplyNumber(&cursor, &code) && ParseReplyNumber(&cursor, &parsedCount) &&
                  ParseReplyNumber(&cursor, &parsedFirst) && ParseReplyNumber(&cursor, &parsedLast);
    if (!parsed) {
        GroupMessage(line_[0] != '2' ? IDS_GROUP_FAILED : IDS_UNEXPECTED_REPLY, line_, StatusSkipped);
        return FALSE;
    }
    *count = parsedCount;
    *first = parsedFirst;
    *last = parsedLast;
    return TRUE;
}

void Patrol::FetchRange(DWORD first, DWORD last, DWORD* newLast)
{
    DWORD limit = job_->limit;
    DWORD span = last - first;
    ProgressShowGroup(&job_->progress, groupName_, span < limit ? span : limit);

    writer_.Construct(&group_);
    DWORD fetched = 0;
    BOOL limitReached = FALSE;
    DWORD number = first;
    // `last` is below 0xFFFFFFFF (see ParseReplyNumber), so this ends.
    for (; number <= last; ++number) {
        if (fetched == limit) {
            limitReached = TRUE;
            break;
        }
        // No more articles in flight than could still be stored: with all
        // of them fetched the limit is reached exactly, so no HEAD goes out
        // that the one-at-a-time pass would not send.
        if (pipelined_) {
            DWORD room = limit - fetched;
            if (sendRow_ == readRow_)
                sendUpTo_ = last - number < room ? last : number + room - 1;
            SendAhead();
        }
        FetchResult fetch = FetchArticle(number);
        ++donePairs_;
        if (fetch == kFailed) {
            writer_.Destroy();
            return;
        }
        if (fetch == kRefused) {
            // The group keeps what came before; the reply is its state.
            GroupMessage(IDS_UNEXPECTED_REPLY, line_, StatusSkipped);
            if (pipelined_)
                DropSent(number, headRefused_);
            *newLast = number - 1;
            writer_.Destroy();
            return;
        }
        if (fetch == kFetched) {
            ++fetched;
            ProgressStep(&job_->progress);
        }
    }
    *newLast = number - 1;

    const wchar_t* format = MessageCatalog::Load(limitReached ? IDS_LIMIT_REACHED : IDS_ARTICLES_FETCHED);
    wchar_t text[kResultTextCapacity];
    _snwprintf(text, kResultTextCapacity - 1, format ? format : L"%d",
               (int)(limitReached ? limit : fetched));
    text[kResultTextCapacity - 1] = 0;
    SetDownloadResult(result_, L"", text, StatusOk);
    writer_.Destroy();
}

FetchResult Patrol::FetchArticle(DWORD number)
{
    DWORD start = GetFileSize(group_.LogHandle(), NULL);
    if (start == INVALID_FILE_SIZE || !writer_.Begin(number)) {
        FailWithCode(groupName_, IDS_INDEX_WRITE_FAILED);
        return kFailed;
    }
    lines_.BeginArticle();
    FetchResult fetch = FetchHeader(number);
    headRefused_ = fetch == kRefused;
    if (fetch == kUnavailable && pipelined_)
        DropReply();
    if (fetch != kFetched)
        return fetch;
    if (!converter_.HoldsHeader() && !lines_.WriteHeader()) {
        FailWithCode(groupName_, IDS_INDEX_WRITE_FAILED);
        return kFailed;
    }
    fetch = FetchBody(number);
    if (fetch == kUnavailable || fetch == kRefused) {
        // A header block without body, separator or record would merge
        // with the next article when the index is rebuilt: take it back.
        if (!FileTruncate(group_.LogHandle(), start)) {
            FailWithCode(groupName_, IDS_LOG_WRITE_FAILED);
            return kFailed;
        }
        return fetch;
    }
    if (fetch != kFetched)
        return fetch;
    if (!lines_.WriteHeader() || !writer_.Finish()) {
        FailWithCode(groupName_, IDS_INDEX_WRITE_FAILED);
        return kFailed;
    }
    return kFetched;
}

// Sends the commands of the articles from nextToSend_ on, up to sendUpTo_:
// a batch when at most a batch is in flight, one article when the replies
// that arrived are all read. With a plan, a row whose commands are all out
// is followed by the next row that needs any: its GROUP, then its articles,
// as far as the limit surely asks for them.
void Patrol::SendAhead()
{
    if (sendFailed_ || broken_)
        return;
    DWORD inFlight = sentPairs_ - donePairs_;
    DWORD count = 1;
    if (inFlight <= kBatch || sendGroupLine_)
        count = kBatch;
    else if (inFlight >= kWindow || connection_.HoldsInput())
        return;
    char lines[kCommandLineSize];
    DWORD length = 0;
    DWORD row = sendRow_, number = nextToSend_, upTo = sendUpTo_, pairs = 0;
    BOOL groupLine = sendGroupLine_;
    DWORD limit = job_->limit;
    while (pairs < count) {
        if (groupLine) {
            const char* name = plan_.At(row)->name;
            DWORD size = (DWORD)strlen(name);
            if (length + kGroupCommandSize + size > sizeof lines)
                break;
            length += (DWORD)_snprintf(lines + length, sizeof lines - length, "GROUP %s\r\n", name);
            groupLine = FALSE;
            continue;
        }
        // `upTo` is below 0xFFFFFFFF, so `number` cannot wrap.
        if (number <= upTo) {
            if (length + kArticleCommandsSize > sizeof lines)
                break;
            length += (DWORD)_snprintf(lines + length, kArticleCommandsSize, "HEAD %lu\r\nBODY %lu\r\n",
                                       (unsigned long)number, (unsigned long)number);
            ++number;
            ++pairs;
            continue;
        }
        PlannedGroup* current = planned_ ? plan_.At(row) : NULL;
        if (!current || !current->known || number <= current->last)
            break;
        // The next row that needs commands; one known only by its GROUP
        // waits for its turn.
        DWORD next = row + 1;
        PlannedGroup* ahead;
        while ((ahead = plan_.At(next)) != NULL && ahead->listed && ahead->from > ahead->last)
            ++next;
        if (!ahead || !ahead->listed)
            break;
        row = next;
        number = ahead->from;
        upTo = limit == 0 ? ahead->from - 1 : ahead->last - ahead->from < limit ? ahead->last : ahead->from + limit - 1;
        groupLine = TRUE;
    }
    if (length == 0)
        return;
    if (!connection_.SendLines(lines, length)) {
        sendFailed_ = TRUE;
        sendError_ = GetLastError();
        return;
    }
    // The rows left behind have all their commands out; each GROUP written
    // is out.
    for (DWORD passed = sendRow_; passed <= row; ++passed) {
        PlannedGroup* group = plan_.At(passed);
        if (!group)
            continue;
        if (passed < row)
            group->sentEnd = group->last + 1;
        BOOL written = (passed < row || !groupLine) && (passed > sendRow_ || sendGroupLine_);
        if (written && group->listed && group->from <= group->last)
            group->groupSent = TRUE;
    }
    sendRow_ = row;
    nextToSend_ = number;
    sendUpTo_ = upTo;
    sendGroupLine_ = groupLine;
    sentPairs_ += pairs;
}

// A reply the one-at-a-time pass never asks for (the BODY of a HEAD the
// server then refused, the commands sent ahead of a refusal): its text, when
// it is a `block` reply, is dropped, whatever its lines' length. The one-at-a-time pass sends its
// next command where this one reads that reply: a break met here is
// reported there (MeetBreak).
void Patrol::DropReply(BOOL block)
{
    BOOL status = TRUE;      // the status line is being read
    BOOL lineStart = TRUE;   // the next read begins a line
    BOOL body = FALSE;
    for (;;) {
        BOOL whole;
        if (!connection_.ReadPiece(line_, kLineSize, &whole)) {
            broken_ = TRUE;
            brokenError_ = GetLastError();
            return;
        }
        if (lineStart && status)
            body = block && line_[0] == '2';
        else if (lineStart && whole && strcmp(line_, ".\r\n") == 0)
            return;
        lineStart = whole;
        if (whole && status) {
            if (!body)
                return;
            status = FALSE;
        }
    }
}

// The article commands of `row` that went out end before this.
DWORD Patrol::SentEnd(DWORD row)
{
    if (row == sendRow_)
        return nextToSend_;
    PlannedGroup* group = plan_.At(row);
    return group ? group->sentEnd : 0;
}

// Reads and drops the replies to the article commands of `row` that went
// out, from article `from` on.
void Patrol::DropArticles(DWORD row, DWORD from)
{
    for (DWORD number = from; number < SentEnd(row) && !broken_; ++number) {
        DropReply();
        if (!broken_)
            DropReply();
        ++donePairs_;
    }
}

// Article `number` was refused, its HEAD or its BODY: the replies to the
// commands that went out after that one are read and dropped, so that the
// next group's replies are read in their place.
void Patrol::DropSent(DWORD number, BOOL bodySent)
{
    if (bodySent)
        DropReply();
    DropArticles(readRow_, number + 1);
}

// Everything sent ahead for the row being read and the rows after it.
void Patrol::DropAhead()
{
    DropArticles(readRow_, plan_.At(readRow_)->from);
    for (DWORD row = readRow_ + 1; row <= sendRow_ && !broken_; ++row) {
        PlannedGroup* group = plan_.At(row);
        if (!group->groupSent)
            continue;
        DropReply(FALSE);
        DropArticles(row, group->from);
    }
    sentPairs_ = 0;
    donePairs_ = 0;
    sendGroupLine_ = FALSE;
}

// True when the connection broke before the command about to go out: the
// reply the one-at-a-time pass waits for here does not come.
BOOL Patrol::MeetBreak(const wchar_t* caption)
{
    if (!broken_)
        return FALSE;
    SetLastError(brokenError_);
    FailWithCode(caption, IDS_RECEIVE_FAILED);
    return TRUE;
}

FetchResult Patrol::SendArticleCommand(const char* command, DWORD number)
{
    if (MeetBreak(groupName_))
        return kFailed;
    if (!pipelined_) {
        char line[64];
        _snprintf(line, sizeof line - 1, "%s%lu", command, (unsigned long)number);
        line[sizeof line - 1] = 0;
        if (!connection_.SendLine(line)) {
            FailWithCode(groupName_, IDS_SEND_FAILED);
            return kFailed;
        }
    } else if (number >= SentEnd(readRow_)) {
        // Only a failed send leaves the pass short of commands.
        SetLastError(sendFailed_ ? sendError_ : ERROR_INVALID_DATA);
        FailWithCode(groupName_, IDS_SEND_FAILED);
        return kFailed;
    }
    if (pipelined_)
        SendAhead();
    if (!ReadStatus()) {
        FailWithCode(groupName_, IDS_RECEIVE_FAILED);
        return kFailed;
    }
    if (pipelined_)
        SendAhead();
    if (line_[0] == '2')
        return kFetched;
    return IsNoSuchArticle(line_) ? kUnavailable : kRefused;
}

// A status line into line_, its CR LF kept; what does not fit is dropped.
BOOL Patrol::ReadStatus()
{
    BOOL whole;
    if (!connection_.ReadPiece(line_, kLineSize, &whole))
        return FALSE;
    char rest[64];
    while (!whole) {
        if (!connection_.ReadPiece(rest, sizeof rest, &whole))
            return FALSE;
    }
    return TRUE;
}

FetchResult Patrol::FetchHeader(DWORD number)
{
    FetchResult status = SendArticleCommand("HEAD ", number);
    if (status != kFetched)
        return status;
    BOOL kept = FALSE;
    converter_.BeginArticle();
    pieces_.Begin();
    for (;;) {
        if (!pieces_.Next(&connection_)) {
            FailWithCode(groupName_, IDS_RECEIVE_INCOMPLETE);
            return kFailed;
        }
        char* text = pieces_.Text();
        size_t length = pieces_.Length();
        if (pieces_.LineStart()) {
            // Only "." CR LF ends the block; a server that dot-stuffs a
            // header line must not have the rest of its header read as the
            // next reply.
            if (pieces_.LineEnd() && strcmp(text, ".") == 0)
                break;
            if (text[0] == '.') {
                ++text;
                --length;
            }
            if (text[0] != ' ' && text[0] != '\t')
                kept = IsKeptField(text);
            if (pieces_.LineEnd()) {
                if (!converter_.PutHeaderLine(text, kept, &lines_)) {
                    FailWithCode(groupName_, IDS_RECEIVE_INCOMPLETE);
                    return kFailed;
                }
                continue;
            }
            headerLine_.Begin(text, length);
        } else {
            headerLine_.Add(text, length);
        }
        // A line longer than a stored line goes on as one shortened line.
        if (pieces_.LineEnd() && !converter_.PutHeaderLine(headerLine_.Line(), kept, &lines_)) {
            FailWithCode(groupName_, IDS_RECEIVE_INCOMPLETE);
            return kFailed;
        }
    }
    // The whole header is at hand: the kept lines that waited for its
    // Content-Type go to the writer now.
    if (!converter_.EndHeader(&lines_)) {
        FailWithCode(groupName_, IDS_RECEIVE_INCOMPLETE);
        return kFailed;
    }
    return kFetched;
}

// A body line longer than a stored line is stored in pieces.
FetchResult Patrol::FetchBody(DWORD number)
{
    FetchResult status = SendArticleCommand("BODY ", number);
    if (status != kFetched)
        return status;
    pieces_.Begin();
    for (;;) {
        if (!pieces_.Next(&connection_)) {
            FailWithCode(groupName_, IDS_RECEIVE_INCOMPLETE);
            return kFailed;
        }
        char* text = pieces_.Text();
        BOOL end = pieces_.LineStart() && pieces_.LineEnd() && strcmp(text, ".") == 0;
        if (pieces_.LineStart() && text[0] == '.')
            ++text;
        if (!(end ? converter_.EndBody(&lines_) : converter_.PutBodyLine(text, &lines_))) {
            FailWithCode(groupName_, lines_.HeaderFailed() ? IDS_INDEX_WRITE_FAILED : IDS_LOG_WRITE_FAILED);
            return kFailed;
        }
        if (end)
            return kFetched;
    }
}

}  // namespace

void SetDownloadResult(DownloadResult* result, const wchar_t* caption, const wchar_t* text,
                       DWORD status)
{
    wcsncpy(result->caption, caption ? caption : L"", kResultTextCapacity - 1);
    result->caption[kResultTextCapacity - 1] = 0;
    wcsncpy(result->text, text ? text : L"", kResultTextCapacity - 1);
    result->text[kResultTextCapacity - 1] = 0;
    result->status = status;
}

void RunPatrol(DownloadJob* job)
{
    // A line buffer, a 4 KB reader and the converter's 20 KB: kept off the
    // worker's stack so that a small device stack is not at risk.
    Patrol* patrol = new (std::nothrow) Patrol(job);
    if (!patrol) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        const wchar_t* text = MessageCatalog::Load(IDS_OUT_OF_MEMORY);
        SetDownloadResult(job->result, kCaptionPelora, text ? text : L"", StatusFatal);
        return;
    }
    patrol->Run();
    delete patrol;
}

DWORD WINAPI PatrolThreadProc(void* parameter)
{
    DownloadJob* job = (DownloadJob*)parameter;
    RunPatrol(job);
    ProgressWorkerDone(&job->progress);
    SendMessageW(job->frameWindow, WM_PATROL_DONE, 0, (LPARAM)job);
    return 0;
}
