#include "dialogs/PropertyPageColor.h"
#include "text/MessageCatalog.h"
#include "resource.h"
#include <stdio.h>

enum { kItemHeader = 0, kItemQuote = 1, kPageStep = 10, kMaxLevel = 255 };

static const int kBars[3] = { IDC_COLOR_RED, IDC_COLOR_GREEN, IDC_COLOR_BLUE };
static const int kLabels[3] = { IDC_COLOR_RED_VALUE, IDC_COLOR_GREEN_VALUE, IDC_COLOR_BLUE_VALUE };

PropertyPageColor::PropertyPageColor(Settings* settings, HINSTANCE instance)
    : PropertyPage(IDD_PAGE_COLOR, IDS_PAGE_COLOR, settings, instance),
      selected_(kItemHeader)
{
}

static void SetLevel(HWND page, int which, int level)
{
    SetScrollPos(GetDlgItem(page, kBars[which]), SB_CTL, level, TRUE);
    wchar_t text[8];
    _snwprintf(text, 7, L"%d", level);
    text[7] = L'\0';
    SetDlgItemTextW(page, kLabels[which], text);
}

// The device has no GetScrollPos; a failed query reads as 0, as that did.
static int BarPosition(HWND bar)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    return GetScrollInfo(bar, SB_CTL, &info) ? info.nPos : 0;
}

static int Level(HWND page, int which)
{
    return BarPosition(GetDlgItem(page, kBars[which]));
}

COLORREF* PropertyPageColor::ColorOf(LRESULT item)
{
    return item == kItemQuote ? &settings_->ReferenceLine : &settings_->HeaderColor;
}

void PropertyPageColor::ShowColor(HWND page, COLORREF color)
{
    SetLevel(page, 0, GetRValue(color));
    SetLevel(page, 1, GetGValue(color));
    SetLevel(page, 2, GetBValue(color));
}

void PropertyPageColor::StoreBars(HWND page, LRESULT item)
{
    *ColorOf(item) = RGB(Level(page, 0), Level(page, 1), Level(page, 2));
}

void PropertyPageColor::Init(HWND page)
{
    HWND which = GetDlgItem(page, IDC_COLOR_WHICH);
    const wchar_t* text = MessageCatalog::Load(IDS_HEADER_LINE_COLOR);
    SendMessageW(which, CB_ADDSTRING, 0, (LPARAM)(text ? text : L""));
    text = MessageCatalog::Load(IDS_QUOTE_LINE_COLOR);
    SendMessageW(which, CB_ADDSTRING, 0, (LPARAM)(text ? text : L""));
    SendMessageW(which, CB_SETCURSEL, kItemHeader, 0);
    selected_ = kItemHeader;
    for (int i = 0; i < 3; i++)
        SetScrollRange(GetDlgItem(page, kBars[i]), SB_CTL, 0, kMaxLevel, FALSE);
    ShowColor(page, settings_->HeaderColor);
}

BOOL PropertyPageColor::Command(HWND page, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) != IDC_COLOR_WHICH || HIWORD(wParam) != CBN_SELCHANGE)
        return FALSE;
    LRESULT now = SendDlgItemMessageW(page, IDC_COLOR_WHICH, CB_GETCURSEL, 0, 0);
    if (now == CB_ERR)
        return TRUE;
    // The bars still show the item that was selected before the change.
    StoreBars(page, now == kItemHeader ? kItemQuote : kItemHeader);
    selected_ = now;
    ShowColor(page, *ColorOf(now));
    return TRUE;
}

BOOL PropertyPageColor::Apply(HWND page)
{
    LRESULT item = SendDlgItemMessageW(page, IDC_COLOR_WHICH, CB_GETCURSEL, 0, 0);
    StoreBars(page, item == CB_ERR ? selected_ : item);
    return TRUE;
}

void PropertyPageColor::OnScroll(HWND page, HWND bar, int code, int trackPosition)
{
    int which = -1;
    for (int i = 0; i < 3; i++)
        if (GetDlgItem(page, kBars[i]) == bar)
            which = i;
    if (which < 0)
        return;
    int level = BarPosition(bar);
    switch (code) {
    case SB_LINELEFT:  level = level > 0 ? level - 1 : 0; break;
    case SB_LINERIGHT: level = level < kMaxLevel ? level + 1 : kMaxLevel; break;
    case SB_PAGELEFT:  level = level > kPageStep ? level - kPageStep : 0; break;
    case SB_PAGERIGHT: level = level < kMaxLevel - kPageStep ? level + kPageStep : kMaxLevel; break;
    case SB_THUMBTRACK: level = trackPosition; break;
    default: break;
    }
    SetLevel(page, which, level);
}

INT_PTR PropertyPageColor::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_HSCROLL)
        return PropertyPage::OnMessage(message, wParam, lParam);
    OnScroll(dialog_, (HWND)lParam, LOWORD(wParam), (short)HIWORD(wParam));
    return TRUE;
}
