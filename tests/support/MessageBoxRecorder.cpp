#include "support/MessageBoxRecorder.h"
#include "text/MessageCatalog.h"

MessageBoxRecorder* MessageBoxRecorder::current_;

MessageBoxRecorder::MessageBoxRecorder(int answer) : answer_(answer)
{
    current_ = this;
    SetMessageBoxHook(&MessageBoxRecorder::Hook);
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    SetMessageBoxHook(NULL);
    current_ = NULL;
}

int MessageBoxRecorder::Hook(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    MessageBoxRecorder* self = current_;
    if (!self)
        return IDOK;
    RecordedBox box = {text ? text : L"", caption ? caption : L"", flags, owner};
    self->boxes_.push_back(box);
    return self->answer_;
}
