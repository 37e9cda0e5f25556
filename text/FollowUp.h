// The draft of a follow-up to a stored article (its text in Shift_JIS:
// header lines, an empty line, the body): the article's groups, "Re: "
// before its subject unless it has one, its References with its Message-ID
// after them (trimmed to one line), and its body quoted with "> " under
// an attribution line.
#pragma once
#include <stddef.h>

// A new block released with free(), its length in `*newLength`; none with
// ERROR_NOT_ENOUGH_MEMORY.
char* MakeFollowUp(const char* article, size_t length, size_t* newLength);
