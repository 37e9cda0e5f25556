// The Pocket PC frame: its three menu bars at the bottom, the menus they
// carry, and the two image buttons that go one view back.
#include "frame/FrameFixture.h"
#include <aygshell.h>
#include "resource.h"

namespace {

class FrameBarsPpcTest : public FrameFixture {
protected:
    void SetUp() override
    {
        WriteCompleteSettings();
        WriteGroups({"fj.test"});
        WriteLog("fj.test", kThreeArticles);
        ASSERT_TRUE(Open()->Window() != NULL);
    }
    static BOOL Has(HMENU menu, UINT id) { return GetMenuState(menu, id, MF_BYCOMMAND) != (UINT)-1; }
    static HMENU SubMenu(HWND bar, UINT popup) { return (HMENU)SendMessageW(bar, SHCMBM_GETSUBMENU, 0, popup); }
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
        Pump();
    }
};

TEST_F(FrameBarsPpcTest, MenuBarsSitUnderTheViewsCarryTheirMenusAndGoOneViewBack)
{
    EXPECT_TRUE(ShowsOnly(kViewGroup));
    RECT client, bar = Placed(frame->Bar(kViewGroup)), list = Placed(List());
    GetClientRect(frame->Window(), &client);
    EXPECT_EQ(client.bottom, bar.bottom);
    EXPECT_EQ(0, list.top);
    EXPECT_EQ(bar.top, list.bottom);

    // Properties only in the group bar's tools; the check menus are the subject and article pop-ups.
    EXPECT_TRUE(Has(SubMenu(frame->Bar(kViewGroup), IDM_PPC_GROUP_TOOLS), IDM_PROPERTIES));
    EXPECT_FALSE(Has(SubMenu(frame->Bar(kViewSubject), IDM_PPC_SUBJECT_TOOLS), IDM_PROPERTIES));
    EXPECT_FALSE(Has(SubMenu(frame->Bar(kViewArticle), IDM_PPC_ARTICLE_TOOLS), IDM_PROPERTIES));
    EXPECT_EQ(SubMenu(frame->Bar(kViewSubject), IDM_PPC_SUBJECT_POPUP), frame->SubjectMenu());
    EXPECT_EQ(SubMenu(frame->Bar(kViewArticle), IDM_PPC_ARTICLE_POPUP), frame->ArticleMenu());

    OpenGroup();
    EXPECT_TRUE(ShowsOnly(kViewSubject));
    OpenArticle();
    EXPECT_TRUE(ShowsOnly(kViewArticle));
    EXPECT_NE(std::wstring::npos, ArticleText().find(L"最初の記事"));

    Tap(frame->Bar(kViewArticle), IDM_BACK_TO_SUBJECTS);
    EXPECT_TRUE(ShowsOnly(kViewSubject));
    Tap(frame->Bar(kViewSubject), IDM_BACK_TO_GROUPS);
    EXPECT_TRUE(ShowsOnly(kViewGroup));
    // The group's row shows what reading left unread.
    EXPECT_EQ(L"2", GroupRow(0)[kGroupColumnUnread]);
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
