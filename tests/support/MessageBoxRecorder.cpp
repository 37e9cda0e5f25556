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

testing::AssertionResult MessageBoxRecorder::Showed(size_t count, size_t index, const std::wstring& text,
                                                    const std::wstring& caption, UINT flags) const
{
    if (boxes_.size() != count || index >= count)
        return testing::AssertionFailure() << boxes_.size() << " boxes shown, not " << count;
    const RecordedBox& box = boxes_[index];
    if (box.text == text && box.caption == caption && box.flags == flags)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "box " << index << " is " << testing::PrintToString(box.text)
                                       << " under " << testing::PrintToString(box.caption)
                                       << " with flags " << box.flags;
}
