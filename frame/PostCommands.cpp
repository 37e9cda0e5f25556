#include "frame/PostCommands.h"
#include <stdlib.h>
#include <string.h>
#include "dialogs/OutboxDialog.h"
#include "dialogs/PostEditorDialog.h"
#include "frame/GroupView.h"
#include "frame/MainFrame.h"
#include "nntp/GroupCursor.h"
#include "store/Outbox.h"
#include "text/CodePage.h"
#include "text/FollowUp.h"
#include "text/MessageCatalog.h"
#include "resource.h"

namespace {

// Saves `text` as a new post of the draft folder and opens it.
void OpenNew(MainFrame* frame, const char* text, size_t length)
{
    Settings& settings = frame->CurrentSettings();
    wchar_t path[kStorePathCapacity];
    if (!Outbox::PathOf(settings.DataPath, Outbox::NewId(settings.DataPath), path) ||
        !Outbox::Save(path, text, length)) {
        ShowMessage(frame->Window(), FormatErrorMessage(IDS_POST_SAVE_FAILED), kCaptionPelora, MB_ICONHAND);
        return;
    }
    OpenPost(frame->Instance(), frame->Window(), path, &settings);
}

}  // namespace

void FrameNewPost(MainFrame* frame)
{
    wchar_t name[kGroupNameCapacity];
    UINT row = 0;
    if (frame->Groups()->GetSelected(name, kGroupNameCapacity, &row) <= 0)
        return;
    char* group = ToMultiByte(name);
    if (!group)
        return;
    const char head[] = "Newsgroups: ", tail[] = "\r\nSubject: \r\n\r\n";
    size_t length = strlen(head) + strlen(group) + strlen(tail);
    char* text = (char*)malloc(length + 1);
    if (text) {
        strcpy(text, head);
        strcat(text, group);
        strcat(text, tail);
        OpenNew(frame, text, length);
    }
    free(text);
    free(group);
}

void FrameFollowUp(MainFrame* frame)
{
    const wchar_t* shown = frame->Text().Text();
    char* article = shown ? ToMultiByte(shown) : NULL;
    if (!article)
        return;
    size_t length;
    char* text = MakeFollowUp(article, strlen(article), &length);
    if (text)
        OpenNew(frame, text, length);
    free(text);
    free(article);
}

void FrameOutbox(MainFrame* frame)
{
    OutboxDialog outbox(&frame->CurrentSettings());
    outbox.Run(frame->Instance(), frame->Window());
}
