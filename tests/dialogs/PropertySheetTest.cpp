#include <gtest/gtest.h>
#include "support/DialogDriver.h"
#include "support/RegistrySandbox.h"
#include "support/MessageBoxRecorder.h"
#include "support/StoreFiles.h"
#include "dialogs/PropertySheet.h"
#include "resource.h"
#include <commctrl.h>

namespace {

enum { kMainPage, kAuthPage, kKeyPage, kConnectionPage, kFontPage, kColorPage, kUserPage, kPostPage };

HWND Page(HWND sheet) { return (HWND)SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0); }

// Leaves the current page for tab `index`, as a click on the tab does.
HWND GoTo(HWND sheet, int index)
{
    SendMessageW(sheet, PSM_SETCURSEL, index, 0);
    return Page(sheet);
}

// OK pressed, after `text` is typed into the field when given: the sheet
// stays, the field has the focus and all its text is selected.
void ExpectRefused(HWND sheet, HWND page, int id, const wchar_t* text = NULL)
{
    if (text)
        DialogDriver::SetText(page, id, text);
    DialogDriver::Click(sheet, IDOK);
    HWND field = GetDlgItem(page, id);
    EXPECT_EQ(field, GetFocus()) << "field " << id;
    DWORD start = 0, end = 0;
    SendMessageW(field, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    EXPECT_EQ(0u, start) << "field " << id;
    EXPECT_EQ((DWORD)GetWindowTextLengthW(field), end) << "field " << id;
}

void Scroll(HWND page, int bar, WORD code, WORD position = 0)
{
    SendMessageW(page, WM_HSCROLL, MAKEWPARAM(code, position), (LPARAM)GetDlgItem(page, bar));
}

class PropertySheetTest : public testing::Test {
protected:
    void SetUp() override
    {
        RegistrySandbox::Clear();
        // A complete record, so that every page starts from stored values.
        WriteString(kSettingsKey, L"Server", L"news.example.jp");
        WriteDword(kSettingsKey, L"Port", 119);
        WriteString(kSettingsKey, L"DataPath", (folder_ + L"\\").c_str());
        WriteDword(kSettingsKey, L"Limit", 50);
    }
    void TearDown() override
    {
        settings_.Destroy();
        DeleteObject(settings_.ArticleFont);
        DeleteObject(settings_.SubjectFont);
    }
    // Runs the sheet with `act` for it, then presses `expected`, which it must end with.
    void Run(int expected, std::function<void(HWND)> act)
    {
        DialogDriver driver;
        driver.Then(L"プロパティ", [&](HWND sheet) {
            act(sheet);
            DialogDriver::Click(sheet, expected);
        });
        ASSERT_EQ(expected, RunPropertySheet(&settings_, GetModuleHandleW(NULL), NULL));
        EXPECT_TRUE(driver.Done());
    }
    TempDataFolder data_;
    std::wstring folder_ = data_.Path().substr(0, data_.Path().size() - 1);   // without its backslash
    Settings settings_;
    MessageBoxRecorder boxes_;
};

TEST_F(PropertySheetTest, EightPagesInOrderAndOkSavesTheMainKeyUserAndPostPages)
{
    Run(IDOK, [&](HWND sheet) {
        HWND tabs = PropSheet_GetTabControl(sheet);
        ASSERT_EQ(8, TabCtrl_GetItemCount(tabs));
        const wchar_t* titles[] = { L"メイン", L"認証", L"キー", L"接続", L"文字", L"色", L"ユーザ", L"投稿" };
        for (int i = 0; i < 8; i++) {
            wchar_t text[64] = L"";
            TCITEMW item = {};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 64;
            SendMessageW(tabs, TCM_GETITEMW, i, (LPARAM)&item);
            EXPECT_EQ(std::wstring(titles[i]), text);
        }
        HWND page = Page(sheet);
        EXPECT_EQ(L"news.example.jp", DialogDriver::Text(page, IDC_MAIN_SERVER));
        EXPECT_EQ(L"119", DialogDriver::Text(page, IDC_MAIN_PORT));
        EXPECT_EQ(L"50", DialogDriver::Text(page, IDC_MAIN_LIMIT));
        EXPECT_EQ(L"パイプライン処理で高速に取得する", DialogDriver::Text(page, IDC_MAIN_PIPELINING));
        DialogDriver::Click(page, IDC_MAIN_PIPELINING);
        EXPECT_EQ(L"圧縮して転送する", DialogDriver::Text(page, IDC_MAIN_COMPRESS));
        DialogDriver::Click(page, IDC_MAIN_COMPRESS);
        EXPECT_EQ(L"UTF-8などの記事も変換する", DialogDriver::Text(page, IDC_MAIN_CONVERT_MIME));
        DialogDriver::Click(page, IDC_MAIN_CONVERT_MIME);
        DialogDriver::SetText(page, IDC_MAIN_SERVER, L"   news.tidewell.jp");
        DialogDriver::SetText(page, IDC_MAIN_PORT, L"");
        DialogDriver::SetText(page, IDC_MAIN_FOLDER, (L"  " + folder_ + L"\\\\").c_str());
        DialogDriver::SetText(page, IDC_MAIN_LIMIT, L"300");
        page = GoTo(sheet, kKeyPage);
        DialogDriver::Click(page, IDC_KEY_LINE_SCROLL);
        DialogDriver::Click(page, IDC_KEY_AUTO_NEXT);
        page = GoTo(sheet, kUserPage);
        DialogDriver::SetText(page, IDC_USER_NAME, L"山田 太郎");
        DialogDriver::SetText(page, IDC_USER_MAIL, L"taro@example.jp");
        DialogDriver::SetText(page, IDC_USER_ORGANIZATION, L" \t");
        page = GoTo(sheet, kPostPage);
        DialogDriver::SetText(page, IDC_POST_EDITOR, L"\\Windows\\pword.exe");
    });
    EXPECT_EQ(L"山田 太郎", ReadString(kSettingsKey, L"UserName"));
    EXPECT_EQ(L"taro@example.jp", ReadString(kSettingsKey, L"MailAddress"));
    EXPECT_EQ(L"", ReadString(kSettingsKey, L"Organization"));
    EXPECT_EQ(L"\\Windows\\pword.exe", ReadString(kSettingsKey, L"EditorPath"));
    const struct { const wchar_t* name; DWORD value; } numbers[] = {
        {L"KeyMode", 1}, {L"AutoNextArticle", 0}, {L"Port", 0}, {L"Limit", 300}, {L"Pipelining", 1},
        {L"ConvertMime", 1}, {L"Compress", 1}};
    for (const auto& number : numbers)
        EXPECT_EQ(number.value, ReadDword(kSettingsKey, number.name)) << number.name;
    EXPECT_EQ(L"news.tidewell.jp", ReadString(kSettingsKey, L"Server"));
    EXPECT_EQ(folder_ + L"\\", ReadString(kSettingsKey, L"DataPath"));
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(PropertySheetTest, RefusedMainFieldsKeepTheSheetOnThePage)
{
    Run(IDCANCEL, [&](HWND sheet) {
        HWND page = Page(sheet);
        struct { int field; std::wstring text; } refused[] = {
            { IDC_MAIN_SERVER, L"   " }, { IDC_MAIN_PORT, L"119 " },
            { IDC_MAIN_FOLDER, folder_ + L"\\missing" }, { IDC_MAIN_FOLDER, L"  " },
            { IDC_MAIN_LIMIT, L"4294967296" } };
        for (const auto& value : refused) {
            std::wstring good = DialogDriver::Text(page, value.field);
            ExpectRefused(sheet, page, value.field, value.text.c_str());
            DialogDriver::SetText(page, value.field, good.c_str());
        }
        DialogDriver::SetText(page, IDC_MAIN_PORT, L"119 ");
        EXPECT_EQ(page, GoTo(sheet, kKeyPage));  // leaving is refused too
        EXPECT_EQ(kMainPage, TabCtrl_GetCurSel(PropSheet_GetTabControl(sheet)));
        DialogDriver::SetText(page, IDC_MAIN_PORT, L"119");

        // The folder button fills the field from the chooser; the root alone is refused.
        DialogDriver chooser;
        chooser.Then(L"Choose folder", [&](HWND dialog) {
            HWND tree = GetDlgItem(dialog, IDC_CHOOSER_TREE);
            TreeView_SelectItem(tree, TreeView_GetRoot(tree));
            DialogDriver::Click(dialog, IDC_CHOOSER_OK);
        });
        DialogDriver::Click(page, IDC_MAIN_BROWSE);
        EXPECT_TRUE(chooser.Done());
        EXPECT_EQ(L"\\", DialogDriver::Text(page, IDC_MAIN_FOLDER));
        ExpectRefused(sheet, page, IDC_MAIN_FOLDER);

        DialogDriver::SetText(page, IDC_MAIN_FOLDER, folder_.c_str());
        DialogDriver::SetText(page, IDC_MAIN_LIMIT, L"4294967295");
        EXPECT_NE(page, GoTo(sheet, kKeyPage));
    });
    // Cancel saves nothing, though the pages stored into the record.
    EXPECT_EQ(L"news.example.jp", ReadString(kSettingsKey, L"Server"));
    EXPECT_EQ(50u, ReadDword(kSettingsKey, L"Limit"));
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(PropertySheetTest, PasswordsMustMatchAndTurningTheBoxOffRemovesTheUserId)
{
    Run(IDOK, [&](HWND sheet) {
        HWND page = GoTo(sheet, kAuthPage);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_AUTH_ID)));
        DialogDriver::Click(page, IDC_AUTH_USE);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_AUTH_ID)));
        ExpectRefused(sheet, page, IDC_AUTH_ID, L"   ");
        DialogDriver::SetText(page, IDC_AUTH_ID, L"山田");
        DialogDriver::SetText(page, IDC_AUTH_PASSWORD, L"pass");
        ExpectRefused(sheet, page, IDC_AUTH_AGAIN, L"pasx");
        DialogDriver::SetText(page, IDC_AUTH_AGAIN, L"");
        ExpectRefused(sheet, page, IDC_AUTH_PASSWORD);
        DialogDriver::SetText(page, IDC_AUTH_AGAIN, L"pass");
    });
    EXPECT_EQ(L"山田", ReadString(kSettingsKey, L"UserID"));
    EXPECT_EQ(L"pass", ReadString(kSettingsKey, L"Password"));

    // The stored values show again; an empty pair stores no password.
    Run(IDOK, [&](HWND sheet) {
        HWND page = GoTo(sheet, kAuthPage);
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, IDC_AUTH_USE));
        EXPECT_EQ(L"山田", DialogDriver::Text(page, IDC_AUTH_ID));
        EXPECT_EQ(L"pass", DialogDriver::Text(page, IDC_AUTH_AGAIN));
        DialogDriver::SetText(page, IDC_AUTH_PASSWORD, L"");
        DialogDriver::SetText(page, IDC_AUTH_AGAIN, L"");
    });
    EXPECT_TRUE(ReadValue(kSettingsKey, L"UserID").present);
    EXPECT_FALSE(ReadValue(kSettingsKey, L"Password").present);

    Run(IDOK, [&](HWND sheet) {
        HWND page = GoTo(sheet, kAuthPage);
        DialogDriver::Click(page, IDC_AUTH_USE);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_AUTH_PASSWORD)));
        GoTo(sheet, kKeyPage);
    });
    EXPECT_FALSE(ReadValue(kSettingsKey, L"UserID").present);
}

