#include "dialogs/PostEditorDialog.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "store/Outbox.h"
#include "text/CodePage.h"
#include "text/DraftText.h"
#include "text/MessageCatalog.h"
#include "text/PostComposer.h"
#include "resource.h"

namespace {

enum { kFieldChars = 1024 };

const char kCheckId[] = "<check@pelora.invalid>";

// The text of a control as Shift_JIS; none when it cannot be had.
char* ControlText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthW(control);
    wchar_t* wide = (wchar_t*)malloc((length + 1) * sizeof(wchar_t));
    if (!wide)
        return NULL;
    GetWindowTextW(control, wide, length + 1);
    char* text = ToMultiByte(wide);
    free(wide);
    return text;
}

void ShowField(HWND dialog, int id, const char* text, size_t length)
{
    char* copy = (char*)malloc(length + 1);
    if (!copy)
        return;
    memcpy(copy, text, length);
    copy[length] = 0;
    wchar_t* wide = ToWide(copy);
    free(copy);
    if (wide)
        SetDlgItemTextW(dialog, id, wide);
    free(wide);
}

// The box of a refused post: the line and the character it cannot carry.
void ShowFault(HWND owner, const PostFault& fault)
{
    wchar_t text[kFieldChars];
    wchar_t* character = ToWide(fault.character);
    const wchar_t* format = NULL;
    switch (fault.kind) {
    case kPostBadCharacter:
        if (fault.field) {
            const wchar_t* field = MessageCatalog::Load(strcmp(fault.field, "Subject") == 0 ? IDS_COLUMN_SUBJECT
                                                                                           : IDS_PAGE_USER);
            wchar_t name[64];
            wcsncpy(name, field ? field : L"", 63);
            name[63] = 0;
            format = MessageCatalog::Load(IDS_POST_BAD_FIELD_CHARACTER);
            _snwprintf(text, kFieldChars - 1, format ? format : L"%s %s", name, character ? character : L"");
        } else {
            format = MessageCatalog::Load(IDS_POST_BAD_CHARACTER);
            _snwprintf(text, kFieldChars - 1, format ? format : L"%d %s", (int)fault.line,
                       character ? character : L"");
        }
        break;
    case kPostLongLine:
        format = MessageCatalog::Load(IDS_POST_LONG_LINE);
        _snwprintf(text, kFieldChars - 1, format ? format : L"%d", (int)fault.line);
        break;
    case kPostNoAddress:
        format = MessageCatalog::Load(IDS_SET_USER_NAME);
        wcsncpy(text, format ? format : L"", kFieldChars - 1);
        break;
    default:
        format = MessageCatalog::Load(IDS_POST_NO_GROUP);
        wcsncpy(text, format ? format : L"", kFieldChars - 1);
        break;
    }
    text[kFieldChars - 1] = 0;
    free(character);
    ShowMessage(owner, text, kCaptionPelora, MB_ICONEXCLAMATION);
}

void ShowSaveFailure(HWND owner, UINT id)
{
    ShowMessage(owner, FormatErrorMessage(id), kCaptionPelora, MB_ICONHAND);
}

}  // namespace

BOOL QueueCheckedPost(HWND owner, const wchar_t* path, const char* text, size_t length,
                      const Settings* settings)
{
    // The Message-ID comes with the queueing; the check needs one to stand in.
    const char* id;
    size_t idLength;
    size_t checkedLength = length;
    char* checked = NULL;
    if (!DraftField(text, length, "Message-ID", &id, &idLength) &&
        !(checked = SetDraftField(text, length, "Message-ID", kCheckId, &checkedLength))) {
        ShowSaveFailure(owner, IDS_POST_SAVE_FAILED);
        return FALSE;
    }
    Poster poster = {settings->UserName, settings->MailAddress, settings->Organization};
    PostFault fault;
    BOOL fits = CheckPost(checked ? checked : text, checkedLength, poster, &fault);
    free(checked);
    if (!fits) {
        ShowFault(owner, fault);
        return FALSE;
    }
    if (!Outbox::Queue(path, text, length, settings->MailAddress)) {
        ShowSaveFailure(owner, IDS_POST_SAVE_FAILED);
        return FALSE;
    }
    return TRUE;
}

