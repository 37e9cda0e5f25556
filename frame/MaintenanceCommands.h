// The group menu's maintenance commands: deleting the read articles of every
// group, and catching up the selected group. Each returns TRUE when the
// store changed so that the frame must re-initialise the data and refill
// the group view.
#pragma once
#include <windows.h>

class GroupView;

BOOL DeleteReadArticlesCommand(const wchar_t* dataPath);
BOOL CatchUpCommand(HINSTANCE instance, HWND frameWindow, GroupView* groupView, const wchar_t* dataPath);

class MainFrame;

// The frame's commands IDM_DELETE_READ, IDM_SUBSCRIBE, IDM_CATCHUP and
// IDM_FILTER.
void FrameDeleteReadArticles(MainFrame* frame);
void FrameSubscribe(MainFrame* frame);
void FrameCatchUp(MainFrame* frame);
void FrameKeywordFilter(MainFrame* frame);