TEST_F(PropertySheetTest, ConnectionPageOffersThePhoneBookAndNeedsAnEntryForDialUp)
{
    // Without a phone book dial-up cannot be turned on.
    WriteDword(kSettingsKey, L"Dialup", 1);
    Run(IDOK, [&](HWND sheet) {
        HWND page = GoTo(sheet, kConnectionPage);
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(page, IDC_CONN_DIALUP));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_CONN_DIALUP)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_CONN_ENTRY)));
    });
    EXPECT_EQ(0u, ReadDword(kSettingsKey, L"Dialup"));
    EXPECT_EQ(L"", ReadString(kSettingsKey, L"EntryName"));

    for (const wchar_t* entry : {L"Home", L"Office", L"`Direct"})
        AddPhoneBookEntry(entry);
    WriteString(kSettingsKey, L"EntryName", L"Of");
    WriteDword(kSettingsKey, L"Security", 7);
    std::wstring pin = L"a5";
    for (int i = 1; i < 32; ++i)
        pin += L":5A";
    Run(IDOK, [&](HWND sheet) {
        HWND page = GoTo(sheet, kConnectionPage);
        HWND list = GetDlgItem(page, IDC_CONN_ENTRY);
        EXPECT_EQ((std::vector<std::wstring>{ L"Home", L"Office" }), DialogDriver::ComboItems(list));
        EXPECT_EQ(1, SendMessageW(list, CB_GETCURSEL, 0, 0));
        EXPECT_FALSE(IsWindowEnabled(list));
        EXPECT_EQ(L"0", DialogDriver::Text(page, IDC_CONN_WAIT));

        DialogDriver::Click(page, IDC_CONN_DIALUP);
        EXPECT_TRUE(IsWindowEnabled(list));
        SendMessageW(list, CB_SETCURSEL, (WPARAM)-1, 0);
        DialogDriver::Click(sheet, IDOK);
        EXPECT_EQ(list, GetFocus());
        EXPECT_TRUE(SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0));
        SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);

        SendMessageW(list, CB_SETCURSEL, 0, 0);
        ExpectRefused(sheet, page, IDC_CONN_WAIT, L"1x");
        DialogDriver::SetText(page, IDC_CONN_WAIT, L"15");
        // A value the page does not know shows as the strongest choice.
        HWND security = GetDlgItem(page, IDC_CONN_SECURITY);
        EXPECT_EQ((std::vector<std::wstring>{L"なし", L"STARTTLS", L"SSL/TLS"}), DialogDriver::ComboItems(security));
        EXPECT_EQ(2, SendMessageW(security, CB_GETCURSEL, 0, 0));
        SendMessageW(security, CB_SETCURSEL, 1, 0);
        ExpectRefused(sheet, page, IDC_CONN_FINGERPRINT, (pin + L"0").c_str());
        ExpectRefused(sheet, page, IDC_CONN_FINGERPRINT, pin.substr(3).c_str());
        DialogDriver::SetText(page, IDC_CONN_FINGERPRINT, (L" " + pin).c_str());
    });
    EXPECT_EQ(1u, ReadDword(kSettingsKey, L"Security"));
    EXPECT_EQ(pin, ReadString(kSettingsKey, L"TlsFingerprint"));
    EXPECT_EQ(1u, ReadDword(kSettingsKey, L"Dialup"));
    EXPECT_EQ(L"Home", ReadString(kSettingsKey, L"EntryName"));
    EXPECT_EQ(15u, ReadDword(kSettingsKey, L"DisconnectWaitTime"));
}

