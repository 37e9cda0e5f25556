#include "ViewTestWindow.h"
#include "store/ArticleWriter.h"
#include "store/GroupRecord.h"
#include "store/IndexRecord.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"
#include <stdio.h>

static const wchar_t kParentClass[] = L"PeloraViewTestParent";

ViewTestWindow::ViewTestWindow(int width, int height) : window_(NULL)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(NULL);
        wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        wc.lpszClassName = kParentClass;
        RegisterClassW(&wc);
        registered = true;
    }
    RECT r = { 0, 0, width, height };
    AdjustWindowRect(&r, WS_POPUP, FALSE);
    window_ = CreateWindowExW(0, kParentClass, L"views", WS_POPUP | WS_VISIBLE, 0, 0,
                              r.right - r.left, r.bottom - r.top, NULL, NULL,
                              GetModuleHandleW(NULL), this);
    PumpMessages();
}

ViewTestWindow::~ViewTestWindow()
{
    if (window_)
        DestroyWindow(window_);
    PumpMessages();
}

LRESULT CALLBACK ViewTestWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        CREATESTRUCTW* cs = (CREATESTRUCTW*)lParam;
        SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)cs->lpCreateParams);
    }
    ViewTestWindow* self = (ViewTestWindow*)GetWindowLongPtrW(window, GWLP_USERDATA);
    if (message == WM_COMMAND && self) {
        Notification n = { LOWORD(wParam), HIWORD(wParam), (HWND)lParam };
        self->notifications_.push_back(n);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

ViewTestWindow& SharedTestWindow()
{
    static ViewTestWindow* window = new ViewTestWindow();
    return *window;
}

void PumpMessages()
{
    MSG msg;
    for (int round = 0; round < 50; ++round) {
        bool any = false;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            any = true;
        }
        if (!any)
            break;
    }
}

HFONT MakeViewFont(int height)
{
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       0, 0, 0, 0, L"Tahoma");
}

void RegisterViewClasses()
{
    static bool done = false;
    if (!done) {
        SubjectView::RegisterClass(GetModuleHandleW(NULL));
        ArticleView::RegisterClass(GetModuleHandleW(NULL));
        done = true;
    }
}

static void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

TestDataFolder::TestDataFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    wchar_t name[MAX_PATH];
    swprintf(name, MAX_PATH, L"%lspelora-views-%lu-%d\\", temp, GetCurrentProcessId(), ++serial);
    path_ = name;
    CreateDirectoryW(path_.c_str(), NULL);
}

TestDataFolder::~TestDataFolder() { RemoveTree(path_); }

bool TestDataFolder::WriteGroup(const wchar_t* group, const std::vector<TestArticle>& articles,
                                const std::string& filter)
{
    if (!filter.empty()) {
        HANDLE f = CreateFileW((path_ + group + L".flt").c_str(), GENERIC_WRITE, 0, NULL,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (f == INVALID_HANDLE_VALUE)
            return false;
        DWORD written;
        WriteFile(f, filter.data(), (DWORD)filter.size(), &written, NULL);
        CloseHandle(f);
    }
    GroupRecord record;
    record.Reset();
    if (!record.SetNames(path_.c_str(), group))
        return false;
    record.Clear();
    bool ok = record.OpenIndex() && record.OpenLog() && record.WriteHeader(record.IndexHandle());
    ArticleWriter writer;
    writer.Construct(&record);
    DWORD number = 1;
    for (const TestArticle& a : articles) {
        if (!ok)
            break;
        ok = writer.Begin(number++)
             && writer.AddHeaderLine(("From: " + a.from + "\r\n").c_str())
             && writer.AddHeaderLine(("Subject: " + a.subject + "\r\n").c_str())
             && writer.AddHeaderLine(("Date: " + a.date + "\r\n").c_str())
             && writer.WriteHeader();
        size_t start = 0;
        while (ok && start < a.body.size()) {
            size_t end = a.body.find("\r\n", start);
            end = end == std::string::npos ? a.body.size() : end + 2;
            ok = writer.WriteBodyLine(a.body.substr(start, end - start).c_str());
            start = end;
        }
        ok = ok && writer.Finish();
    }
    writer.Destroy();
    ok = ok && record.WriteHeader(record.IndexHandle());
    record.CloseLog();
    record.CloseIndex();
    record.Release();
    return ok;
}

bool TestDataFolder::ReadIndex(const wchar_t* group, std::vector<IndexRecord>* records,
                               DWORD* unreadCount)
{
    HANDLE f = CreateFileW((path_ + group + L".idx").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    BYTE header[kIndexHeaderSize];
    DWORD read = 0;
    bool ok = ReadFile(f, header, sizeof header, &read, NULL) && read == sizeof header;
    if (ok) {
        DWORD count;
        memcpy(&count, header + 16, 4);
        memcpy(unreadCount, header + 88, 4);
        records->resize(count);
        ok = count == 0 || (ReadFile(f, records->data(), count * kIndexRecordSize, &read, NULL)
                            && read == count * kIndexRecordSize);
    }
    CloseHandle(f);
    return ok;
}

std::string Sjis(const wchar_t* text)
{
    char buffer[4096];
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, NULL, NULL);
    return n > 0 ? std::string(buffer, n - 1) : std::string();
}

std::vector<TestArticle> NumberedArticles(int count)
{
    std::vector<TestArticle> list;
    for (int i = 0; i < count; ++i) {
        char from[32], subject[48];
        snprintf(from, sizeof from, "sender %d", i);
        snprintf(subject, sizeof subject, "subject %d", i);
        list.push_back({ from, subject, "Sat, 5 Dec 2026 15:08:39 +0900", "body\r\n" });
    }
    return list;
}
