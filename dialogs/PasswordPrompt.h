// Dialog IDD_PASSWORD: asks for the news server password when a user id
// but no password is stored. Used before a download and before a group
// list fetch.
#pragma once
#include <windows.h>

enum { kPasswordMaxChars = 255 };

// Shows `userId` (multi-byte) and waits for the password. The typed text as
// a new multi-byte string the caller releases with free() (an empty entry is
// a valid empty password); none on Cancel or when the conversion fails.
char* RunPasswordPrompt(HINSTANCE instance, HWND owner, const char* userId);
