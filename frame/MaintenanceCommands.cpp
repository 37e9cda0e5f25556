#include "frame/MaintenanceCommands.h"
#include "resource.h"
#include "text/MessageCatalog.h"
#include <stdlib.h>
#include "frame/GroupView.h"
#include "frame/MainFrame.h"
#include "nntp/GroupCursor.h"
#include "dialogs/SubscribeDialog.h"
#include "dialogs/KeywordFilterDialog.h"
#include "views/SubjectView.h"
#include "dialogs/CatchUpDialog.h"
#include "store/GroupMaintenance.h"
#include "store/GroupRecord.h"

// A group whose compaction failed is named in its box; the others go on.
static void ReportCompactFailure(const wchar_t* groupName, DWORD error, void*)
{
    SetLastError(error);
    ShowErrorBox(IDS_DELETE_READ_FAILED, groupName, MB_ICONEXCLAMATION);
}

BOOL DeleteReadArticlesCommand(const wchar_t* dataPath)
{
    const wchar_t* question = MessageCatalog::Load(IDS_DELETE_READ_CONFIRM);
    if (ShowMessage(NULL, question ? question : L"", L"Delete read articles", MB_YESNO | MB_ICONQUESTION) == IDNO)
        return FALSE;
    if (!CompactAllGroups(dataPath, ReportCompactFailure, NULL)) {
        // The table has no text of its own for an unreadable group.dat.
        ShowErrorBox(IDS_GROUP_LIST_FAILED, kCaptionPelora, MB_ICONHAND);
        return FALSE;
    }
    return TRUE;
}

BOOL CatchUpCommand(HINSTANCE instance, HWND frameWindow, GroupView* groupView, const wchar_t* dataPath)
{
    wchar_t name[kGroupNameCapacity];
    UINT row = 0;
    if (groupView->GetSelected(name, kGroupNameCapacity, &row) <= 0)
        return FALSE;
    GroupRecord group;
    group.Reset();
    if (!group.SetNames(dataPath, name)) {
        ShowErrorBox(IDS_INDEX_INIT_FAILED);
        group.Release();
        return FALSE;
    }
    CatchUpDialog choice;
    RunCatchUpDialog(&choice, instance, frameWindow);
    BOOL changed = FALSE;
    if (choice.catchUpLocal) {
        if (MarkAllRead(&group))
            groupView->SetUnreadCount(row, 0);
        else
            ShowErrorBox(IDS_MARK_READ_FAILED, L"Catch up local");
    }
    if (choice.catchUpServer) {
        if (CatchUpServer(&group))
            changed = TRUE;
        else
            ShowErrorBox(IDS_SET_FAILED, L"Catch up server");
    }
    group.Release();
    return changed;
}

void FrameDeleteReadArticles(MainFrame* frame)
{
    if (DeleteReadArticlesCommand(frame->CurrentSettings().DataPath))
        frame->ReinitializeData();
}

void FrameSubscribe(MainFrame* frame)
{
    Settings& settings = frame->CurrentSettings();
    if (RunSubscribeDialog(frame->Instance(), frame->Window(), settings.DataPath, &settings) == IDOK)
        frame->ReinitializeData();
}

void FrameCatchUp(MainFrame* frame)
{
    if (CatchUpCommand(frame->Instance(), frame->Window(), frame->Groups(), frame->CurrentSettings().DataPath))
        frame->ReinitializeData();
}

void FrameKeywordFilter(MainFrame* frame)
{
    SubjectView* subjects = frame->Subjects();
    // Without a readable subject the field starts empty.
    wchar_t* subject = subjects->List().SelectedSubjectText();
    if (RunKeywordFilterDialog(frame->Instance(), frame->Window(), subjects->List().FilterPath(), subject) == IDOK)
        subjects->ReapplyFilter();
    free(subject);
}
