#include <gtest/gtest.h>
#include "settings/Settings.h"
#include "support/RegistrySandbox.h"

namespace {

class SettingsStore : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.Ready());
        settings.Init();
    }
    void TearDown() override
    {
        DeleteFonts(settings);
        settings.Destroy();
    }
    static void DeleteFonts(Settings& s)
    {
        DeleteObject(s.ArticleFont);
        DeleteObject(s.SubjectFont);
        s.ArticleFont = s.SubjectFont = NULL;
    }
    static RegistryValue Read(const wchar_t* name, const wchar_t* subKey = NULL)
    {
        return ReadValue(subKey ? std::wstring(kSettingsKey) + L"\\" + subKey : kSettingsKey, name);
    }
    static void WriteText(const wchar_t* name, const std::wstring& text, bool terminated = true)
    {
        DWORD size = (DWORD)((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
        WriteValue(kSettingsKey, name, REG_SZ, text.c_str(), size);
    }
    static std::vector<BYTE> Bytes(const std::wstring& text)
    {
        const BYTE* p = (const BYTE*)text.c_str();
        return std::vector<BYTE>(p, p + (text.size() + 1) * sizeof(wchar_t));
    }
    void WriteComplete()
    {
        WriteText(L"Server", L"news.example.jp");
        WriteDword(kSettingsKey, L"Port", 119);
        WriteText(L"DataPath", L"\\News\\");
        WriteDword(kSettingsKey, L"Limit", 50);
    }

    RegistrySandbox sandbox;
    Settings settings;
};

}  // namespace

TEST_F(SettingsStore, EmptyKeyLoadsTheDefaultsCompletenessNeedsAllFourConnectionValuesAndOddValuesLoadAsNoneWholeOrAsStored)
{
    BOOL complete = TRUE;
    ASSERT_TRUE(settings.Load(&complete));
    EXPECT_FALSE(complete);
    for (const wchar_t* empty : {settings.Server, settings.DataPath, settings.TlsFingerprint, settings.EditorPath})
        EXPECT_STREQ(L"", empty);
    EXPECT_STREQ(L"Tahoma", settings.FontName);
    // Port, Limit, AutoNextArticle, Pipelining, FontSizeA and S, HeaderColor, ReferenceLine, ConvertMime,
    // Compress, Security.
    EXPECT_EQ((std::vector<DWORD>{119, 50, 1, 0, 14, 14, 0, 0, 0, 0, 0}),
              (std::vector<DWORD>{settings.Port, settings.Limit, settings.AutoNextArticle,
                                  settings.Pipelining, settings.FontSizeA, settings.FontSizeS,
                                  settings.HeaderColor, settings.ReferenceLine, settings.ConvertMime,
                                  settings.Compress, settings.Security}));
    EXPECT_TRUE(settings.UserID == NULL);
    EXPECT_TRUE(settings.ArticleFont != NULL && settings.SubjectFont != NULL);

    // A string too long for its field counts as missing.
    WriteComplete();
    complete = TRUE;
    WriteText(L"Server", std::wstring(300, L's'));
    ASSERT_TRUE(settings.Load(&complete));
    EXPECT_FALSE(complete);
    EXPECT_STREQ(L"", settings.Server);

    // 259 characters without their terminator still fit.
    WriteText(L"Server", std::wstring(259, L't'), false);
    ASSERT_TRUE(settings.Load(&complete));
    EXPECT_TRUE(complete);
    EXPECT_EQ(std::wstring(259, L't'), settings.Server);

    // Odd values load as none, whole or as stored.
    WriteText(L"UserName", L"  \t");
    WriteText(L"MailAddress", std::wstring(3000, L'm') + L"@example.jp");
    WriteText(L"Organization", L"");
    WriteText(L"EditorPath", L"\\Windows\\pword.exe", false);
    ASSERT_TRUE(settings.Load(NULL));
    EXPECT_TRUE(settings.UserName == NULL);
    EXPECT_STREQ((std::string(3000, 'm') + "@example.jp").c_str(), settings.MailAddress);
    EXPECT_TRUE(settings.Organization == NULL);
    EXPECT_STREQ(L"\\Windows\\pword.exe", settings.EditorPath);

    // Numbers are taken as stored; one of the wrong size is as good as
    // missing. "No font" lets the old one go.
    HFONT oldFont = settings.ArticleFont;
    ASSERT_TRUE(oldFont != NULL);
    WriteDword(kSettingsKey, L"FontSizeA", 0xFFFFFFFF);
    WriteDword(kSettingsKey, L"Limit", 70000);
    WORD shortNumber = 7;
    WriteValue(kSettingsKey, L"KeyMode", REG_BINARY, &shortNumber, 2);
    ASSERT_TRUE(settings.Load(NULL));
    EXPECT_TRUE(settings.ArticleFont == NULL);
    EXPECT_EQ(0u, GetObjectType(oldFont));
    EXPECT_TRUE(settings.SubjectFont != NULL);
    EXPECT_EQ(70000u, settings.Limit);
    EXPECT_EQ(0u, settings.KeyMode);
}

