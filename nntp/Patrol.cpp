#include "nntp/Sockets.h"   // before windows.h on the host
#include "nntp/Patrol.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <new>
#include "text/MessageCatalog.h"
#include "nntp/CompressLayer.h"
#include "nntp/NntpConnection.h"
#include "nntp/PostSender.h"
#include "nntp/SecureStart.h"
#include "resource.h"
#include "store/ArticleHeader.h"
#include "store/ArticleLog.h"
#include "store/ArticleWriter.h"
#include "store/FileOps.h"
#include "store/GroupRecord.h"
#include "text/ArticleConverter.h"
#include "text/Charset.h"
#include "text/CodePage.h"
#include "text/LastErrorKeeper.h"

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
};

enum FetchResult { kFetched, kUnavailable, kFailed };

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

// One number of a GROUP reply. Besides what ParseNumber refuses, a missing
// number (the reply ended) and one beyond 32 bits count as malformed: read
// as 0 or wrapped they would move the group's numbers backwards or across
// the whole number range.
BOOL ParseReplyNumber(const char** cursor, DWORD* value)
{
    if (!*cursor)
        return FALSE;
    const char* digits = *cursor;
    size_t count = 0;
    while (digits[count] >= '0' && digits[count] <= '9')
        ++count;
    if (count == 0 || count > 10)
        return FALSE;
    // 0xFFFFFFFF is ParseNumber's own mark for malformed, and means "catch
    // up pending" in the index; no server number may take it.
    if (count == 10 && strncmp(digits, "4294967294", 10) > 0)
        return FALSE;
    *value = ParseNumber(cursor);
    return *cursor != NULL;
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
          pipelined_(job->pipelining != 0), nextToSend_(0), sendUpTo_(0), sendFailed_(FALSE), sendError_(0),
          broken_(FALSE), brokenError_(0), mayPost_(FALSE)
    {
        greeting_[0] = 0;
        converter_.Construct(job->convertMime);
        secure_.Init(job->security, job->tlsFingerprint);
    }
    void Run();

private:
    void FetchGroup(const wchar_t* groupName);
    BOOL SelectGroup(DWORD* count, DWORD* first, DWORD* last);
    void FetchRange(DWORD first, DWORD last, DWORD* newLast);
    FetchResult FetchArticle(DWORD number);
    FetchResult FetchHeader(DWORD number);
    FetchResult FetchBody(DWORD number);
    FetchResult SendArticleCommand(const char* command, DWORD number);
    void SendAhead(DWORD next);
    void DropBody();
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
    char line_[kLineSize];
    // Pipelining: the commands of every article before nextToSend_ are on
    // the wire. A failed send is reported when the pass reaches the first
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
        cursor->Reset();
        while (const wchar_t* name = cursor->Next()) {
            if (name[0]) {   // a row without a name has no files to fetch into
                result_->status = StatusOk;
                FetchGroup(name);
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
    CompressionStart start = StartCompression(&connection_, &compress_, line_, kLineSize);
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
    SecureZeroMemory(command, sizeof command);
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

void Patrol::FetchGroup(const wchar_t* groupName)
{
    groupName_ = groupName;
    group_.Reset();
    if (!group_.SetNames(job_->dataPath, groupName) || !group_.ReadHeader()) {
        FailWithCode(groupName, IDS_INDEX_INIT_FAILED);
        group_.Release();
        return;
    }
    DWORD lastArticle = group_.LastArticle();
    DWORD newLast = lastArticle;
    DWORD count = 0, first = 0, last = group_.ServerLast();
    if (SelectGroup(&count, &first, &last)) {
        DWORD from;
        if (lastArticle == kCatchUpPending)
            from = last + 1;   // nothing fetched: caught up to the server's end
        else
            from = first > lastArticle + 1 ? first : lastArticle + 1;

        if (!group_.OpenLog()) {
            FailWithCode(groupName, IDS_FILE_OPEN_FAILED);
        } else if (!group_.OpenIndex()) {
            FailWithCode(groupName, IDS_INDEX_OPEN_FAILED);
        } else if (!CutUnindexedTail(&group_)) {
            // What an interrupted pass appended goes before anything is added.
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
                // The articles reach the medium before the header counts them.
                if (!group_.SetStateText(result_->text) || !DropAppendMark(&group_) ||
                    !FileFlush(group_.LogHandle()) ||
                    !FileFlush(group_.IndexHandle()) || !group_.WriteHeader(group_.IndexHandle()))
                    FailWithCode(groupName, IDS_INDEX_WRITE_FAILED);
            }
            if (result_->status == StatusFatal)
                RollBack(logSize, indexSize);
        }
        group_.CloseIndex();
        group_.CloseLog();
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

// False when the group cannot be fetched: the result then says why, as a
// skipped group or a fatal failure. The numbers are set only on success.
BOOL Patrol::SelectGroup(DWORD* count, DWORD* first, DWORD* last)
{
    char* name = ToMultiByte(groupName_);
    if (!name) {
        Fatal(groupName_, IDS_OUT_OF_MEMORY);
        return FALSE;
    }
    if (MeetBreak(kCaptionSocketErrorUpper)) {
        free(name);
        return FALSE;
    }
    char command[kCommandLineSize];
    BOOL sent = JoinCommand(command, "GROUP ", name) && connection_.SendLine(command);
    free(name);
    if (!sent) {
        FailWithCode(kCaptionSocketError, IDS_SEND_FAILED);
        return FALSE;
    }
    if (!connection_.ReadLine(line_, kLineSize, FALSE)) {
        FailWithCode(kCaptionSocketErrorUpper, IDS_RECEIVE_FAILED);
        return FALSE;
    }
    if (line_[0] != '2') {
        GroupMessage(IDS_GROUP_FAILED, line_, StatusSkipped);
        return FALSE;
    }
    const char* cursor = line_;
    DWORD code, parsedCount, parsedFirst, parsedLast;
    if (!ParseReplyNumber(&cursor, &code) || !ParseReplyNumber(&cursor, &parsedCount) ||
        !ParseReplyNumber(&cursor, &parsedFirst) || !ParseReplyNumber(&cursor, &parsedLast)) {
        GroupMessage(IDS_UNEXPECTED_REPLY, line_, StatusSkipped);
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
    nextToSend_ = first;
    sendFailed_ = FALSE;
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
            sendUpTo_ = last - number < room ? last : number + room - 1;
            SendAhead(number);
        }
        FetchResult fetch = FetchArticle(number);
        if (fetch == kFailed) {
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
    if (fetch == kUnavailable && pipelined_)
        DropBody();
    if (fetch != kFetched)
        return fetch;
    if (!converter_.HoldsHeader() && !lines_.WriteHeader()) {
        FailWithCode(groupName_, IDS_INDEX_WRITE_FAILED);
        return kFailed;
    }
    fetch = FetchBody(number);
    if (fetch == kUnavailable) {
        // A header block without body, separator or record would merge
        // with the next article when the index is rebuilt: take it back.
        if (!FileTruncate(group_.LogHandle(), start)) {
            FailWithCode(groupName_, IDS_LOG_WRITE_FAILED);
            return kFailed;
        }
        return kUnavailable;
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
// that arrived are all read. `next` is the article whose replies are read
// next.
void Patrol::SendAhead(DWORD next)
{
    DWORD inFlight = nextToSend_ - next;
    if (sendFailed_ || broken_ || nextToSend_ > sendUpTo_)
        return;
    DWORD count = 1;
    if (inFlight <= kBatch)
        count = kBatch;
    else if (inFlight >= kWindow || connection_.HoldsInput())
        return;
    char lines[kBatch * kArticleCommandsSize];
    DWORD length = 0;
    DWORD number = nextToSend_;
    // sendUpTo_ is below 0xFFFFFFFF, so `number` cannot wrap.
    for (DWORD batch = 0; batch < count && number <= sendUpTo_; ++batch, ++number)
        length += (DWORD)_snprintf(lines + length, kArticleCommandsSize, "HEAD %lu\r\nBODY %lu\r\n",
                                   (unsigned long)number, (unsigned long)number);
    if (!connection_.SendLines(lines, length)) {
        sendFailed_ = TRUE;
        sendError_ = GetLastError();
        return;
    }
    nextToSend_ = number;
}

// The reply to a BODY that went out with a HEAD the server then refused;
// the one-at-a-time pass never asks for it, so its text is dropped, a line
// too long for the buffer too. The one-at-a-time pass sends its next
// command where this one reads that reply: a break met here is reported
// there (MeetBreak).
void Patrol::DropBody()
{
    BOOL status = TRUE;      // the status line is being read
    BOOL lineStart = TRUE;   // the next read begins a line
    BOOL body = FALSE;
    for (;;) {
        BOOL whole = connection_.ReadLine(line_, kLineSize, FALSE);
        if (!whole && GetLastError() != ERROR_MORE_DATA) {
            broken_ = TRUE;
            brokenError_ = GetLastError();
            return;
        }
        if (lineStart && status)
            body = line_[0] == '2';
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
    } else if (number >= nextToSend_) {
        // Only a failed send leaves the pass short of commands.
        SetLastError(sendFailed_ ? sendError_ : ERROR_INVALID_DATA);
        FailWithCode(groupName_, IDS_SEND_FAILED);
        return kFailed;
    }
    if (pipelined_)
        SendAhead(number);
    if (!connection_.ReadLine(line_, kLineSize, FALSE)) {
        FailWithCode(groupName_, IDS_RECEIVE_FAILED);
        return kFailed;
    }
    if (pipelined_)
        SendAhead(number);
    return line_[0] == '2' ? kFetched : kUnavailable;
}

FetchResult Patrol::FetchHeader(DWORD number)
{
    FetchResult status = SendArticleCommand("HEAD ", number);
    if (status != kFetched)
        return status;
    BOOL kept = FALSE;
    converter_.BeginArticle();
    for (;;) {
        // Every failed read is a broken reply here: the server closed, a
        // line was too long, or it sent a NUL.
        if (!connection_.ReadLine(line_, kLineSize, FALSE)) {
            FailWithCode(groupName_, IDS_RECEIVE_INCOMPLETE);
            return kFailed;
        }
        // Only "." CR LF ends the block; a server that dot-stuffs a header
        // line must not have the rest of its header read as the next reply.
        if (strcmp(line_, ".\r\n") == 0)
            break;
        char* text = line_[0] == '.' ? line_ + 1 : line_;
        BOOL continuation = text[0] == ' ' || text[0] == '\t';
        if (!continuation)
            kept = IsKeptField(text);
        CutLineEnd(text);
        if (!converter_.PutHeaderLine(text, kept, &lines_)) {
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

FetchResult Patrol::FetchBody(DWORD number)
{
    FetchResult status = SendArticleCommand("BODY ", number);
    if (status != kFetched)
        return status;
    for (;;) {
        if (!connection_.ReadLine(line_, kLineSize, FALSE)) {
            FailWithCode(groupName_, IDS_RECEIVE_INCOMPLETE);
            return kFailed;
        }
        BOOL end = strcmp(line_, ".\r\n") == 0;
        char* text = line_[0] == '.' ? line_ + 1 : line_;
        CutLineEnd(text);
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
