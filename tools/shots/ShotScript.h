// The shots program's side of docs/settings/shots.sh: it shows a
// window, then Shoot() says "ready" and waits, pumping, until the script has
// taken the picture (PELORA_SHOT_DIR, PELORA_SHOT_PREFIX).
#pragma once
#include <string>

void Shoot(const std::wstring& name);
