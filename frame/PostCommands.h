// The frame's posting commands: IDM_POST_NEW (a new post to the group
// selected in the group view), IDM_POST_FOLLOW (a follow-up to the article
// shown) and IDM_OUTBOX (the outbox).
#pragma once

class MainFrame;

void FrameNewPost(MainFrame* frame);
void FrameFollowUp(MainFrame* frame);
void FrameOutbox(MainFrame* frame);
