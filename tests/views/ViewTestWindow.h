// What the view tests share: a parent that records the views' notifications,
// a 14-pixel font, keys and scroll messages sent to the view.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <vector>
#include "settings/GdiScope.h"
#include "support/DialogDriver.h"

struct Notification {
    UINT id, code;
    HWND from;
};

// One parent for the whole program (top-level windows are slow under Wine): 640 x 240, shown, keeping the
// WM_COMMAND messages of its children in g_viewNotifications; the view classes are registered with it.
HWND ViewParent();
extern std::vector<Notification> g_viewNotifications;

class ViewTest : public testing::Test {
protected:
    void SetUp() override { g_viewNotifications.clear(); }
    // After the view, which the fixtures close in TearDown.
    ~ViewTest() override { DeleteObject(font_); }
    virtual HWND View() = 0;
    void Key(WPARAM key, bool paint = true)
    {
        SendMessageW(View(), WM_KEYDOWN, key, 0);
        if (paint)
            UpdateWindow(View());
    }
    // Each key in turn, all of them `times` over, painted after each.
    void Keys(std::initializer_list<WPARAM> keys, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            for (WPARAM key : keys)
                Key(key);
    }
    void Scroll(WORD code, WORD position = 0)
    {
        SendMessageW(View(), WM_VSCROLL, MAKEWPARAM(code, position), 0);
        UpdateWindow(View());
    }
    // The colours of the view's pixels in `area`, row by row.
    std::vector<COLORREF> Pixels(RECT area)
    {
        WindowDc dc(View());
        std::vector<COLORREF> colours;
        for (LONG y = area.top; y < area.bottom; ++y)
            for (LONG x = area.left; x < area.right; ++x)
                colours.push_back(GetPixel(dc.Get(), x, y));
        return colours;
    }
    static int ScrollMax(HWND bar)
    {
        int low = -1, high = -1;
        GetScrollRange(bar, SB_CTL, &low, &high);
        return high;
    }
    // The notification codes the view sent, as its control id, since the last call.
    std::vector<UINT> Codes()
    {
        std::vector<UINT> codes;
        for (const Notification& n : g_viewNotifications) {
            EXPECT_TRUE(n.id == (UINT)GetDlgCtrlID(View()) && n.from == View());
            codes.push_back(n.code);
        }
        g_viewNotifications.clear();
        return codes;
    }
    HWND parent_ = ViewParent();
    // "Tahoma" by cell height, as the settings make it.
    HFONT font_ = CreateFontW(14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                              L"Tahoma");
};
