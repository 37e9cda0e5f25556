#include "StoreFiles.h"
#include <stdio.h>

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
    std::wstring folder = path;
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

std::string ReadBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return std::string("<missing>");
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

std::string U32(DWORD value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; i++)
        bytes[i] = (char)((value >> (8 * i)) & 0xFF);
    return bytes;
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

std::string ArticleBlock(const std::string& headerLines, DWORD number, const std::string& body)
{
    std::string block;
    size_t start = 0;
    while (start < headerLines.size()) {
        size_t end = headerLines.find('\n', start);
        if (end == std::string::npos)
            end = headerLines.size();
        block += headerLines.substr(start, end - start) + "\r\n";
        start = end + 1;
    }
    if (number != 0xFFFFFFFF)
        block += "X-Local-Seq: " + std::to_string(number) + "\r\n";
    block += "\r\n";
    start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos)
            end = body.size();
        block += body.substr(start, end - start) + "\r\n";
        start = end + 1;
    }
    return block + "================\r\n";
}
