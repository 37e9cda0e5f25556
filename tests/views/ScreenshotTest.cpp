// Shows both views with Japanese text and holds each on screen for a while,
// so that a screenshot of the display can be taken and looked at. Runs only
// when PELORA_VIEWS_SHOT_SECONDS is set.
#include <gtest/gtest.h>
#include "ViewTestWindow.h"
#include "views/ArticleText.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"
#include <stdlib.h>
#include <wchar.h>

namespace {

void Hold(DWORD seconds)
{
    DWORD until = GetTickCount() + seconds * 1000;
    while ((int)(until - GetTickCount()) > 0) {
        PumpMessages();
        Sleep(20);
    }
}

TEST(ViewScreenshot, BothViewsWithJapaneseText)
{
    const char* hold = getenv("PELORA_VIEWS_SHOT_SECONDS");
    if (!hold)
        GTEST_SKIP() << "set PELORA_VIEWS_SHOT_SECONDS to look at the views";
    DWORD seconds = (DWORD)atoi(hold);
    RegisterViewClasses();
    ViewTestWindow& parent = SharedTestWindow();
    HFONT font = MakeViewFont(14);

    TestDataFolder data;
    std::vector<TestArticle> articles;
    const wchar_t* subjects[] = { L"巡回の結果について", L"【告知】オフ会のお知らせ", L"Re: 文字化けの件",
                                  L"新しい端末を買いました", L"質問: 設定の保存場所" };
    const wchar_t* senders[] = { L"山田太郎", L"佐藤花子", L"鈴木一郎", L"Tanaka", L"高橋" };
    for (int i = 0; i < 12; ++i)
        articles.push_back({ Sjis(senders[i % 5]), Sjis(subjects[i % 5]),
                             "Sat, 5 Dec 2026 15:08:39 +0900", "本文\r\n" });
    ASSERT_TRUE(data.WriteGroup(L"fj.test.shot", articles, Sjis(L"+ 告知\r\n- 質問\r\n")));

    SubjectView subject;
    RECT r = { 0, 0, 640, 240 };
    ASSERT_TRUE(subject.Create(GetModuleHandleW(NULL), parent.Handle(), 106, r, TRUE, 1));
    ASSERT_TRUE(subject.OpenGroup(data.Path().c_str(), L"fj.test.shot"));
    subject.SetFont(font, 14);
    subject.Show(SW_SHOW);
    PumpMessages();
    SendMessageW(subject.Window(), WM_KEYDOWN, VK_DOWN, 0);
    subject.ToggleRead();
    SendMessageW(subject.Window(), WM_KEYDOWN, VK_DOWN, 0);
    subject.ToggleRead();
    fprintf(stderr, "SHOT subject\n");
    Hold(seconds);
    subject.Show(SW_HIDE);

    ArticleView view;
    ArticleText text;
    ASSERT_TRUE(view.Create(GetModuleHandleW(NULL), parent.Handle(), 104, r, FALSE));
    view.AttachText(&text);
    text.Attach(&view);
    view.SetFont(font);
    view.SetColors(RGB(0, 0, 192), RGB(0, 128, 0));
    const wchar_t article[] =
        L"From: 山田太郎 <taro@example.jp>\r\n"
        L"Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n"
        L"Subject: 巡回の結果について\r\n"
        L"\r\n"
        L"こんにちは。昨日の巡回で取得した記事の件です。\r\n"
        L"> 全部で五十件取れましたか?\r\n"
        L"＞ 全角の記号でも引用になります。\r\n"
        L"はい、取れました。長い行は画面の幅で折り返されて、続きの行も同じ色で表示されます。"
        L"折り返しの位置は文字の幅を測って決めています。\r\n";
    wchar_t* copy = (wchar_t*)malloc(sizeof article);
    memcpy(copy, article, sizeof article);
    text.SetText(copy);
    view.Show(SW_SHOW);
    PumpMessages();
    fprintf(stderr, "SHOT article\n");
    Hold(seconds);
    text.Attach(NULL);
    view.Destroy();
    DestroyWindow(subject.Window());
    DeleteObject(font);
}

} // namespace
