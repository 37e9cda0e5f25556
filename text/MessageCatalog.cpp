#include "text/MessageCatalog.h"
#include <stdio.h>

// Writes `format` with every "%d" replaced by `code` and "%%" by "%", into at
// most `capacity` characters, terminated. Any other conversion is copied as
// it stands: a text that was written for "%s" must not read a pointer that
// was never passed.
static void FormatCode(wchar_t* out, size_t capacity, const wchar_t* format, DWORD code)
{
    wchar_t number[16];
    _snwprintf(number, 16, L"%d", (int)code);
    number[15] = L'\0';
    size_t length = 0;
    for (const wchar_t* p = format; *p && length + 1 < capacity; ++p) {
        if (p[0] == L'%' && p[1] == L'd') {
            for (const wchar_t* n = number; *n && length + 1 < capacity; ++n)
                out[length++] = *n;
            ++p;
        } else if (p[0] == L'%' && p[1] == L'%') {
            out[length++] = L'%';
            ++p;
        } else {
            out[length++] = *p;
        }
    }
    out[length] = L'\0';
}

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
    FormatCode(g_lastErrorText, kMessageTextCapacity, format, code);
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

// `text` holds kMessageTextCapacity characters.
static void FormatError(wchar_t* text, UINT id)
{
    DWORD code = GetLastError();
    const wchar_t* format = MessageCatalog::Load(id);
    // A missing text shows the code alone.
    FormatCode(text, kMessageTextCapacity, format ? format : L"(%d)", code);
}

const wchar_t* FormatErrorMessage(UINT id)
{
    FormatError(g_lastErrorText, id);
    return g_lastErrorText;
}

void ShowErrorBox(UINT id, const wchar_t* caption, UINT flags)
{
    wchar_t text[kMessageTextCapacity];
    FormatError(text, id);
    ShowMessage(NULL, text, caption, flags);
}
