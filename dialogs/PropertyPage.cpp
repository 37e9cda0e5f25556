#include "dialogs/PropertyPage.h"
#include "text/MessageCatalog.h"
#include <commctrl.h>
#include <prsht.h>
#include <stdio.h>
#include <wchar.h>

PropertyPage::PropertyPage(WORD templateId, UINT titleId, Settings* settings, HINSTANCE instance)
    : settings_(settings), instance_(instance), template_(templateId)
{
    const wchar_t* title = MessageCatalog::Load(titleId);
    wcsncpy(title_, title ? title : L"", kPageTitleCapacity - 1);
    title_[kPageTitleCapacity - 1] = L'\0';
}

PropertyPage::~PropertyPage()
{
}

void PropertyPage::Init(HWND page)
{
}

BOOL PropertyPage::Command(HWND page, WPARAM wParam, LPARAM lParam)
{
    return FALSE;
}

BOOL PropertyPage::Apply(HWND page)
{
    return TRUE;
}

void PropertyPage::Refuse(HWND page, int id)
{
    HWND field = GetDlgItem(page, id);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
}

BOOL PropertyPage::ReadNumber(HWND page, int id, int capacity, DWORD* value)
{
    wchar_t text[261];
    if (capacity > 261)
        capacity = 261;
    GetDlgItemTextW(page, id, text, capacity);
    unsigned long long number = 0;
    for (const wchar_t* p = text; *p; p++) {
        if (*p < L'0' || *p > L'9') {
            Refuse(page, id);
            return FALSE;
        }
        number = number * 10 + (unsigned)(*p - L'0');
        // A number that does not fit would be stored as another one.
        if (number > 0xFFFFFFFFull) {
            Refuse(page, id);
            return FALSE;
        }
    }
    *value = (DWORD)number;
    return TRUE;
}

void PropertyPage::ShowNumber(HWND page, int id, DWORD value)
{
    wchar_t text[16];
    _snwprintf(text, 15, L"%d", (int)value);
    text[15] = L'\0';
    SetDlgItemTextW(page, id, text);
}

// A page's creation parameter is its sheet entry, which carries the object.
INT_PTR CALLBACK PropertyPage::SharedProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    PropertyPage* created = message == WM_INITDIALOG ? (PropertyPage*)((PROPSHEETPAGEW*)lParam)->lParam : NULL;
    return Handle(page, message, wParam, lParam, created);
}

BOOL PropertyPage::OnInitDialog()
{
    Init(dialog_);
    return TRUE;
}

BOOL PropertyPage::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    return Command(dialog_, MAKEWPARAM(id, code), lParam);
}

INT_PTR PropertyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_NOTIFY)
        return FALSE;
    NMHDR* header = (NMHDR*)lParam;
    if (header->code == PSN_KILLACTIVE) {
        SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, Apply(dialog_) ? FALSE : TRUE);
        return TRUE;
    }
    if (header->code == PSN_APPLY) {
        SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, Apply(dialog_) ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
        return TRUE;
    }
    return FALSE;
}