TEST_F(PropertySheetTest, FontPageListsFamiliesAndKeepsSizesInRangeAndColourBarsEditEachColour)
{
    WriteDword(kSettingsKey, L"FontSizeA", 30);
    WriteDword(kSettingsKey, L"FontSizeS", 12);
    std::wstring chosen;
    Run(IDOK, [&](HWND sheet) {
        HWND page = GoTo(sheet, kFontPage);
        HWND names = GetDlgItem(page, IDC_FONT_NAME);
        std::vector<std::wstring> families = DialogDriver::ComboItems(names);
        ASSERT_FALSE(families.empty());
        for (const std::wstring& f : families)
            EXPECT_NE(L'@', f[0]) << f;
        EXPECT_EQ(11u, DialogDriver::ComboItems(GetDlgItem(page, IDC_FONT_ARTICLE_SIZE)).size());
        EXPECT_EQ(L"8", DialogDriver::Text(page, IDC_FONT_ARTICLE_SIZE));
        EXPECT_EQ(L"12", DialogDriver::Text(page, IDC_FONT_SUBJECT_SIZE));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_FONT_NO_OWN)));
        SendMessageW(names, CB_SETCURSEL, families.size() - 1, 0);
        chosen = families.back();
    });
    EXPECT_EQ(chosen, ReadString(kSettingsKey, L"FontName"));
    EXPECT_EQ(8u, ReadDword(kSettingsKey, L"FontSizeA"));
    EXPECT_EQ(12u, ReadDword(kSettingsKey, L"FontSizeS"));
    EXPECT_TRUE(settings_.ArticleFont != NULL);

    // Sizes of -1 mean no own fonts: the box is on and the lists are off. The
    // colour bars edit each colour, and switching keeps the changes.
    WriteDword(kSettingsKey, L"FontSizeA", 0xFFFFFFFF);
    COLORREF header = RGB(128, 0, 3);
    WriteValue(kSettingsKey, L"HeaderColor", REG_BINARY, &header, 4);
    Run(IDOK, [&](HWND sheet) {
        HWND page = GoTo(sheet, kFontPage);
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, IDC_FONT_NO_OWN));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_FONT_NAME)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_FONT_SUBJECT_SIZE)));

        page = GoTo(sheet, kColorPage);
        HWND which = GetDlgItem(page, IDC_COLOR_WHICH);
        EXPECT_EQ((std::vector<std::wstring>{ L"ヘッダ行", L"引用行" }), DialogDriver::ComboItems(which));
        Scroll(page, IDC_COLOR_RED, SB_LINERIGHT);
        EXPECT_EQ(L"129", DialogDriver::Text(page, IDC_COLOR_RED_VALUE));
        Scroll(page, IDC_COLOR_RED, SB_PAGELEFT);
        EXPECT_EQ(L"119", DialogDriver::Text(page, IDC_COLOR_RED_VALUE));
        Scroll(page, IDC_COLOR_RED, SB_THUMBTRACK, 250);
        Scroll(page, IDC_COLOR_RED, SB_PAGERIGHT);
        EXPECT_EQ(L"255", DialogDriver::Text(page, IDC_COLOR_RED_VALUE));
        Scroll(page, IDC_COLOR_BLUE, SB_PAGELEFT);
        Scroll(page, IDC_COLOR_BLUE, SB_LINELEFT);
        EXPECT_EQ(L"0", DialogDriver::Text(page, IDC_COLOR_BLUE_VALUE));

        SendMessageW(which, CB_SETCURSEL, 1, 0);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_COLOR_WHICH, CBN_SELCHANGE), (LPARAM)which);
        EXPECT_EQ(L"0", DialogDriver::Text(page, IDC_COLOR_RED_VALUE));
        Scroll(page, IDC_COLOR_GREEN, SB_THUMBTRACK, 64);
        SendMessageW(which, CB_SETCURSEL, 0, 0);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_COLOR_WHICH, CBN_SELCHANGE), (LPARAM)which);
        EXPECT_EQ(L"255", DialogDriver::Text(page, IDC_COLOR_RED_VALUE));
        EXPECT_EQ(L"0", DialogDriver::Text(page, IDC_COLOR_GREEN_VALUE));
        EXPECT_EQ(255, GetScrollPos(GetDlgItem(page, IDC_COLOR_RED), SB_CTL));
        Scroll(page, IDC_COLOR_GREEN, SB_LINERIGHT);
    });
    EXPECT_EQ(L"", ReadString(kSettingsKey, L"FontName"));
    for (const wchar_t* size : {L"FontSizeA", L"FontSizeS"})
        EXPECT_EQ(0xFFFFFFFFu, ReadDword(kSettingsKey, size)) << size;
    DWORD type = 0;
    EXPECT_EQ((DWORD)RGB(255, 1, 0), ReadDword(kSettingsKey, L"HeaderColor", &type));
    EXPECT_EQ((DWORD)REG_BINARY, type);
    EXPECT_EQ((DWORD)RGB(0, 64, 0), ReadDword(kSettingsKey, L"ReferenceLine"));
}

} // namespace
