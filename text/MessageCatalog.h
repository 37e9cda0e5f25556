// Texts of the string table by id, the last-error formatter, and the one
// function every message box of the program goes through.
#pragma once
#include <windows.h>

enum { kMessageTextCapacity = 1024 };

// The caption of the program's own boxes.
inline constexpr wchar_t kCaptionPelora[] = L"PELORA";

class MessageCatalog {
public:
    // The module the texts are loaded from; set first thing at start-up.
    static void SetInstance(HINSTANCE instance);
    static HINSTANCE Instance();
    // The text of `id` in the shared buffer, valid until the next Load by
    // anyone; none when the table has no text for `id`.
    static const wchar_t* Load(UINT id);

private:
    wchar_t text_[kMessageTextCapacity];
    DWORD reserved_;
    HINSTANCE instance_;
    static MessageCatalog shared_;
};

// `format` with the thread's last error (signed decimal) in place of "%d",
// in a shared buffer valid until the next call; other conversions are
// copied as they stand. The last error is read before anything else.
const wchar_t* FormatLastError(const wchar_t* format);
// Message `id` formatted so, in the same buffer; an id without a text gives
// "(code)".
const wchar_t* FormatErrorMessage(UINT id);

// Every message box goes through here, so that tests can answer it.
typedef int (*MessageBoxHook)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);
void SetMessageBoxHook(MessageBoxHook hook);
int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);

// Error with code: message `id` formatted with the last error (read first),
// no owner, hand icon, caption "PELORA" unless another is given. An id
// without a text shows "(code)".
void ShowErrorBox(UINT id, const wchar_t* caption = kCaptionPelora, UINT flags = MB_ICONHAND);
