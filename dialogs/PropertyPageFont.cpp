#include "dialogs/PropertyPageFont.h"
#include "resource.h"
#include "settings/GdiScope.h"
#include <stdio.h>
#include <wchar.h>

enum { kSmallestSize = 8, kLargestSize = 18 };

PropertyPageFont::PropertyPageFont(Settings* settings, HINSTANCE instance)
    : PropertyPage(IDD_PAGE_FONT, IDS_PAGE_FONT, settings, instance)
{
}

static int CALLBACK AddFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM list)
{
    // Vertical faces start with an at sign; they are no choice for a view.
    if (font->lfFaceName[0] != L'@')
        SendMessageW((HWND)list, CB_ADDSTRING, 0, (LPARAM)font->lfFaceName);
    return 1;
}

static void FillSizes(HWND list, DWORD size)
{
    for (int s = kSmallestSize; s <= kLargestSize; s++) {
        wchar_t text[8];
        _snwprintf(text, 7, L"%d", s);
        text[7] = L'\0';
        SendMessageW(list, CB_ADDSTRING, 0, (LPARAM)text);
    }
    WPARAM index = 0;
    if (size >= kSmallestSize && size <= kLargestSize)
        index = size - kSmallestSize;
    SendMessageW(list, CB_SETCURSEL, index, 0);
}

static void EnableLists(HWND page, BOOL enable)
{
    EnableWindow(GetDlgItem(page, IDC_FONT_NAME), enable);
    EnableWindow(GetDlgItem(page, IDC_FONT_SUBJECT_SIZE), enable);
    EnableWindow(GetDlgItem(page, IDC_FONT_ARTICLE_SIZE), enable);
}

void PropertyPageFont::Init(HWND page)
{
    HWND names = GetDlgItem(page, IDC_FONT_NAME);
    WindowDc dc(page);
    EnumFontFamiliesW(dc.Get(), NULL, AddFamily, (LPARAM)names);
    LRESULT found = SendMessageW(names, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)settings_->FontName);
    SendMessageW(names, CB_SETCURSEL, found == CB_ERR ? 0 : found, 0);

    FillSizes(GetDlgItem(page, IDC_FONT_SUBJECT_SIZE), settings_->FontSizeS);
    FillSizes(GetDlgItem(page, IDC_FONT_ARTICLE_SIZE), settings_->FontSizeA);
    if (settings_->FontSizeA == 0xFFFFFFFF) {
        CheckDlgButton(page, IDC_FONT_NO_OWN, BST_CHECKED);
        EnableLists(page, FALSE);
    }
}

BOOL PropertyPageFont::Command(HWND page, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_FONT_NO_OWN && HIWORD(wParam) == BN_CLICKED) {
        EnableLists(page, IsDlgButtonChecked(page, IDC_FONT_NO_OWN) != BST_CHECKED);
        return TRUE;
    }
    return FALSE;
}

static DWORD SelectedSize(HWND page, int id)
{
    LRESULT index = SendDlgItemMessageW(page, id, CB_GETCURSEL, 0, 0);
    return (DWORD)((index == CB_ERR ? 0 : index) + kSmallestSize);
}

BOOL PropertyPageFont::Apply(HWND page)
{
    if (IsDlgButtonChecked(page, IDC_FONT_NO_OWN) == BST_CHECKED) {
        settings_->FontName[0] = L'\0';
        settings_->FontSizeA = 0xFFFFFFFF;
        settings_->FontSizeS = 0xFFFFFFFF;
    } else {
        HWND names = GetDlgItem(page, IDC_FONT_NAME);
        LRESULT index = SendMessageW(names, CB_GETCURSEL, 0, 0);
        if (index != CB_ERR &&
            SendMessageW(names, CB_GETLBTEXTLEN, index, 0) < kFontNameCapacity)
            SendMessageW(names, CB_GETLBTEXT, index, (LPARAM)settings_->FontName);
        settings_->FontSizeA = SelectedSize(page, IDC_FONT_ARTICLE_SIZE);
        settings_->FontSizeS = SelectedSize(page, IDC_FONT_SUBJECT_SIZE);
    }
    Settings::MakeFont(&settings_->ArticleFont, settings_->FontName, settings_->FontSizeA);
    Settings::MakeFont(&settings_->SubjectFont, settings_->FontName, settings_->FontSizeS);
    return TRUE;
}
