#include "nntp/GroupListJob.h"
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <new>
#include "store/FileRewrite.h"
#include "store/GroupNameTable.h"
#include "text/CodePage.h"
#include "text/SecretMemory.h"

namespace {

wchar_t* CopyWide(const wchar_t* text)
{
    size_t size = (wcslen(text) + 1) * sizeof(wchar_t);
    wchar_t* copy = (wchar_t*)malloc(size);
    if (copy)
        memcpy(copy, text, size);
    return copy;
}

void SetError(GroupListJob* job, const wchar_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    _vsnwprintf(job->errorText, kGroupListErrorSize - 1, format, arguments);
    va_end(arguments);
    job->errorText[kGroupListErrorSize - 1] = L'\0';
}

void SetErrorCode(GroupListJob* job, const wchar_t* format)
{
    SetError(job, format, (int)GetLastError());
}

// `format` with the server's line (wide) as its one "%ls"; `fallback` when
// the line cannot be converted.
void SetErrorLine(GroupListJob* job, const wchar_t* format, const char* line, const wchar_t* fallback)
{
    wchar_t* wide = ToWide(line);
    if (wide)
        SetError(job, format, wide);
    else
        SetError(job, L"%ls", fallback);
    free(wide);
}

// text + CR LF with one write, so that a line is never left half-written by
// a failure between its two pieces.
BOOL WriteLine(FileRewrite* file, const char* text, size_t length)
{
    char line[kGroupListLineSize + 2];
    if (length > kGroupListLineSize) {
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    memcpy(line, text, length);
    line[length] = '\r';
    line[length + 1] = '\n';
    return file->Write(line, (DWORD)length + 2);
}

BOOL Authenticate(GroupListJob* job)
{
    NntpConnection& connection = job->connection;
    char command[kCommandLineSize];
    if (!JoinCommand(command, "authinfo user ", job->userId) || !connection.SendLine(command)) {
        SetError(job, L"Can't send data");
        return FALSE;
    }
    if (!connection.ReadLine(job->line, kGroupListLineSize, FALSE)) {
        SetError(job, L"Can't redv data");
        return FALSE;
    }
    if (DescribeEncryptionRequired(job->line, job->errorText, kGroupListErrorSize))
        return FALSE;
    if (job->line[0] == '3') {
        BOOL sent = JoinCommand(command, "authinfo pass ", job->password) && connection.SendLine(command);
        ClearSecret(command, sizeof command);
        if (!sent) {
            SetError(job, L"Can't send data");
            return FALSE;
        }
        if (!connection.ReadLine(job->line, kGroupListLineSize, FALSE)) {
            SetError(job, L"Can't redv data");
            return FALSE;
        }
        if (job->line[0] == '2')
            return TRUE;
    }
    SetErrorLine(job, L"%ls", job->line, L"メモリ不足");
    return FALSE;
}

BOOL Compress(GroupListJob* job)
{
    CompressionStart start = StartCompression(&job->connection, &job->compressLayer, FALSE, job->line,
                                              kGroupListLineSize);
    if (start == kCompressionSendFailed)
        SetError(job, L"Can't send data");
    else if (start == kCompressionReceiveFailed)
        SetError(job, L"Can't redv data");
    return start == kCompressionReady;
}

// Asks for the list and stores it; the connection is open and greeted.
BOOL ExchangeList(GroupListJob* job, FileRewrite* active, FileRewrite* category)
{
    NntpConnection& connection = job->connection;
    GroupNameTable categories;
    if (!categories.Init()) {
        SetError(job, L"ハッシュテーブルの初期化に失敗");
        return FALSE;
    }
    BOOL ok = FALSE;
    if (!connection.SendLine("LIST active")) {
        SetError(job, L"送信に失敗");
        goto done;
    }
    if (!connection.ReadLine(job->line, kGroupListLineSize, FALSE)) {
        SetError(job, L"受信に失敗");
        goto done;
    }
    if (job->line[0] != '2') {
        if (!connection.SendLine("LIST")) {
            SetError(job, L"LIST failed.");
            goto done;
        }
        if (!connection.ReadLine(job->line, kGroupListLineSize, FALSE)) {
            SetError(job, L"受信に失敗");
            goto done;
        }
        if (job->line[0] != '2') {
            SetErrorLine(job, L"サーバが予期せぬ応答をしました。:%ls", job->line,
                         L"サーバが予期せぬ応答をしました。:メモリ不足");
            goto done;
        }
    }
    for (;;) {
        SetLastError(0);
        if (!connection.ReadLine(job->line, kGroupListLineSize, TRUE)) {
            if (GetLastError() != 0) {
                SetErrorCode(job, L"正常に受信できませんでした(%d)");
                goto done;
            }
            break;
        }
        char* name = job->line;
        if (name[0] == '.')
            break;
        size_t length = strcspn(name, " \t");
        // A blank line names no group; an empty row would only confuse the
        // subscription list.
        if (length == 0)
            continue;
        name[length] = '\0';
        if (!WriteLine(active, name, length)) {
            SetErrorCode(job, L"ファイル書き込みに失敗(%d)");
            goto done;
        }
        char* dot = strchr(name, '.');
        if (dot)
            *dot = '\0';
        if (!categories.Find(name)) {
            if (!categories.Insert(name)) {
                SetErrorCode(job, L"ハッシュテーブル書き込みに失敗(%d)");
                goto done;
            }
            if (!WriteLine(category, name, strlen(name))) {
                SetErrorCode(job, L"ファイル書き込みに失敗(%d)");
                goto done;
            }
        }
        if (job->counter.countGroup)
            job->counter.countGroup(job->counter.context);
    }
    ok = TRUE;
done:
    categories.Destroy();
    return ok;
}

}  // namespace

GroupListJob* CreateGroupListJob(const wchar_t* activePath, const wchar_t* categoryPath, const wchar_t* server,
                                 DWORD port, const char* userId, const char* password, HWND dialog, UINT notifyId,
                                 const GroupCounter* counter, DWORD security, const wchar_t* tlsFingerprint)
{
    if (!activePath || !categoryPath || !server) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    GroupListJob* job = new (std::nothrow) GroupListJob;
    if (!job) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    job->activePath = CopyWide(activePath);
    job->categoryPath = CopyWide(categoryPath);
    job->server = ToMultiByte(server);
    job->port = port;
    job->userId = userId;
    job->password = password;
    job->dialog = dialog;
    job->notifyId = notifyId;
    job->compress = 0;
    job->errorText[0] = L'\0';
    job->line[0] = '\0';
    job->counter.countGroup = counter ? counter->countGroup : NULL;
    job->counter.context = counter ? counter->context : NULL;
    job->secure.Init(security, tlsFingerprint);
    if (!job->activePath || !job->categoryPath || !job->server) {
        DestroyGroupListJob(job);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    return job;
}

void DestroyGroupListJob(GroupListJob* job)
{
    if (!job)
        return;
    job->connection.Close();
    job->compressLayer.Destroy();
    job->secure.Release();
    free(job->activePath);
    free(job->categoryPath);
    free(job->server);
    delete job;
}

BOOL RunGroupListJob(GroupListJob* job)
{
    NntpConnection& connection = job->connection;
    job->errorText[0] = L'\0';
    if (!connection.Connect(job->server, job->port)) {
        SetError(job, L"Can't connect to server");
        connection.Close();
        return FALSE;
    }
    if (!GreetSecurely(&connection, job->server, &job->secure, job->line, kGroupListLineSize, job->errorText,
                       kGroupListErrorSize)) {
        if (!job->errorText[0])
            SetError(job, L"Recv fail: Can't connect to server");
        connection.Close();
        return FALSE;
    }
    if (job->line[0] != '2') {
        SetErrorLine(job, L"Connection refused : %ls", job->line, L"Connection refused : メモリ不足");
        connection.Close();
        return FALSE;
    }
    if ((job->userId && job->password && !Authenticate(job)) || (job->compress && !Compress(job))) {
        connection.Close();
        return FALSE;
    }
    // The lists grow beside the old ones, which a failed fetch keeps.
    FileRewrite active, category;
    active.Construct();
    category.Construct();
    if (!active.Open(job->activePath)) {
        SetErrorCode(job, L"Can't open active file(%d)");
        connection.Close();
        return FALSE;
    }
    if (!category.Open(job->categoryPath)) {
        SetErrorCode(job, L"Can't open category file(%d)");
        connection.Close();
        active.Abandon();
        return FALSE;
    }
    // No QUIT: the fetch simply hangs up.
    BOOL ok = ExchangeList(job, &active, &category);
    connection.Close();
    job->compressLayer.Destroy();
    if (!ok) {
        AbandonPair(&active, &category);
    } else if (!CommitPair(&active, &category)) {
        SetErrorCode(job, L"ファイル書き込みに失敗(%d)");
        ok = FALSE;
    }
    return ok;
}

DWORD WINAPI GroupListWorker(void* parameter)
{
    GroupListJob* job = (GroupListJob*)parameter;
    RunGroupListJob(job);
    HWND dialog = job->dialog;
    UINT notifyId = job->notifyId;
    // The dialog waits for exactly this one post; a full queue only delays
    // it. Once it is posted the job may be freed at any moment.
    while (!PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(notifyId, 0), 0)) {
        if (!IsWindow(dialog))
            break;
        Sleep(50);
    }
    return 0;
}
