#include "frame/FrameFixture.h"
#include "app/MessageLoop.h"
#include "resource.h"

FrameFixture::FrameFixture()
{
    static bool registered = false;
    if (!registered) {
        HINSTANCE instance = GetModuleHandleW(NULL);
        registered = ArticleView::RegisterClass(instance) && SubjectView::RegisterClass(instance) &&
                     MainFrame::RegisterClass(instance);
    }
    RegistrySandbox::Clear();
}

void FrameFixture::Close()
{
    if (!frame)
        return;
    if (frame->Window() && IsWindow(frame->Window()))
        DestroyWindow(frame->Window());
    Pump();
    delete frame;
    frame = NULL;
}

testing::AssertionResult FrameFixture::ShowsOnly(UINT view)
{
    const HWND windows[] = {List(), frame->Subjects()->Window(), frame->Article()->Window()};
    for (UINT v : {kViewGroup, kViewSubject, kViewArticle}) {
        bool shown = v == view;
        if ((IsWindowVisible(windows[v]) != 0) != shown || (IsWindowVisible(frame->Bar(v)) != 0) != shown)
            return testing::AssertionFailure() << "view " << v << " or its bar wrongly shown or hidden";
    }
    if (frame->CurrentView() != view)
        return testing::AssertionFailure() << "the current view is " << frame->CurrentView();
    return testing::AssertionSuccess();
}

void FrameFixture::WriteCompleteSettings(DWORD port)
{
    WriteString(kSettingsKey, L"Server", L"127.0.0.1");
    WriteString(kSettingsKey, L"DataPath", DataPath());
    WriteDword(kSettingsKey, L"Port", port);
    WriteDword(kSettingsKey, L"Limit", 50);
}

void FrameFixture::WriteGroups(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += name + "\r\n";
    WriteBytes(folder.File(L"group.dat"), text);
}

void FrameFixture::WriteLog(const std::string& group, const std::vector<TestArticle>& articles)
{
    std::string log;
    DWORD number = 1;
    for (const TestArticle& a : articles)
        log += ArticleBlock("From: " + Sjis(Widen(a.from)) + "\nSubject: " + Sjis(Widen(a.subject)) +
                                "\nNewsgroups: " + group + "\nDate: Sun, 06 Dec 2026 10:00:00 +0900",
                            number++, Sjis(Widen(a.body)));
    WriteBytes(folder.File(Widen(group) + L".log"), log);
}

// The program's own loop: it returns at WM_QUIT, which is handed out only
// once the queue is empty. A quit posted by the frame itself ends it too.
void FrameFixture::Pump()
{
    HWND frame = FindWindowW(kFrameClassName, NULL);
    HACCEL accelerators = LoadAcceleratorsW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    PostQuitMessage(0);
    RunMessageLoop(frame, accelerators);
    DestroyAcceleratorTable(accelerators);
}

void FrameFixture::Key(HWND window, UINT key, BOOL control, BOOL alt)
{
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_CONTROL] = control ? 0x80 : 0;
    state[VK_MENU] = alt ? 0x80 : 0;
    SetKeyboardState(state);
    LPARAM altBit = alt ? (1 << 29) : 0;
    PostMessageW(window, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1 | altBit);
    PostMessageW(window, alt ? WM_SYSKEYUP : WM_KEYUP, key, 1 | altBit | (1u << 30) | (1u << 31));
    Pump();
    state[VK_CONTROL] = state[VK_MENU] = 0;
    SetKeyboardState(state);
}

Texts FrameFixture::GroupRow(int row)
{
    Texts texts;
    for (int c = 0; c < kGroupColumnCount; c++) {
        wchar_t text[1024] = L"";
        LVITEMW item = {};
        item.iSubItem = c;
        item.pszText = text;
        item.cchTextMax = 1024;
        SendMessageW(List(), LVM_GETITEMTEXTW, row, (LPARAM)&item);
        texts.push_back(text);
    }
    return texts;
}
