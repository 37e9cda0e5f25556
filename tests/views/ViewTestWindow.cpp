#include "ViewTestWindow.h"
#include "store/ArticleWriter.h"
#include "store/GroupRecord.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"
#include "support/TestWindow.h"

ViewTestWindow::ViewTestWindow()
{
    window_ = MakeTestWindow(L"PeloraViewTestParent", Proc, WS_POPUP | WS_VISIBLE, 640, 240, this);
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

std::vector<TestArticle> NumberedArticles(int count)
{
    std::vector<TestArticle> list;
    for (int i = 0; i < count; ++i)
        list.push_back({ "sender " + std::to_string(i), "subject " + std::to_string(i) });
    return list;
}

bool TestDataFolder::WriteGroup(const wchar_t* group, const std::vector<TestArticle>& articles,
                                const std::string& filter)
{
    WriteBytes(File(std::wstring(group) + L".flt"), filter);
    GroupRecord record;
    record.Reset();
    bool ok = record.SetNames(Path().c_str(), group);
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
    bool ok = record.SetNames(Path().c_str(), group) && record.ReadHeader();
    records->resize(record.RecordCount());
    DWORD count = record.RecordCount();
    ok = ok && (count == 0 || (record.ReadRecords(0, records->data(), &count) && count == records->size()));
    *unread = record.UnreadCount();
    record.Release();
    return ok;
}
