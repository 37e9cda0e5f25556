// Whole patrols through the download starter: the password prompt, the
// progress dialog and the end of the pass taken back by a hidden owner
// window that stands in for the frame.
#pragma once
#include "nntp/PatrolHarness.h"
#include "support/MessageBoxRecorder.h"

struct PatrolOutcome {
    DownloadResult result;
    bool ended = false;       // the owner window got the end of the pass
    int hangUps = 0;
    int reloads = 0;
    std::vector<RecordedBox> boxes;
};

class StarterHarness : public PatrolHarness {
public:
    // One pass against `server` (or `port` when given), with these
    // credentials; blocks until the pass has ended (bounded).
    PatrolOutcome Run(ScriptedNntpServer& server, DWORD limit = 100,
                      const char* userId = NULL, const char* password = NULL);
    PatrolOutcome RunOnPort(unsigned short port, DWORD limit = 100,
                            const char* userId = NULL, const char* password = NULL);
    // For a start that is expected to start nothing.
    void SetWaitForEnd(bool wait) { waitForEnd_ = wait; }

private:
    bool waitForEnd_ = true;
};
