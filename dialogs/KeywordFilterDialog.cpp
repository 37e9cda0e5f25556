#include "dialogs/KeywordFilterDialog.h"
#include <stdio.h>
#include <string.h>
#include <stdlib.h>
#include <wchar.h>
#include "resource.h"
#include "text/MessageCatalog.h"
#include "store/FileRewrite.h"
#include "store/FilterChange.h"
#include "store/LineReader.h"
#include "text/CodePage.h"

enum { kLevelNormal = 0, kLevelLow = 1, kLevelHigh = 2 };
enum { kKeywordTextCapacity = 1024 };

// Out of memory has no code to show: a plain text box.
static void ShowOutOfMemory()
{
    const wchar_t* text = MessageCatalog::Load(IDS_OUT_OF_MEMORY);
    ShowMessage(NULL, text ? text : L"", kCaptionPelora, MB_ICONHAND);
}

static void SelectRadio(HWND dialog, LRESULT level)
{
    int id = level == kLevelHigh ? IDC_FILTER_HIGH : level == kLevelLow ? IDC_FILTER_LOW : IDC_FILTER_NORMAL;
    CheckRadioButton(dialog, IDC_FILTER_HIGH, IDC_FILTER_LOW, id);
}

// Adds `text` to the sorted list with its level; CB_ERR when the box is full.
static LRESULT AddKeyword(HWND combo, const wchar_t* text, LRESULT level)
{
    LRESULT item = SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)text);
    if (item == CB_ERR || item == CB_ERRSPACE)
        return CB_ERR;
    SendMessageW(combo, CB_SETITEMDATA, item, level);
    return item;
}

// The item whose text is `text`, case and all; CB_ERR when there is none.
// The combo box's own exact search ignores case.
static LRESULT FindKeyword(HWND combo, const wchar_t* text)
{
    size_t wanted = wcslen(text);
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT item = 0; item < count; ++item) {
        LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, item, 0);
        if (length == CB_ERR || (size_t)length != wanted)
            continue;
        wchar_t* candidate = (wchar_t*)malloc((length + 1) * sizeof(wchar_t));
        if (!candidate)
            return CB_ERR;
        SendMessageW(combo, CB_GETLBTEXT, item, (LPARAM)candidate);
        BOOL same = wcscmp(candidate, text) == 0;
        free(candidate);
        if (same)
            return item;
    }
    return CB_ERR;
}

static void LoadKeywords(KeywordFilterDialog* context, HWND combo)
{
    HANDLE file = CreateFileW(context->filterPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            ShowErrorBox(IDS_FILE_OPEN_FAILED, context->filterPath);
        return;
    }
    LineReader reader;
    reader.Init(file);
    char line[kStoreLineCapacity];
    while (reader.ReadLine(line, sizeof line, TRUE)) {
        if (line[0] == '\0')
            continue;
        // The keyword starts at the third byte: "+ " or "- ".
        const char* keyword = strlen(line) >= 2 ? line + 2 : "";
        wchar_t* wide = ToWide(keyword);
        LRESULT added = wide ? AddKeyword(combo, wide, line[0] == '+' ? kLevelHigh : kLevelLow) : CB_ERR;
        free(wide);
        if (added == CB_ERR) {
            ShowOutOfMemory();
            break;
        }
    }
    CloseHandle(file);
}

BOOL KeywordFilterDialog::OnInitDialog()
{
    KeywordFilterDialog* context = this;
    HWND combo = GetDlgItem(context->Window(), IDC_FILTER_KEYWORDS);
    SelectRadio(context->Window(), kLevelNormal);
    const wchar_t* initial = context->initialText ? context->initialText : L"";
    LRESULT item = AddKeyword(combo, initial, kLevelNormal);
    SendMessageW(combo, CB_SETCURSEL, item, 0);
    LoadKeywords(context, combo);
    LRESULT exact = FindKeyword(combo, initial);
    if (exact != CB_ERR)
        SendMessageW(combo, CB_SETCURSEL, exact, 0);
    return TRUE;
}

