#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "settings/Settings.h"
#include "settings/ViewFlags.h"
#include "support/RegistrySandbox.h"

namespace {

struct RawValue {
    bool present;
    DWORD type;
    std::vector<BYTE> bytes;
};

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
        if (s.ArticleFont)
            DeleteObject(s.ArticleFont);
        if (s.SubjectFont)
            DeleteObject(s.SubjectFont);
        s.ArticleFont = s.SubjectFont = NULL;
    }
    static RawValue Read(const wchar_t* name, const wchar_t* subKey = NULL)
    {
        RawValue value = {false, 0, {}};
        std::wstring path = kSettingsKey;
        if (subKey)
            path += std::wstring(L"\\") + subKey;
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return value;
        DWORD size = 0;
        if (RegQueryValueExW(key, name, NULL, &value.type, NULL, &size) == ERROR_SUCCESS) {
            value.present = true;
            value.bytes.resize(size);
            RegQueryValueExW(key, name, NULL, NULL, value.bytes.data(), &size);
        }
        RegCloseKey(key);
        return value;
    }
    static void Write(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, NULL, 0,
                                                 KEY_WRITE, NULL, &key, NULL));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, (const BYTE*)data, size));
        RegCloseKey(key);
    }
    static void WriteText(const wchar_t* name, const std::wstring& text, bool terminated = true)
    {
        Write(name, REG_SZ, text.c_str(), (DWORD)((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t)));
    }
    static std::vector<BYTE> Bytes(const std::wstring& text)
    {
        const BYTE* p = (const BYTE*)text.c_str();
        return std::vector<BYTE>(p, p + (text.size() + 1) * sizeof(wchar_t));
    }
    void WriteComplete()
    {
        WriteText(L"Server", L"news.example.jp");
        DWORD port = 119, limit = 50;
        Write(L"Port", REG_DWORD, &port, 4);
        WriteText(L"DataPath", L"\\News\\");
        Write(L"Limit", REG_DWORD, &limit, 4);
    }

    RegistrySandbox sandbox;
    Settings settings;
};

}  // namespace

TEST_F(SettingsStore, EmptyKeyLoadsTheDefaultsAndIsIncomplete)
{
    BOOL complete = TRUE;
    ASSERT_TRUE(settings.Load(&complete));
    EXPECT_FALSE(complete);
    EXPECT_STREQ(L"", settings.Server);
    EXPECT_STREQ(L"", settings.DataPath);
    EXPECT_EQ(119u, settings.Port);
    EXPECT_EQ(50u, settings.Limit);
    EXPECT_EQ(1u, settings.AutoNextArticle);
    EXPECT_EQ(0u, settings.Pipelining);
    EXPECT_STREQ(L"Tahoma", settings.FontName);
    EXPECT_EQ(14u, settings.FontSizeA);
    EXPECT_EQ(14u, settings.FontSizeS);
    EXPECT_EQ(0u, settings.HeaderColor);
    EXPECT_EQ(0u, settings.ReferenceLine);
    EXPECT_EQ(0u, settings.ConvertMime);
    EXPECT_TRUE(settings.UserID == NULL);
    ASSERT_TRUE(settings.EditorPath != NULL);
    EXPECT_STREQ(L"", settings.EditorPath);
    EXPECT_TRUE(settings.ArticleFont != NULL);
    EXPECT_TRUE(settings.SubjectFont != NULL);
}

TEST_F(SettingsStore, CompletenessNeedsAllFourConnectionValues)
{
    WriteComplete();
    BOOL complete = FALSE;
    ASSERT_TRUE(settings.Load(&complete));
    EXPECT_TRUE(complete);
    EXPECT_STREQ(L"news.example.jp", settings.Server);

    // A string too long for its field counts as missing.
    WriteText(L"Server", std::wstring(300, L's'));
    ASSERT_TRUE(settings.Load(&complete));
    EXPECT_FALSE(complete);
    EXPECT_STREQ(L"", settings.Server);

    // 259 characters without their terminator still fit.
    WriteText(L"Server", std::wstring(259, L't'), false);
    ASSERT_TRUE(settings.Load(&complete));
    EXPECT_TRUE(complete);
    EXPECT_EQ(std::wstring(259, L't'), settings.Server);
}

