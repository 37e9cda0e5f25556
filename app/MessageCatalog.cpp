#include "app/MessageCatalog.h"
#include <stdio.h>

MessageCatalog MessageCatalog::shared_;

static wchar_t g_lastErrorText[kMessageTextCapacity];
static MessageBoxHook g_messageBoxHook;

void MessageCatalog::SetInstance(HINSTANCE instance)
{
    shared_.instance_ = instance;
    shared_.reserved_ = 0;
}

HINSTANCE MessageCatalog::Instance()
{
    return shared_.instance_;
}

const wchar_t* MessageCatalog::Load(UINT id)
{
    int copied = LoadStringW(shared_.instance_, id, shared_.text_, kMessageTextCapacity);
    if (copied <= 0)
        return NULL;
    return shared_.text_;
}

const wchar_t* FormatLastError(const wchar_t* format)
{
    DWORD code = GetLastError();
    if (!format) {
        g_lastErrorText[0] = L'\0';
        return g_lastErrorText;
    }
    _snwprintf(g_lastErrorText, kMessageTextCapacity - 1, format, (int)code);
    g_lastErrorText[kMessageTextCapacity - 1] = L'\0';
    return g_lastErrorText;
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    g_messageBoxHook = hook;
}

int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    if (g_messageBoxHook)
        return g_messageBoxHook(owner, text, caption, flags);
    return MessageBoxW(owner, text, caption, flags);
}

void ShowErrorBox(UINT id, const wchar_t* caption, UINT flags)
{
    DWORD code = GetLastError();
    wchar_t text[kMessageTextCapacity];
    const wchar_t* format = MessageCatalog::Load(id);
    if (format) {
        _snwprintf(text, kMessageTextCapacity - 1, format, (int)code);
        text[kMessageTextCapacity - 1] = L'\0';
    } else {
        // A missing text must not become a format string; show the code alone.
        _snwprintf(text, kMessageTextCapacity - 1, L"(%d)", (int)code);
        text[kMessageTextCapacity - 1] = L'\0';
    }
    ShowMessage(NULL, text, caption, flags);
}
