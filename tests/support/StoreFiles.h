// File helpers for the tests: a throw-away data folder, whole-file reads and
// writes, Shift_JIS texts, and the stored formats spelled out byte by byte.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// A fresh folder under the temp dir; removed with everything in it.
class TempDataFolder {
public:
    TempDataFolder();
    ~TempDataFolder();
    // With a trailing backslash, as DataPath is stored.
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

// The whole file, or `missing` when it cannot be opened.
std::string ReadBytes(const std::wstring& path, const char* missing = "<missing>");
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
void RemoveTree(const std::wstring& path);

// The names of the files (not folders) in `folder`, sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);

// Text in the ANSI code page (Shift_JIS), as the store keeps it; UTF-8 source
// text made wide.
std::string Sjis(const std::wstring& text);
std::wstring Widen(const std::string& utf8);

// "日本語" in Shift_JIS, and the geta mark that stands for a character
// Shift_JIS lacks.
const std::string kSjisNihongo = "\x93\xfa\x96\x7b\x8c\xea";
const std::string kGeta = "\x81\xac";

// Little-endian u32, and the one at `offset` (0xDEADBEEF past the end).
std::string U32(DWORD value);
DWORD WordAt(const std::string& bytes, size_t offset);
// `text` zero-padded (or cut) to `size` bytes.
std::string Field(const std::string& text, size_t size);

// A 100-byte version-5 index header.
std::string IndexHeaderBytes(DWORD lastArticle, DWORD serverLast, DWORD reserved,
                             DWORD records, DWORD saved, const std::string& state,
                             DWORD unread, DWORD high, DWORD low);
// A 92-byte index record.
std::string IndexRecordBytes(DWORD flags, DWORD number, DWORD offset, DWORD length,
                             const std::string& subject, const std::string& date,
                             const std::string& sender, DWORD subjectOffset,
                             DWORD subjectLength);

// One stored article block: header lines (each without CR LF), the
// X-Local-Seq line when `number` is not 0xFFFFFFFF, the empty line, body
// lines, the separator.
std::string ArticleBlock(const std::string& headerLines, DWORD number, const std::string& body);