TEST_F(SettingsStore, SaveWritesEachValueWithItsTypeAndBytes)
{
    settings.Load(NULL);
    wcscpy(settings.Server, L"news.example.jp");
    settings.Port = 10119;
    wcscpy(settings.DataPath, L"\\News\\");
    settings.Limit = 300;
    settings.KeyMode = 1;
    wcscpy(settings.EntryName, L"\u30d7\u30ed\u30d0\u30a4\u30c0");
    settings.DisconnectWaitTime = 30;
    settings.Pipelining = 1;
    settings.HeaderColor = 0x0000FF;
    settings.ReferenceLine = 0x123456;
    settings.ConvertMime = 1;
    settings.UserID = _strdup("user");
    // "山田" in Shift_JIS: stored as its wide text.
    settings.UserName = _strdup("\x8e\x52\x93\x63");
    ASSERT_TRUE(settings.Save());

    RawValue server = Read(L"Server");
    EXPECT_EQ((DWORD)REG_SZ, server.type);
    EXPECT_EQ(Bytes(L"news.example.jp"), server.bytes);
    RawValue port = Read(L"Port");
    EXPECT_EQ((DWORD)REG_DWORD, port.type);
    EXPECT_EQ((std::vector<BYTE>{0x87, 0x27, 0, 0}), port.bytes);
    RawValue pipelining = Read(L"Pipelining");
    EXPECT_EQ((DWORD)REG_DWORD, pipelining.type);
    EXPECT_EQ((std::vector<BYTE>{1, 0, 0, 0}), pipelining.bytes);
    RawValue header = Read(L"HeaderColor");
    EXPECT_EQ((DWORD)REG_BINARY, header.type);
    EXPECT_EQ((std::vector<BYTE>{0xFF, 0, 0, 0}), header.bytes);
    RawValue quote = Read(L"ReferenceLine");
    EXPECT_EQ((DWORD)REG_BINARY, quote.type);
    EXPECT_EQ((std::vector<BYTE>{0x56, 0x34, 0x12, 0}), quote.bytes);
    RawValue convert = Read(L"ConvertMime");
    EXPECT_EQ((DWORD)REG_DWORD, convert.type);
    EXPECT_EQ((std::vector<BYTE>{1, 0, 0, 0}), convert.bytes);
    EXPECT_EQ(Bytes(L"\u5c71\u7530"), Read(L"UserName").bytes);
    EXPECT_EQ(Bytes(L"\u30d7\u30ed\u30d0\u30a4\u30c0"), Read(L"EntryName").bytes);
    // Poster fields that are none are written empty, the editor path too.
    RawValue organization = Read(L"Organization");
    EXPECT_EQ((DWORD)REG_SZ, organization.type);
    EXPECT_EQ(Bytes(L""), organization.bytes);
    EXPECT_EQ(Bytes(L""), Read(L"EditorPath").bytes);

    Settings again;
    BOOL complete = FALSE;
    ASSERT_TRUE(again.Load(&complete));
    EXPECT_TRUE(complete);
    EXPECT_EQ(0x0000FFu, again.HeaderColor);
    EXPECT_EQ(1u, again.Pipelining);
    EXPECT_EQ(1u, again.ConvertMime);
    EXPECT_STREQ("\x8e\x52\x93\x63", again.UserName);
    EXPECT_TRUE(again.Organization == NULL);
    DeleteFonts(again);
    again.Destroy();
}

TEST_F(SettingsStore, DataPathGetsItsTrailingBackslash)
{
    wcscpy(settings.DataPath, L"\\News");
    ASSERT_TRUE(settings.Save());
    EXPECT_STREQ(L"\\News\\", settings.DataPath);
    EXPECT_EQ(Bytes(L"\\News\\"), Read(L"DataPath").bytes);

    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(Bytes(L"\\News\\"), Read(L"DataPath").bytes);

    settings.DataPath[0] = L'\0';
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(Bytes(L""), Read(L"DataPath").bytes);

    // A full field has no room for the backslash: refused, not overrun.
    std::wstring full(kSettingsPathCapacity - 1, L'p');
    wcscpy(settings.DataPath, full.c_str());
    EXPECT_FALSE(settings.Save());
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_EQ(full, settings.DataPath);
}

