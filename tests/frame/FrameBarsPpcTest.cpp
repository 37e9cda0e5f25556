// The Pocket PC frame: its three menu bars at the bottom, the check marks on
// the bars' sub-menus, and the two image buttons that go one view back.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <aygshell.h>
#include "frame/FrameFixture.h"
#include "frame/GroupView.h"
#include "frame/MainFrame.h"
#include "resource.h"
#include "support/MessageBoxRecorder.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"

namespace {

class FrameBarsPpcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HINSTANCE instance = GetModuleHandleW(NULL);
        ArticleView::RegisterClass(instance);
        SubjectView::RegisterClass(instance);
        MainFrame::RegisterClass(instance);
        env.WriteCompleteSettings();
        env.WriteGroups({"fj.test"});
        env.WriteLog("fj.test", {{"山田 太郎 <taro@example.jp>", "最初の記事", "本文その一"},
                                 {"佐藤 花子 <hanako@example.jp>", "二番目の記事", "本文その二"}});
        frame = new MainFrame();
        ASSERT_TRUE(frame->Create(L"Pelora", instance, SW_SHOW));
        FrameFixture::Pump();
        ASSERT_TRUE(frame->Window() != NULL);
    }
    void TearDown() override
    {
        if (frame && frame->Window() && IsWindow(frame->Window()))
            DestroyWindow(frame->Window());
        FrameFixture::Pump();
        delete frame;
    }
    HWND List() { return frame->Groups()->List(); }
    static BOOL Checked(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; }
    static BOOL Has(HMENU menu, UINT id) { return GetMenuState(menu, id, MF_BYCOMMAND) != (UINT)-1; }
    static HMENU SubMenu(HWND bar, UINT popup) { return (HMENU)SendMessageW(bar, SHCMBM_GETSUBMENU, 0, popup); }
    void Command(UINT id)
    {
        SendMessageW(frame->Window(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        FrameFixture::Pump();
    }
    // A click on the bar's button for `command`, as the stylus gives it.
    void Tap(HWND bar, UINT command)
    {
        int index = (int)SendMessageW(bar, TB_COMMANDTOINDEX, command, 0);
        ASSERT_NE(-1, index) << command;
        RECT r;
        ASSERT_TRUE(SendMessageW(bar, TB_GETITEMRECT, index, (LPARAM)&r));
        HWND toolbar = FindWindowExW(bar, NULL, TOOLBARCLASSNAMEW, NULL);
        ASSERT_TRUE(toolbar != NULL);
        LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(toolbar, WM_LBUTTONUP, 0, at);
        FrameFixture::Pump();
    }
    void ExpectOnly(UINT view)
    {
        for (UINT v : {kViewGroup, kViewSubject, kViewArticle})
            EXPECT_EQ(v == view, IsWindowVisible(frame->Bar(v)) != 0) << "bar " << v << " in view " << view;
        EXPECT_EQ(view, frame->CurrentView());
    }

    MessageBoxRecorder boxes;
    FrameFixture env;
    MainFrame* frame = NULL;
};

TEST_F(FrameBarsPpcTest, MenuBarsSitUnderTheViewsAndCarryTheirMenus)
{
    ExpectOnly(kViewGroup);
    RECT client, bar, list;
    GetClientRect(frame->Window(), &client);
    GetWindowRect(frame->Bar(kViewGroup), &bar);
    MapWindowPoints(NULL, frame->Window(), (POINT*)&bar, 2);
    GetWindowRect(List(), &list);
    MapWindowPoints(NULL, frame->Window(), (POINT*)&list, 2);
    EXPECT_EQ(client.bottom, bar.bottom);
    EXPECT_EQ(0, list.top);
    EXPECT_EQ(bar.top, list.bottom);

    // Properties only in the group bar's tools; the check menus are the
    // subject and article pop-ups.
    EXPECT_TRUE(Has(SubMenu(frame->Bar(kViewGroup), IDM_PPC_GROUP_TOOLS), IDM_PROPERTIES));
    EXPECT_TRUE(Has(SubMenu(frame->Bar(kViewGroup), IDM_PPC_GROUP_POPUP), IDM_DOWNLOAD));
    EXPECT_FALSE(Has(SubMenu(frame->Bar(kViewSubject), IDM_PPC_SUBJECT_TOOLS), IDM_PROPERTIES));
    EXPECT_FALSE(Has(SubMenu(frame->Bar(kViewArticle), IDM_PPC_ARTICLE_TOOLS), IDM_PROPERTIES));
    EXPECT_EQ(SubMenu(frame->Bar(kViewSubject), IDM_PPC_SUBJECT_POPUP), frame->SubjectMenu());
    EXPECT_EQ(SubMenu(frame->Bar(kViewArticle), IDM_PPC_ARTICLE_POPUP), frame->ArticleMenu());
    EXPECT_TRUE(Has(frame->SubjectMenu(), IDM_FILTER));
    EXPECT_TRUE(Has(frame->ArticleMenu(), IDM_COPY));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(FrameBarsPpcTest, CheckMarksFollowTheTogglesOnTheSubMenus)
{
    HMENU subjects = frame->SubjectMenu();
    EXPECT_TRUE(Checked(subjects, IDM_PRIORITY_LOW));
    EXPECT_FALSE(Checked(subjects, IDM_SHOW_READ));
    Command(IDM_PRIORITY_NORMAL);
    EXPECT_TRUE(Checked(subjects, IDM_PRIORITY_NORMAL));
    EXPECT_FALSE(Checked(subjects, IDM_PRIORITY_LOW));
    EXPECT_FALSE(Checked(subjects, IDM_PRIORITY_HIGH));
    EXPECT_EQ(0u, env.GetDword(L"SubjectView", L"PriorityViewLevel"));
    Command(IDM_SHOW_READ);
    EXPECT_TRUE(Checked(subjects, IDM_SHOW_READ));
    Command(IDM_SHOW_HEADER);
    EXPECT_TRUE(Checked(frame->ArticleMenu(), IDM_SHOW_HEADER));
    Command(IDM_SHOW_HEADER);
    EXPECT_FALSE(Checked(frame->ArticleMenu(), IDM_SHOW_HEADER));
}

TEST_F(FrameBarsPpcTest, ImageButtonsGoOneViewBack)
{
    FrameFixture::Key(List(), VK_RETURN);
    ExpectOnly(kViewSubject);
    frame->Subjects()->EnsureLayout();
    FrameFixture::Key(frame->Subjects()->Window(), VK_RETURN);
    ExpectOnly(kViewArticle);
    ASSERT_TRUE(frame->Text().Text() != NULL);
    EXPECT_NE(nullptr, wcsstr(frame->Text().Text(), L"最初の記事"));

    Tap(frame->Bar(kViewArticle), IDM_BACK_TO_SUBJECTS);
    ExpectOnly(kViewSubject);
    EXPECT_TRUE(IsWindowVisible(frame->Subjects()->Window()));
    EXPECT_FALSE(IsWindowVisible(frame->Article()->Window()));
    Tap(frame->Bar(kViewSubject), IDM_BACK_TO_GROUPS);
    ExpectOnly(kViewGroup);
    EXPECT_TRUE(IsWindowVisible(List()));
    // The group's row shows what reading left unread.
    EXPECT_EQ(L"1", FrameFixture::ListText(List(), 0, kGroupColumnUnread));
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
