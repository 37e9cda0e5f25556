#include "dialogs/OutboxDialog.h"
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "dialogs/PostEditorDialog.h"
#include "store/Outbox.h"
#include "text/CodePage.h"
#include "text/DraftText.h"
#include "text/MessageCatalog.h"
#include "resource.h"

namespace {

enum { kCellChars = 600 };

// Each column's share of the list's width, in percent.
const struct { UINT title; int share; } kColumns[] = {
    {IDS_COLUMN_SUBJECT, 45}, {IDS_COLUMN_NEWSGROUP, 25}, {IDS_COLUMN_STATE, 30},
};

// A field of the post as wide text into `cell`.
void FieldText(const char* text, size_t length, const char* name, wchar_t* cell)
{
    const char* value = "";
    size_t valueLength = 0;
    DraftField(text, length, name, &value, &valueLength);
    char bytes[kCellChars];
    if (valueLength > kCellChars - 1)
        valueLength = kCellChars - 1;
    memcpy(bytes, value, valueLength);
    bytes[valueLength] = 0;
    wchar_t* wide = ToWide(bytes);
    wcsncpy(cell, wide ? wide : L"", kCellChars - 1);
    cell[kCellChars - 1] = 0;
    free(wide);
}

// "送信待ち", "拒否: 441 ..." and so on.
void StateText(const char* text, size_t length, wchar_t* cell)
{
    char reply[kPostReplySize];
    PostState state = Outbox::StateOf(text, length, reply, sizeof reply);
    const UINT ids[] = {IDS_FOLDER_DRAFT, IDS_FOLDER_OUTBOX, IDS_POST_STATE_SENT_ONCE, IDS_POST_STATE_REFUSED};
    const wchar_t* name = MessageCatalog::Load(ids[state]);
    wchar_t* why = reply[0] ? ToWide(reply) : NULL;
    _snwprintf(cell, kCellChars - 1, why ? L"%s: %s" : L"%s", name ? name : L"", why);
    cell[kCellChars - 1] = 0;
    free(why);
}

}  // namespace

INT_PTR OutboxDialog::Run(HINSTANCE instance, HWND owner)
{
    instance_ = instance;
    return ModalDialog::Run(instance, IDD_OUTBOX, owner);
}

BOOL OutboxDialog::OnInitDialog()
{
    HWND list = GetDlgItem(dialog_, IDC_OUTBOX_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    RECT area;
    GetClientRect(list, &area);
    for (int i = 0; i < (int)(sizeof kColumns / sizeof kColumns[0]); ++i) {
        wchar_t title[64];
        const wchar_t* loaded = MessageCatalog::Load(kColumns[i].title);
        wcsncpy(title, loaded ? loaded : L"", 63);
        title[63] = 0;
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.pszText = title;
        column.cx = (area.right - area.left) * kColumns[i].share / 100;
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, (LPARAM)&column);
    }
    Fill();
    return TRUE;
}

void OutboxDialog::Fill()
{
    HWND list = GetDlgItem(dialog_, IDC_OUTBOX_LIST);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    Outbox::Recover(settings_->DataPath);
    DWORD ids[kOutboxMax];
    size_t count = Outbox::List(settings_->DataPath, ids, kOutboxMax);
    for (size_t i = 0; i < count; ++i) {
        wchar_t path[kStorePathCapacity];
        size_t length;
        char* text = Outbox::PathOf(settings_->DataPath, ids[i], path) ? Outbox::Load(path, &length) : NULL;
        if (!text)
            continue;
        wchar_t cells[3][kCellChars];
        FieldText(text, length, "Subject", cells[0]);
        FieldText(text, length, "Newsgroups", cells[1]);
        StateText(text, length, cells[2]);
        free(text);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = (int)i;
        item.pszText = cells[0];
        item.lParam = (LPARAM)ids[i];
        int row = (int)SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
        for (int column = 1; column < 3; ++column) {
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.iSubItem = column;
            item.pszText = cells[column];
            SendMessageW(list, LVM_SETITEMTEXTW, row, (LPARAM)&item);
        }
    }
    if (count) {
        LVITEMW item = {};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, 0, (LPARAM)&item);
    }
}

BOOL OutboxDialog::Selected(wchar_t* path)
{
    HWND list = GetDlgItem(dialog_, IDC_OUTBOX_LIST);
    int row = (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (row < 0)
        return FALSE;
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&item);
    return Outbox::PathOf(settings_->DataPath, (DWORD)item.lParam, path);
}

BOOL OutboxDialog::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    wchar_t path[kStorePathCapacity];
    switch (id) {
    case IDC_OUTBOX_OPEN:
        if (Selected(path)) {
            OpenPost(instance_, dialog_, path, settings_);
            Fill();
        }
        return TRUE;
    case IDC_OUTBOX_QUEUE:
        if (Selected(path)) {
            size_t length;
            char* text = Outbox::Load(path, &length);
            if (text)
                QueueCheckedPost(dialog_, path, text, length, settings_);
            free(text);
            Fill();
        }
        return TRUE;
    case IDC_OUTBOX_DELETE:
        if (Selected(path)) {
            const wchar_t* text = MessageCatalog::Load(IDS_POST_DELETE_CONFIRM);
            if (ShowMessage(dialog_, text ? text : L"", kCaptionPelora, MB_YESNO | MB_ICONQUESTION) == IDYES)
                Outbox::Delete(path);
            Fill();
        }
        return TRUE;
    case IDOK:
    case IDCANCEL:
        End(IDOK);
        return TRUE;
    }
    return FALSE;
}

INT_PTR OutboxDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    NMHDR* header = (NMHDR*)lParam;
    if (message == WM_NOTIFY && header->idFrom == IDC_OUTBOX_LIST && header->code == NM_DBLCLK) {
        OnCommand(IDC_OUTBOX_OPEN, BN_CLICKED, 0);
        return TRUE;
    }
    return FALSE;
}