INT_PTR OpenPost(HINSTANCE instance, HWND owner, const wchar_t* path, const Settings* settings)
{
    if (settings->EditorPath && settings->EditorPath[0]) {
        wchar_t line[kStorePathCapacity + 4];
        _snwprintf(line, kStorePathCapacity + 3, L"\"%s\"", path);
        line[kStorePathCapacity + 3] = 0;
        PROCESS_INFORMATION process;
        if (!CreateProcessW(settings->EditorPath, line, NULL, NULL, FALSE, 0, NULL, NULL, NULL, &process)) {
            ShowSaveFailure(owner, IDS_POST_EDITOR_FAILED);
            return -1;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return IDOK;
    }
    PostEditorDialog editor(path, settings);
    return editor.Run(instance, owner);
}

PostEditorDialog::PostEditorDialog(const wchar_t* path, const Settings* settings)
    : settings_(settings), original_(NULL), originalLength_(0), loading_(FALSE), changed_(FALSE)
{
    wcsncpy(path_, path, kStorePathCapacity - 1);
    path_[kStorePathCapacity - 1] = 0;
}

PostEditorDialog::~PostEditorDialog()
{
    free(original_);
}

INT_PTR PostEditorDialog::Run(HINSTANCE instance, HWND owner)
{
    original_ = Outbox::Load(path_, &originalLength_);
    if (!original_) {
        ShowSaveFailure(owner, IDS_POST_SAVE_FAILED);
        return -1;
    }
    return ModalDialog::Run(instance, IDD_POST_EDITOR, owner);
}

BOOL PostEditorDialog::OnInitDialog()
{
    loading_ = TRUE;
    const char* value;
    size_t length;
    if (DraftField(original_, originalLength_, "Newsgroups", &value, &length))
        ShowField(dialog_, IDC_EDITOR_GROUP, value, length);
    if (DraftField(original_, originalLength_, "Subject", &value, &length))
        ShowField(dialog_, IDC_EDITOR_SUBJECT, value, length);
    size_t body = DraftBodyStart(original_, originalLength_);
    ShowField(dialog_, IDC_EDITOR_BODY, original_ + body, originalLength_ - body);
    loading_ = FALSE;
    SetFocus(GetDlgItem(dialog_, GetWindowTextLengthW(GetDlgItem(dialog_, IDC_EDITOR_SUBJECT)) ? IDC_EDITOR_BODY
                                                                                                : IDC_EDITOR_SUBJECT));
    return FALSE;
}

// The post as the controls show it, with the fields of the file kept but
// its state: an edited post is a draft again.
char* PostEditorDialog::Compose(size_t* length)
{
    char* group = ControlText(dialog_, IDC_EDITOR_GROUP);
    char* subject = ControlText(dialog_, IDC_EDITOR_SUBJECT);
    char* body = ControlText(dialog_, IDC_EDITOR_BODY);
    char* text = NULL;
    if (group && subject && body) {
        size_t fieldsLength = DraftBodyStart(original_, originalLength_);
        char* steps[4] = {NULL, NULL, NULL, NULL};
        size_t stepLength = fieldsLength;
        const char* names[4] = {"Newsgroups", "Subject", kPostStateField, kPostReplyField};
        const char* values[4] = {group, subject, NULL, NULL};
        const char* from = original_;
        for (int i = 0; i < 4 && from; ++i) {
            steps[i] = SetDraftField(from, stepLength, names[i], values[i], &stepLength);
            from = steps[i];
        }
        if (from) {
            size_t bodyLength = strlen(body);
            text = (char*)malloc(stepLength + bodyLength + 1);
            if (text) {
                memcpy(text, from, stepLength);
                memcpy(text + stepLength, body, bodyLength + 1);
                *length = stepLength + bodyLength;
            }
        }
        for (int i = 0; i < 4; ++i)
            free(steps[i]);
    }
    free(group);
    free(subject);
    free(body);
    return text;
}

BOOL PostEditorDialog::Save()
{
    size_t length;
    char* text = Compose(&length);
    BOOL saved = text && Outbox::Save(path_, text, length);
    if (saved) {
        free(original_);
        original_ = text;
        originalLength_ = length;
        changed_ = FALSE;
    } else {
        free(text);
    }
    return saved;
}

BOOL PostEditorDialog::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    switch (id) {
    case IDC_EDITOR_GROUP:
    case IDC_EDITOR_SUBJECT:
    case IDC_EDITOR_BODY:
        // Saved with every change: a kill loses nothing that was on screen.
        if (code == EN_CHANGE && !loading_) {
            changed_ = TRUE;
            Save();
        }
        return TRUE;
    case IDC_EDITOR_QUEUE:
        // Queued as the controls show it, whatever notice of a change came.
        if (Save() && QueueCheckedPost(dialog_, path_, original_, originalLength_, settings_))
            End(IDC_EDITOR_QUEUE);
        return TRUE;
    case IDC_EDITOR_DELETE: {
        const wchar_t* text = MessageCatalog::Load(IDS_POST_DELETE_CONFIRM);
        if (ShowMessage(dialog_, text ? text : L"", kCaptionPelora, MB_YESNO | MB_ICONQUESTION) == IDYES) {
            if (Outbox::Delete(path_))
                End(IDC_EDITOR_DELETE);
            else
                ShowSaveFailure(dialog_, IDS_POST_SAVE_FAILED);
        }
        return TRUE;
    }
    case IDOK:
    case IDCANCEL:
        if (changed_ && !Save()) {
            ShowSaveFailure(dialog_, IDS_POST_SAVE_FAILED);
            return TRUE;
        }
        End(IDOK);
        return TRUE;
    }
    return FALSE;
}
