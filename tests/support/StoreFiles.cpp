#include "StoreFiles.h"
#include <stdio.h>
#include <string.h>
#include <algorithm>

TempDataFolder::TempDataFolder()
{
    static LONG counter;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[64];
    _snwprintf(name, 64, L"pelora-store-%lu-%ld\\", GetCurrentProcessId(),
               InterlockedIncrement(&counter));
    path_ = std::wstring(temp) + name;
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), NULL);
}

TempDataFolder::~TempDataFolder()
{
    RemoveTree(path_);
}

void RemoveTree(const std::wstring& path)
{
    // The long-path form, so that folders deeper than MAX_PATH go too.
    std::wstring folder = path.size() > 2 && path[1] == L':' ? L"\\\\?\\" + path : path;
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

std::string ReadBytes(const std::wstring& path, const char* missing)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return missing;
    std::string bytes;
    char buffer[65536];
    DWORD read;
    while (ReadFile(file, buffer, sizeof buffer, &read, NULL) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Sjis(const std::wstring& text)
{
    std::string out(text.size() * 2 + 1, '\0');
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], (int)out.size(), NULL, NULL);
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

std::wstring Widen(const std::string& utf8)
{
    std::wstring out(utf8.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], (int)out.size());
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

DWORD WordAt(const std::string& bytes, size_t offset)
{
    DWORD value = 0xDEADBEEF;
    if (offset + 4 <= bytes.size())
        memcpy(&value, bytes.data() + offset, 4);
    return value;
}

std::string U32(DWORD value)
{
    return std::string((const char*)&value, 4);   // the host is little-endian too
}

std::string Field(const std::string& text, size_t size)
{
    std::string field = text.substr(0, size);
    field.resize(size, '\0');
    return field;
}

std::string IndexHeaderBytes(DWORD lastArticle, DWORD serverLast, DWORD reserved,
                             DWORD records, DWORD saved, const std::string& state,
                             DWORD unread, DWORD high, DWORD low)
{
    return U32(5) + U32(lastArticle) + U32(serverLast) + U32(reserved) + U32(records)
         + U32(saved) + Field(state, 64) + U32(unread) + U32(high) + U32(low);
}

std::string IndexRecordBytes(DWORD flags, DWORD number, DWORD offset, DWORD length,
                             const std::string& subject, const std::string& date,
                             const std::string& sender, DWORD subjectOffset,
                             DWORD subjectLength)
{
    return U32(flags) + U32(number) + U32(offset) + U32(length) + Field(subject, 48)
         + Field(date, 4) + Field(sender, 16) + U32(subjectOffset) + U32(subjectLength);
}

// Each line of `text` ("\n" between lines) with CR LF.
static std::string CrLfLines(const std::string& text)
{
    std::string lines;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        lines += text.substr(start, end - start) + "\r\n";
    }
    return lines;
}

std::string ArticleBlock(const std::string& headerLines, DWORD number, const std::string& body)
{
    std::string block = CrLfLines(headerLines);
    if (number != 0xFFFFFFFF)
        block += "X-Local-Seq: " + std::to_string(number) + "\r\n";
    return block + "\r\n" + CrLfLines(body) + "================\r\n";
}