TEST_F(SettingsStore, CredentialsAreRemovedWithTheUserId)
{
    settings.UserID = _strdup("user");
    settings.Password = _strdup("secret");
    ASSERT_TRUE(settings.Save());
    EXPECT_TRUE(Read(L"UserID").present);
    EXPECT_TRUE(Read(L"Password").present);

    free(settings.Password);
    settings.Password = NULL;
    ASSERT_TRUE(settings.Save());
    EXPECT_TRUE(Read(L"UserID").present);
    EXPECT_FALSE(Read(L"Password").present);

    free(settings.UserID);
    settings.UserID = NULL;
    settings.Password = _strdup("secret");
    ASSERT_TRUE(settings.Save());
    EXPECT_FALSE(Read(L"UserID").present);
    EXPECT_FALSE(Read(L"Password").present);
}

TEST_F(SettingsStore, OverlongUserIdOrPasswordIsRefused)
{
    WriteComplete();
    WriteText(L"FontName", L"IPAGothic");
    WriteText(L"UserID", std::wstring(kCredentialMaxLength, L'u'));
    WriteText(L"Password", std::wstring(kCredentialMaxLength, L'p'), false);
    ASSERT_TRUE(settings.Load(NULL));
    EXPECT_EQ(std::string(kCredentialMaxLength, 'u'), settings.UserID);
    EXPECT_EQ(std::string(kCredentialMaxLength, 'p'), settings.Password);

    // Kept exactly as stored, blanks and all.
    WriteText(L"Password", L" p a\tss ");
    ASSERT_TRUE(settings.Load(NULL));
    EXPECT_STREQ(" p a\tss ", settings.Password);

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

TEST_F(SettingsStore, BlankPosterFieldsLoadAsNoneAndLongOnesWhole)
{
    WriteText(L"UserName", L"  \t");
    WriteText(L"MailAddress", std::wstring(3000, L'm') + L"@example.jp");
    WriteText(L"Organization", L"");
    WriteText(L"EditorPath", L"\\Windows\\pword.exe", false);
    ASSERT_TRUE(settings.Load(NULL));
    EXPECT_TRUE(settings.UserName == NULL);
    ASSERT_TRUE(settings.MailAddress != NULL);
    EXPECT_EQ(3000u + 11u, strlen(settings.MailAddress));
    EXPECT_TRUE(settings.Organization == NULL);
    EXPECT_STREQ(L"\\Windows\\pword.exe", settings.EditorPath);
}

TEST_F(SettingsStore, NumbersAreTakenAsStored)
{
    DWORD none = 0xFFFFFFFF, big = 70000;
    Write(L"FontSizeA", REG_DWORD, &none, 4);
    Write(L"Limit", REG_DWORD, &big, 4);
    // A number of the wrong size is as good as missing.
    WORD shortNumber = 7;
    Write(L"KeyMode", REG_BINARY, &shortNumber, 2);
    ASSERT_TRUE(settings.Load(NULL));
    EXPECT_TRUE(settings.ArticleFont == NULL);
    EXPECT_TRUE(settings.SubjectFont != NULL);
    EXPECT_EQ(70000u, settings.Limit);
    EXPECT_EQ(0u, settings.KeyMode);
}

TEST_F(SettingsStore, ViewFlagsLiveInTheirSubKeys)
{
    DWORD value = 1;
    EXPECT_FALSE(LoadPriorityViewLevel(&value));
    EXPECT_EQ(1u, value);   // left as it was
    EXPECT_FALSE(LoadViewReadArticle(&value));
    EXPECT_FALSE(LoadShowArticleHeader(&value));

    ASSERT_TRUE(SaveViewReadArticle(1));
    ASSERT_TRUE(SavePriorityViewLevel(2));
    ASSERT_TRUE(SaveShowArticleHeader(1));
    RawValue level = Read(L"PriorityViewLevel", L"SubjectView");
    EXPECT_EQ((DWORD)REG_DWORD, level.type);
    EXPECT_EQ((std::vector<BYTE>{2, 0, 0, 0}), level.bytes);
    EXPECT_TRUE(Read(L"ViewReadArticle", L"SubjectView").present);
    EXPECT_TRUE(Read(L"ShowArticleHeader", L"ArticleView").present);

    value = 0;
    ASSERT_TRUE(LoadPriorityViewLevel(&value));
    EXPECT_EQ(2u, value);
    ASSERT_TRUE(LoadViewReadArticle(&value));
    EXPECT_EQ(1u, value);
    ASSERT_TRUE(SaveShowArticleHeader(0));
    ASSERT_TRUE(LoadShowArticleHeader(&value));
    EXPECT_EQ(0u, value);
}
