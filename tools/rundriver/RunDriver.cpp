// Shows the whole job of a first run without anyone at the keys: starts the
// program, runs a patrol from the menu command, closes the end-of-patrol box,
// opens the first group and its first article, and saves the screen after
// each step as a BMP. Runs inside the program's Wine desktop:
//   rundriver PROGRAM.exe OUTPUT-PREFIX
// writes OUTPUT-PREFIX-groups.bmp, -subjects.bmp and -article.bmp, and says
// on the standard output what it did or why it stopped (exit code 1).
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <string>
#include "frame/MainFrame.h"
#include "resource.h"

namespace {

enum { kStepTimeout = 60000, kPatrolTimeout = 300000, kPaintSettle = 800 };

const wchar_t kEndCaption[] = L"Disconnect";
const wchar_t kDialogClass[] = L"#32770";


// Waits for `done()` while the program runs; false on time-out.
template <typename Done>
bool WaitFor(HANDLE process, DWORD milliseconds, Done done)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > milliseconds || WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
            return false;
        Sleep(100);
    }
}

BOOL CALLBACK FindBox(HWND window, LPARAM context)
{
    HWND* found = (HWND*)context;
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    // The progress dialog of the pass is the one with a progress bar.
    if (wcscmp(className, kDialogClass) == 0 && IsWindowVisible(window) &&
        !FindWindowExW(window, NULL, L"msctls_progress32", NULL)) {
        *found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog of the program's window thread other than the pass's
// progress, or none.
HWND VisibleDialog(DWORD thread)
{
    HWND found = NULL;
    EnumThreadWindows(thread, FindBox, (LPARAM)&found);
    return found;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

void Say(const char* what, const std::wstring& detail = std::wstring())
{
    char bytes[1024] = "";
    WideCharToMultiByte(CP_UTF8, 0, detail.c_str(), -1, bytes, sizeof bytes, NULL, NULL);
    printf("rundriver: %s%s%s\n", what, detail.empty() ? "" : ": ", bytes);
    fflush(stdout);
}

// The whole screen (the Wine desktop) as a 24-bit BMP.
bool SaveScreen(const std::wstring& path)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DWORD stride = ((DWORD)width * 3 + 3) & ~3u;
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + stride * (DWORD)height;
        HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD written = 0;
        ok = out != INVALID_HANDLE_VALUE && WriteFile(out, &file, sizeof file, &written, NULL) &&
             WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, NULL) &&
             WriteFile(out, bits, stride * (DWORD)height, &written, NULL);
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return ok;
}

bool Shot(const std::wstring& prefix, const wchar_t* name)
{
    Sleep(kPaintSettle);
    std::wstring path = prefix + L"-" + name + L".bmp";
    if (!SaveScreen(path)) {
        Say("cannot save", path);
        return false;
    }
    Say("saved", path);
    return true;
}

void Key(HWND window, UINT key)
{
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

bool Visible(HWND window) { return window && IsWindowVisible(window); }

// The road itself; false once a step did not come.
bool Drive(HANDLE process, const std::wstring& prefix)
{
    HWND frame = NULL;
    if (!WaitFor(process, kStepTimeout, [&] {
            frame = FindWindowW(kFrameClassName, NULL);
            return Visible(frame) && IsWindowEnabled(frame);
        })) {
        Say("the main window did not come up (settings incomplete?)");
        return false;
    }
    DWORD thread = GetWindowThreadProcessId(frame, NULL);
    HWND list = GetDlgItem(frame, IDC_GROUP_LIST);
    if (!WaitFor(process, kStepTimeout, [&] { return Visible(list); })) {
        Say("no group list");
        return false;
    }

    // The patrol, as the menu command starts it; it ends with a box.
    PostMessageW(frame, WM_COMMAND, MAKEWPARAM(IDM_DOWNLOAD, 0), 0);
    Say("patrol started");
    HWND box = NULL;
    std::wstring caption;
    if (!WaitFor(process, kPatrolTimeout, [&] {
            box = VisibleDialog(thread);
            caption = box ? TextOf(box) : L"";
            return box != NULL;
        })) {
        Say("the patrol did not end");
        return false;
    }
    HWND text = FindWindowExW(box, NULL, L"Static", NULL);
    while (text && GetWindowTextLengthW(text) == 0)
        text = FindWindowExW(box, text, L"Static", NULL);
    std::wstring message = text ? TextOf(text) : L"";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (caption != kEndCaption) {
        Say("the patrol failed", caption + L": " + message);
        return false;
    }
    Say("patrol ended", message);
    if (!WaitFor(process, kStepTimeout, [&] { return !VisibleDialog(thread) && IsWindowEnabled(frame); })) {
        Say("the end-of-patrol box stayed");
        return false;
    }

    Key(list, VK_HOME);
    if (!Shot(prefix, L"groups"))
        return false;
    Key(list, VK_RETURN);
    HWND subjects = GetDlgItem(frame, IDC_SUBJECT_VIEW);
    if (!WaitFor(process, kStepTimeout, [&] { return Visible(subjects); })) {
        Say("the first group did not open");
        return false;
    }
    if (!Shot(prefix, L"subjects"))
        return false;
    Key(subjects, VK_RETURN);
    HWND article = GetDlgItem(frame, IDC_ARTICLE_VIEW);
    if (!WaitFor(process, kStepTimeout, [&] { return Visible(article); })) {
        Say("the first article did not open");
        return false;
    }
    return Shot(prefix, L"article");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: rundriver PROGRAM.exe OUTPUT-PREFIX\n");
        return 2;
    }
    wchar_t commandLine[MAX_PATH + 4];
    _snwprintf(commandLine, MAX_PATH + 3, L"\"%ls\"", argv[1]);
    commandLine[MAX_PATH + 3] = L'\0';
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(argv[1], commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started)) {
        Say("cannot start", argv[1]);
        return 1;
    }
    bool done = Drive(started.hProcess, argv[2]);
    // Closed as the user closes it, so the column widths are saved as usual.
    HWND frame = FindWindowW(kFrameClassName, NULL);
    if (frame)
        PostMessageW(frame, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(started.hProcess, 15000) != WAIT_OBJECT_0)
        TerminateProcess(started.hProcess, 1);
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);
    return done ? 0 : 1;
}
