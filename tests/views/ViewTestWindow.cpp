#include "ViewTestWindow.h"
#include "store/ArticleWriter.h"
#include "store/GroupRecord.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"
#include <stdio.h>

ViewTestWindow::ViewTestWindow()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = L"PeloraViewTestParent";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"views", WS_POPUP | WS_VISIBLE, 0, 0, 640, 240,
                              NULL, NULL, wc.hInstance, this);
    PumpMessages();
}

LRESULT CALLBACK ViewTestWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTW*)lParam)->lpCreateParams);
    ViewTestWindow* self = (ViewTestWindow*)GetWindowLongPtrW(window, GWLP_USERDATA);
    if (message == WM_COMMAND && self) {
        self->notifications.push_back({ LOWORD(wParam), HIWORD(wParam), (HWND)lParam });
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
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

HFONT MakeViewFont(int height)
{
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                       L"Tahoma");
}

void RegisterViewClasses()
{
    static bool done = SubjectView::RegisterClass(GetModuleHandleW(NULL))
                       && ArticleView::RegisterClass(GetModuleHandleW(NULL));
    (void)done;
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
    for (int i = 0; i < count; ++i)
        list.push_back({ "sender " + std::to_string(i), "subject " + std::to_string(i) });
    return list;
}

TestDataFolder::TestDataFolder()
{
    wchar_t temp[MAX_PATH], name[MAX_PATH];
    static int serial = 0;
    GetTempPathW(MAX_PATH, temp);
    swprintf(name, MAX_PATH, L"%lspelora-views-%lu-%d\\", temp, GetCurrentProcessId(), ++serial);
    path_ = name;
    CreateDirectoryW(path_.c_str(), NULL);
}

TestDataFolder::~TestDataFolder()
{
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((path_ + L"*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do
            DeleteFileW((path_ + fd.cFileName).c_str());
        while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(path_.c_str());
}

void TestDataFolder::WriteFile(const std::wstring& name, const void* data, DWORD size, DWORD offset)
{
    HANDLE f = CreateFileW((path_ + name).c_str(), GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written;
    SetFilePointer(f, (LONG)offset, NULL, FILE_BEGIN);
    ::WriteFile(f, data, size, &written, NULL);
    if (offset == 0)
        SetEndOfFile(f);
    CloseHandle(f);
}

bool TestDataFolder::WriteGroup(const wchar_t* group, const std::vector<TestArticle>& articles,
                                const std::string& filter)
{
    WriteFile(std::wstring(group) + L".flt", filter.data(), (DWORD)filter.size());
    GroupRecord record;
    record.Reset();
    bool ok = record.SetNames(path_.c_str(), group);
    record.Clear();
    ok = ok && record.OpenIndex() && record.OpenLog() && record.WriteHeader(record.IndexHandle());
    ArticleWriter writer;
    writer.Construct(&record);
    DWORD number = 1;
    for (const TestArticle& a : articles)
        ok = ok && writer.Begin(number++) && writer.AddHeaderLine(("From: " + a.from + "\r\n").c_str())
             && writer.AddHeaderLine(("Subject: " + a.subject + "\r\n").c_str())
             && writer.AddHeaderLine("Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n")
             && writer.WriteHeader() && writer.WriteBodyLine("body\r\n") && writer.Finish();
    writer.Destroy();
    ok = ok && record.WriteHeader(record.IndexHandle());
    record.CloseLog();
    record.Release();
    return ok;
}

bool TestDataFolder::ReadIndex(const wchar_t* group, std::vector<IndexRecord>* records, DWORD* unread)
{
    GroupRecord record;
    record.Reset();
    bool ok = record.SetNames(path_.c_str(), group) && record.ReadHeader();
    records->resize(record.RecordCount());
    DWORD count = record.RecordCount();
    ok = ok && (count == 0 || (record.ReadRecords(0, records->data(), &count) && count == records->size()));
    *unread = record.UnreadCount();
    record.Release();
    return ok;
}
