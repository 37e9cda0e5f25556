// Records every message box the code under test shows, and answers it.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>

struct RecordedBox {
    std::wstring text;
    std::wstring caption;
    UINT flags;
    HWND owner;
};

class MessageBoxRecorder {
public:
    // Installs itself for its lifetime; boxes are answered with `answer`.
    explicit MessageBoxRecorder(int answer = IDOK);
    ~MessageBoxRecorder();
    void SetAnswer(int answer) { answer_ = answer; }
    const std::vector<RecordedBox>& Boxes() const { return boxes_; }
    // `count` boxes were shown, and box `index` of them is this one.
    testing::AssertionResult Showed(size_t count, size_t index, const std::wstring& text,
                                    const std::wstring& caption, UINT flags) const;
    void Clear() { boxes_.clear(); }

private:
    static int Hook(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);
    std::vector<RecordedBox> boxes_;
    int answer_;
    static MessageBoxRecorder* current_;
};