static void OnSelectionChange(KeywordFilterDialog* context)
{
    HWND combo = GetDlgItem(context->Window(), IDC_FILTER_KEYWORDS);
    LRESULT item = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (item != CB_ERR)
        SelectRadio(context->Window(), SendMessageW(combo, CB_GETITEMDATA, item, 0));
}

// Gives the current item (or the typed text, added when new) the level of
// the radio buttons.
static void ApplyRadioButtons(KeywordFilterDialog* context)
{
    HWND dialog = context->Window();
    LRESULT level = kLevelNormal;
    if (IsDlgButtonChecked(dialog, IDC_FILTER_HIGH) == BST_CHECKED)
        level = kLevelHigh;
    else if (IsDlgButtonChecked(dialog, IDC_FILTER_LOW) == BST_CHECKED)
        level = kLevelLow;
    HWND combo = GetDlgItem(dialog, IDC_FILTER_KEYWORDS);
    LRESULT item = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR) {
        wchar_t text[kKeywordTextCapacity];
        GetWindowTextW(combo, text, kKeywordTextCapacity);
        item = FindKeyword(combo, text);
        if (item == CB_ERR)
            item = AddKeyword(combo, text, level);
        if (item == CB_ERR)
            return;
        SendMessageW(combo, CB_SETCURSEL, item, 0);
    }
    SendMessageW(combo, CB_SETITEMDATA, item, level);
}

// Writes every keyword of a level into `file`; 0 after a box was shown.
static BOOL WriteKeywords(KeywordFilterDialog* context, FileRewrite* file)
{
    HWND combo = GetDlgItem(context->Window(), IDC_FILTER_KEYWORDS);
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT item = 0; item < count; ++item) {
        LRESULT level = SendMessageW(combo, CB_GETITEMDATA, item, 0);
        LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, item, 0);
        wchar_t* text = length == CB_ERR ? NULL : (wchar_t*)malloc((length + 1) * sizeof(wchar_t));
        if (text)
            SendMessageW(combo, CB_GETLBTEXT, item, (LPARAM)text);
        char* bytes = text ? ToMultiByte(text) : NULL;
        free(text);
        if (!bytes) {
            ShowOutOfMemory();
            return FALSE;
        }
        BOOL ok = TRUE;
        if (level == kLevelHigh || level == kLevelLow) {
            ok = file->Write(level == kLevelHigh ? "+ " : "- ", 2) &&
                 file->Write(bytes, (DWORD)strlen(bytes)) && file->Write("\r\n", 2);
        }
        free(bytes);
        if (!ok) {
            ShowErrorBox(IDS_FILTER_WRITE_FAILED, file->TempPath());
            return FALSE;
        }
    }
    return TRUE;
}

// The old list is replaced only by a whole new one, in one step; the
// change stays marked until the group's records follow it.
static INT_PTR OnSave(KeywordFilterDialog* context)
{
    ApplyRadioButtons(context);
    FileRewrite file;
    file.Construct();
    if (!file.Open(context->filterPath)) {
        ShowErrorBox(IDS_FILE_OPEN_FAILED, context->filterPath);
        return IDCANCEL;
    }
    if (!WriteKeywords(context, &file) || !CommitFilterChange(&file, context->filterPath)) {
        file.Abandon();
        return IDCANCEL;
    }
    return IDOK;
}

BOOL KeywordFilterDialog::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    switch (id) {
    case IDOK:
        End(OnSave(this));
        break;
    case IDCANCEL:
        End(IDCANCEL);
        break;
    case IDC_FILTER_KEYWORDS:
        if (code == CBN_SELCHANGE)
            OnSelectionChange(this);
        break;
    case IDC_FILTER_HIGH:
    case IDC_FILTER_NORMAL:
    case IDC_FILTER_LOW:
        ApplyRadioButtons(this);
        break;
    }
    return TRUE;
}

INT_PTR RunKeywordFilterDialog(HINSTANCE instance, HWND owner, const wchar_t* filterPath,
                               const wchar_t* initialText)
{
    KeywordFilterDialog context;
    context.filterPath = filterPath;
    context.initialText = initialText;
    return context.Run(instance, IDD_KEYWORD_FILTER, owner) == IDOK ? IDOK : IDCANCEL;
}
