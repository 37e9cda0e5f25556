// Whole patrols through the download starter: the progress dialog and the
// end of the pass taken back by a hidden owner window that stands in for
// the frame.
#pragma once
#include "nntp/PatrolHarness.h"
#include "support/MessageBoxRecorder.h"

struct PatrolOutcome {
    bool ended = false;       // the owner window got the end of the pass
    int hangUps = 0;
    int reloads = 0;
    std::vector<RecordedBox> boxes;
};

class StarterHarness : public PatrolHarness {
public:
    // One pass against the server on `port`; blocks until the pass has
    // ended (bounded).
    PatrolOutcome Run(unsigned short port);
};
