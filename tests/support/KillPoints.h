// The program stopping at its k-th file call, in the two ways the seam's
// comment (store/FileOps.h) describes: killed (that call and every later
// one do nothing) or cut off by a power loss (the same, and then the files
// are put back to what the card holds: unflushed writes lost or cut at a
// sector with garbage there, a replace possibly halfway), also after the
// operation ended.
#pragma once
#include <functional>

// For k = 0, 1, ...: `prepare` (unarmed), `operation` (stopping at call k),
// then `check(k)` (unarmed); again with a power cut at call k, under each
// model (the bytes at the cut torn, or the whole sector). Ends after the
// first run that did not stop, whose power cuts fall after its end; returns
// how many stopping points there were. Gives up past `limit`.
int ForEachKillPoint(const std::function<void()>& prepare, const std::function<void()>& operation,
                     const std::function<void(int)>& check, int limit = 2000);