TEST_F(SettingsStore, SaveWritesEachValueWithItsTypeAndBytesAndTheDataPathWithItsBackslash)
{
    settings.Load(NULL);
    wcscpy(settings.Server, L"news.example.jp");
    settings.Port = 10119;
    wcscpy(settings.EntryName, L"\u30d7\u30ed\u30d0\u30a4\u30c0");
    settings.Pipelining = 1;
    settings.HeaderColor = 0x0000FF;
    settings.ReferenceLine = 0x123456;
    settings.ConvertMime = 1;
    settings.Security = 2;
    wcscpy(settings.TlsFingerprint, L"ab:CD");
    // "山田" in Shift_JIS: stored as its wide text.
    settings.UserName = _strdup("\x8e\x52\x93\x63");
    ASSERT_TRUE(settings.Save());

    // Poster fields that are none are written empty, the editor path too.
    const struct { const wchar_t* name; DWORD type; std::vector<BYTE> bytes; } stored[] = {
        {L"Server", REG_SZ, Bytes(L"news.example.jp")}, {L"Port", REG_DWORD, {0x87, 0x27, 0, 0}},
        {L"Pipelining", REG_DWORD, {1, 0, 0, 0}}, {L"HeaderColor", REG_BINARY, {0xFF, 0, 0, 0}},
        {L"ReferenceLine", REG_BINARY, {0x56, 0x34, 0x12, 0}}, {L"ConvertMime", REG_DWORD, {1, 0, 0, 0}},
        {L"Security", REG_DWORD, {2, 0, 0, 0}}, {L"TlsFingerprint", REG_SZ, Bytes(L"ab:CD")},
        {L"UserName", REG_SZ, Bytes(L"\u5c71\u7530")}, {L"EntryName", REG_SZ, Bytes(L"\u30d7\u30ed\u30d0\u30a4\u30c0")},
        {L"Organization", REG_SZ, Bytes(L"")}, {L"EditorPath", REG_SZ, Bytes(L"")}};
    for (const auto& value : stored) {
        EXPECT_EQ(value.type, Read(value.name).type) << value.name;
        EXPECT_EQ(value.bytes, Read(value.name).bytes) << value.name;
    }
    // The view flags, read back at the next start by the frame's tests.
    DWORD threadView = 0;
    EXPECT_FALSE(LoadThreadView(&threadView));  // none stored: the flat list
    ASSERT_TRUE(SavePriorityViewLevel(2) && SaveViewReadArticle(1) && SaveShowArticleHeader(1)
                && SaveThreadView(1));
    for (const wchar_t* name : {L"PriorityViewLevel", L"ViewReadArticle", L"ThreadView"})
        EXPECT_EQ((DWORD)REG_DWORD, Read(name, L"SubjectView").type) << name;
    EXPECT_TRUE(LoadThreadView(&threadView));
    EXPECT_EQ(1u, threadView);
    EXPECT_EQ((DWORD)REG_DWORD, Read(L"ShowArticleHeader", L"ArticleView").type);

    Settings again;
    ASSERT_TRUE(again.Load(NULL));
    EXPECT_EQ(0x0000FFu, again.HeaderColor);
    EXPECT_EQ(1u, again.Pipelining);
    EXPECT_EQ(1u, again.ConvertMime);
    EXPECT_STREQ("\x8e\x52\x93\x63", again.UserName);
    DeleteFonts(again);
    again.Destroy();

    // With or without its backslash a path is stored with one; none stays none.
    const wchar_t* paths[][2] = { { L"\\News", L"\\News\\" }, { L"\\News\\", L"\\News\\" }, { L"", L"" } };
    for (const auto& path : paths) {
        wcscpy(settings.DataPath, path[0]);
        ASSERT_TRUE(settings.Save());
        EXPECT_STREQ(path[1], settings.DataPath);
        EXPECT_EQ(Bytes(path[1]), Read(L"DataPath").bytes) << path[0];
    }

    // A full field has no room for the backslash: refused, not overrun.
    std::wstring full(kSettingsPathCapacity - 1, L'p');
    wcscpy(settings.DataPath, full.c_str());
    EXPECT_FALSE(settings.Save());
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_EQ(full, settings.DataPath);
}

TEST_F(SettingsStore, CredentialsAreRemovedWithTheUserIdAndOverlongOnesRefused)
{
    // The password is stored only with a user id, and goes with either.
    struct { const char* user; const char* password; bool userStored, passwordStored; } steps[] = {
        { "user", "secret", true, true }, { "user", NULL, true, false }, { NULL, "secret", false, false } };
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << &step - steps);
        free(settings.UserID);
        free(settings.Password);
        settings.UserID = step.user ? _strdup(step.user) : NULL;
        settings.Password = step.password ? _strdup(step.password) : NULL;
        ASSERT_TRUE(settings.Save());
        EXPECT_EQ(step.userStored, Read(L"UserID").present);
        EXPECT_EQ(step.passwordStored, Read(L"Password").present);
    }

    // An overlong user id or password is refused; one that fits is kept exactly as stored, blanks and all.
    WriteComplete();
    WriteText(L"FontName", L"IPAGothic");
    WriteText(L"UserID", std::wstring(kCredentialMaxLength, L'u'));
    WriteText(L"Password", L" p a\tss " + std::wstring(kCredentialMaxLength - 8, L'p'), false);
    ASSERT_TRUE(settings.Load(NULL));
    EXPECT_EQ(std::string(kCredentialMaxLength, 'u'), settings.UserID);
    EXPECT_EQ(" p a\tss " + std::string(kCredentialMaxLength - 8, 'p'), settings.Password);

    WriteText(L"UserID", std::wstring(kCredentialMaxLength + 1, L'u'), false);
    BOOL complete = FALSE;
    EXPECT_FALSE(settings.Load(&complete));
    EXPECT_EQ((DWORD)ERROR_MORE_DATA, GetLastError());
    EXPECT_TRUE(settings.UserID == NULL);
    // The rest of the record is still loaded.
    EXPECT_TRUE(complete);
    EXPECT_STREQ(L"IPAGothic", settings.FontName);

    WriteText(L"UserID", L"user");
    WriteText(L"Password", std::wstring(4000, L'p'));
    EXPECT_FALSE(settings.Load(NULL));
    EXPECT_EQ((DWORD)ERROR_MORE_DATA, GetLastError());
    EXPECT_TRUE(settings.Password == NULL);
}
